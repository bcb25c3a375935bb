#include "ErrorReport.h"
#include "Histograph.h"
#include "TransLabel.h"

#include <QPainter>
#include <QScreen>
#include <QTest>

namespace
{

const QColor Grey(128, 128, 128);

QRgb at(const QImage &image, int x, int y)
{
    return image.pixel(x, y) | 0xFF000000u;
}

// The label's blend, written out per pixel as the expected result.
QImage tinted(QImage image, const QColor &tint, int t)
{
    image = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            image.setPixel(x, y,
                           qRgb((qRed(p) * t + tint.red() * (100 - t)) / 100,
                                (qGreen(p) * t + tint.green() * (100 - t)) / 100,
                                (qBlue(p) * t + tint.blue() * (100 - t)) / 100));
        }
    }
    return image;
}

QImage rgb32(const QImage &image)
{
    return image.convertToFormat(QImage::Format_RGB32);
}

QWidget *solidBlock(QWidget *parent, const QRect &rect, const QColor &colour)
{
    auto *block = new QWidget(parent);
    block->setGeometry(rect);
    QPalette palette = block->palette();
    palette.setColor(QPalette::Window, colour);
    block->setPalette(palette);
    block->setAutoFillBackground(true);
    return block;
}

// A font whose single line is 13 pixels high when one is available, without antialiasing so
// glyph pixels carry the pure text colour.
QFont captionFont()
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setBold(true);
    font.setStyleStrategy(QFont::NoAntialias);
    font.setPixelSize(11);
    for (int size = 8; size <= 14; ++size) {
        font.setPixelSize(size);
        if (QFontMetrics(font).height() == 13)
            break;
    }
    return font;
}

// White caption on black (tint black, Transparency 0, caption drawn after tinting).
struct CaptionOnBlack {
    TTransLabel label;
    CaptionOnBlack(const QString &caption, int w = 250, int h = 80)
    {
        label.resize(w, h);
        label.setFont(captionFont());
        label.setColor(Qt::black);
        label.setTransparency(0);
        label.setMist(false);
        label.setFontColor(Qt::white);
        label.setCaption(caption);
    }
    // First and last rows, and first and last columns, holding a lit pixel.
    QRect litBounds()
    {
        const QImage frame = label.renderFrame();
        QRect bounds;
        for (int y = 0; y < frame.height(); ++y) {
            for (int x = 0; x < frame.width(); ++x) {
                if (at(frame, x, y) != qRgb(0, 0, 0))
                    bounds |= QRect(x, y, 1, 1);
            }
        }
        return bounds;
    }
};

class PaintCounter : public QObject
{
public:
    int paints = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

// A window with a board-like slot: a graph, a grey caption strip and a fully transparent
// overlay above both.
struct Slot {
    QWidget window;
    THistograph *graph;
    TTransLabel *strip;
    TTransLabel *overlay;
    Slot()
    {
        window.resize(300, 120);
        QPalette palette = window.palette();
        palette.setColor(QPalette::Window, QColor(10, 20, 30));
        window.setPalette(palette);
        graph = new THistograph(&window);
        graph->setGeometry(20, 10, 250, 80);
        graph->setActive(false);
        graph->setInterval(6);
        graph->setHighValue(70);
        graph->setLowValue(30);
        strip = new TTransLabel(&window);
        strip->setGeometry(20, 44, 250, 13);
        strip->setColor(Grey);
        overlay = new TTransLabel(&window);
        overlay->setGeometry(graph->geometry());
        overlay->setTransparency(100);
    }
    void tick(int value)
    {
        graph->setValue(value);
        graph->TimerTick();
    }
    QImage onScreen() const { return rgb32(window.screen()->grabWindow(window.winId()).toImage()); }
    // The window as it should look: the graph's frame, the strip tinted over it.
    QImage expected() const
    {
        const QImage frame = graph->renderFrame();
        QImage image(window.size(), QImage::Format_RGB32);
        image.fill(QColor(10, 20, 30));
        QPainter painter(&image);
        painter.drawImage(graph->pos(), frame);
        painter.drawImage(strip->pos(), tinted(frame.copy(0, 34, 250, 13), Grey, 60));
        return image;
    }
};

} // namespace

class TestTransLabel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void defaults()
    {
        TTransLabel label;
        QCOMPARE(label.Transparency(), 60);
        QCOMPARE(label.Color(), QColor(0, 128, 0));
        QVERIFY(label.Mist());
        QCOMPARE(label.Alignment(), TTransLabel::CaptionAlignment::Left);
        QCOMPARE(label.Layout(), TTransLabel::CaptionLayout::Top);
        QVERIFY(!label.WordWrap());
        QVERIFY(label.Caption().isEmpty());
    }

    void blend_data()
    {
        QTest::addColumn<QColor>("tint");
        QTest::addColumn<int>("transparency");
        QTest::addColumn<QColor>("below");
        QTest::addColumn<QColor>("result");
        QTest::newRow("grey 60 over black") << Grey << 60 << QColor(0, 0, 0) << QColor(51, 51, 51);
        QTest::newRow("grey 60 over white")
            << Grey << 60 << QColor(255, 255, 255) << QColor(204, 204, 204);
        QTest::newRow("100 keeps the picture")
            << QColor(0, 128, 0) << 100 << QColor(200, 100, 50) << QColor(200, 100, 50);
        QTest::newRow("0 is solid tint")
            << QColor(0, 128, 0) << 0 << QColor(200, 100, 50) << QColor(0, 128, 0);
        QTest::newRow("per component")
            << QColor(0, 128, 0) << 60 << QColor(200, 100, 50) << QColor(120, 111, 30);
        QTest::newRow("division truncates (170.85)")
            << QColor(255, 0, 0) << 33 << QColor(0, 0, 0) << QColor(170, 0, 0);
    }
    void blend()
    {
        QFETCH(QColor, tint);
        QFETCH(int, transparency);
        QFETCH(QColor, below);
        QFETCH(QColor, result);
        QWidget parent;
        parent.resize(100, 50);
        solidBlock(&parent, QRect(0, 0, 100, 50), below);
        TTransLabel label(&parent);
        label.setGeometry(10, 10, 40, 13);
        label.setColor(tint);
        label.setTransparency(transparency);
        const QImage frame = label.renderFrame();
        QCOMPARE(frame.size(), QSize(40, 13));
        QCOMPARE(at(frame, 0, 0), result.rgb());
        QCOMPARE(at(frame, 39, 12), result.rgb());
    }

    // The picture below is the graph's current frame, and outside the graph the window.
    void showsTheGraphBelowTinted()
    {
        Slot slot;
        for (int v : {10, 50, 80, 100, 35, 70})
            slot.tick(v);
        QCOMPARE(rgb32(slot.strip->renderFrame()),
                 tinted(slot.graph->renderFrame().copy(0, 34, 250, 13), Grey, 60));

        // Straddling the graph's top-left corner: window background and graph.
        TTransLabel corner(&slot.window);
        corner.setGeometry(10, 0, 40, 30);
        corner.setColor(Grey);
        QImage below(40, 30, QImage::Format_RGB32);
        below.fill(QColor(10, 20, 30));
        QPainter(&below).drawImage(10, 10, slot.graph->renderFrame());
        QCOMPARE(rgb32(corner.renderFrame()), tinted(below, Grey, 60));
    }

    // Only widgets stacked below a label show through it, labels below included.
    void stackingOrder()
    {
        QWidget parent;
        parent.resize(100, 50);
        solidBlock(&parent, QRect(0, 0, 100, 50), Qt::black);
        TTransLabel lower(&parent);
        lower.setGeometry(0, 0, 60, 20);
        lower.setColor(QColor(200, 0, 0));
        lower.setTransparency(50);
        TTransLabel upper(&parent);
        upper.setGeometry(30, 0, 60, 20);
        upper.setColor(QColor(0, 0, 200));
        upper.setTransparency(50);
        QCOMPARE(at(upper.renderFrame(), 0, 0), qRgb(50, 0, 100)); // over the red label
        QCOMPARE(at(upper.renderFrame(), 59, 0), qRgb(0, 0, 100)); // over black only
        QCOMPARE(at(lower.renderFrame(), 59, 0), qRgb(100, 0, 0)); // upper is not below it
        lower.raise();
        QCOMPARE(at(lower.renderFrame(), 59, 0), qRgb(100, 0, 50));
        QCOMPARE(at(upper.renderFrame(), 0, 0), qRgb(0, 0, 100));
    }

    void mist_data()
    {
        QTest::addColumn<bool>("mist");
        QTest::addColumn<int>("brightest");
        QTest::newRow("mist tints the caption") << true << 204;
        QTest::newRow("no mist keeps it white") << false << 255;
    }
    void mist()
    {
        QFETCH(bool, mist);
        QFETCH(int, brightest);
        QWidget parent;
        parent.resize(250, 13);
        solidBlock(&parent, parent.rect(), Qt::black);
        TTransLabel label(&parent);
        label.setGeometry(parent.rect());
        label.setColor(Grey);
        label.setFont(captionFont());
        label.setFontColor(Qt::white);
        label.setMist(mist);
        label.setCaption(QStringLiteral("Last values IN: 12; OUT: 3; COMB: 8"));
        const QImage frame = label.renderFrame();
        QSet<int> values;
        for (int y = 0; y < frame.height(); ++y) {
            for (int x = 0; x < frame.width(); ++x) {
                const QRgb p = at(frame, x, y);
                QCOMPARE(qRed(p), qBlue(p));
                values << qRed(p);
            }
        }
        QCOMPARE(values, (QSet<int>{51, brightest}));
    }

    void transparencyOutOfRange_data()
    {
        QTest::addColumn<int>("value");
        QTest::newRow("101") << 101;
        QTest::newRow("255") << 255;
        QTest::newRow("negative") << -1;
    }
    void transparencyOutOfRange()
    {
        QFETCH(int, value);
        TTransLabel label;
        label.setTransparency(30);
        try {
            label.setTransparency(value);
            QFAIL("no error raised");
        } catch (const OstralineError &error) {
            QCOMPARE(error.message(), QStringLiteral("Value must be between 0 and 100"));
        }
        QCOMPARE(label.Transparency(), 30);
    }

    void unchangedPropertiesRequestNoRepaint()
    {
        QWidget window;
        window.resize(100, 40);
        TTransLabel label(&window);
        label.setGeometry(0, 0, 100, 20);
        label.setCaption(QStringLiteral("x"));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        PaintCounter counter;
        label.installEventFilter(&counter);
        QTest::qWait(50); // let the first paint settle
        counter.paints = 0;

        label.setTransparency(60);
        label.setMist(true);
        label.setCaption(QStringLiteral("x"));
        label.setLayout(TTransLabel::CaptionLayout::Top);
        label.setAlignment(TTransLabel::CaptionAlignment::Left);
        label.setWordWrap(false);
        QTest::qWait(100);
        QCOMPARE(counter.paints, 0);

        label.setTransparency(59);
        QTRY_COMPARE(counter.paints, 1);
    }

    void layout_data()
    {
        QTest::addColumn<TTransLabel::CaptionLayout>("layout");
        QTest::addColumn<int>("labelHeight");
        QTest::addColumn<bool>("bottom"); // else centre
        QTest::newRow("bottom in 80") << TTransLabel::CaptionLayout::Bottom << 80 << true;
        QTest::newRow("centre in 80") << TTransLabel::CaptionLayout::Center << 80 << false;
        QTest::newRow("centre, odd room truncates")
            << TTransLabel::CaptionLayout::Center << 81 << false;
    }
    void layout()
    {
        QFETCH(TTransLabel::CaptionLayout, layout);
        QFETCH(int, labelHeight);
        QFETCH(bool, bottom);
        const int lineHeight = QFontMetrics(captionFont()).height();
        CaptionOnBlack top(QStringLiteral("Wg"), 100, labelHeight);
        CaptionOnBlack moved(QStringLiteral("Wg"), 100, labelHeight);
        moved.label.setLayout(layout);
        const int room = labelHeight - lineHeight;
        const int shift = bottom ? room : room / 2;
        if (lineHeight == 13 && labelHeight == 80)
            QCOMPARE(shift, bottom ? 67 : 33);
        QCOMPARE(moved.litBounds(), top.litBounds().translated(0, shift));
        if (bottom)
            QVERIFY(moved.litBounds().top() >= labelHeight - lineHeight);
    }

    void ampersandIsDrawn()
    {
        QVERIFY(!CaptionOnBlack(QStringLiteral("&")).litBounds().isEmpty());
        QVERIFY(CaptionOnBlack(QStringLiteral("A&B")).litBounds().width() >
                CaptionOnBlack(QStringLiteral("AB")).litBounds().width());
    }

    // On screen, a tick of the graph alone must leave the strip over it showing the new frame
    // tinted, and the fully transparent overlay must leave the graph unchanged.
    void stripFollowsGraphTicksOnScreen()
    {
        Slot slot;
        slot.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&slot.window));
        QTRY_COMPARE(slot.onScreen(), slot.expected());
        for (int v : {100, 50, 20, 75, 100, 100}) {
            slot.tick(v);
            QTRY_COMPARE(slot.onScreen(), slot.expected());
        }
    }
};

QTEST_MAIN(TestTransLabel)
#include "tst_translabel.moc"
