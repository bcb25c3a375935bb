// Paints the pictures of the About and splash windows and the "WEB_HAND" link cursor, and
// saves them next to this file. The committed files were made with it; run it again only to
// change them:
//
//   g++ -std=c++20 -fPIC make_pictures.cpp -o /tmp/make_pictures \
//       $(pkg-config --cflags --libs Qt6Gui) && QT_QPA_PLATFORM=offscreen /tmp/make_pictures .

#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <cstdio>

namespace
{

// A traffic curve that looks measured: a slow swell with a few bursts, in percent.
double traffic(int i)
{
    const double swell = 38.0 + 26.0 * std::sin(i * 0.11) + 9.0 * std::sin(i * 0.37 + 1.3);
    const double burst = (i % 23 == 7 || i % 31 == 12) ? 30.0 : 0.0;
    const double ripple = 6.0 * std::sin(i * 1.7) * std::cos(i * 0.53);
    return std::clamp(swell + burst + ripple, 2.0, 100.0);
}

// A scrolling histogram as the program shows it: black field, grid, bars coloured by a high
// and a low threshold.
void paintGraph(QPainter &p, const QRect &area, int barWidth, int firstSample)
{
    p.fillRect(area, Qt::black);
    p.setPen(QColor(0, 96, 0));
    for (int y = area.top(); y <= area.bottom(); y += area.height() / 5)
        p.drawLine(area.left(), y, area.right(), y);
    for (int x = area.left(); x <= area.right(); x += barWidth * 8)
        p.drawLine(x, area.top(), x, area.bottom());
    int sample = firstSample;
    for (int x = area.left(); x + barWidth <= area.right() + 1; x += barWidth, ++sample) {
        const double value = traffic(sample);
        const QColor colour = value >= 70   ? QColor(255, 0, 0)
                              : value <= 20 ? QColor(0, 255, 0)
                                            : QColor(255, 255, 0);
        const int h = int(area.height() * value / 100.0);
        p.fillRect(QRect(x, area.bottom() - h + 1, barWidth - 1, h), colour);
    }
}

QImage aboutPicture()
{
    QImage image(670, 366, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, image.height());
    sky.setColorAt(0, QColor(18, 40, 92));
    sky.setColorAt(1, QColor(4, 10, 30));
    p.fillRect(image.rect(), sky);

    paintGraph(p, QRect(40, 150, 590, 170), 6, 0);
    p.setPen(QPen(QColor(200, 200, 200), 2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRect(40, 150, 590, 170));

    QFont title(QStringLiteral("DejaVu Sans"), 44, QFont::Bold);
    p.setFont(title);
    p.setPen(QColor(240, 240, 255));
    p.drawText(QRect(0, 24, image.width(), 70), Qt::AlignCenter, QStringLiteral("Ostraline"));
    QFont sub(QStringLiteral("DejaVu Sans"), 16);
    p.setFont(sub);
    p.setPen(QColor(160, 190, 255));
    p.drawText(QRect(0, 92, image.width(), 36), Qt::AlignCenter,
               QStringLiteral("network traffic at a glance"));
    p.setPen(QColor(120, 140, 180));
    p.setFont(QFont(QStringLiteral("DejaVu Sans"), 11));
    p.drawText(QRect(40, 326, 590, 30), Qt::AlignRight | Qt::AlignVCenter,
               QStringLiteral("in  out  combined"));
    return image;
}

QImage splashPicture()
{
    QImage image(210, 130, QImage::Format_RGB32);
    QPainter p(&image);
    image.fill(QColor(18, 40, 92));
    paintGraph(p, QRect(8, 8, 194, 114), 4, 40);
    p.setPen(QPen(QColor(200, 200, 200), 2));
    p.drawRect(QRect(8, 8, 194, 114));
    return image;
}

// A pointing hand, 32 by 32 with a transparent background; the hot spot is the tip of the
// index finger at (9, 1).
QImage handCursor()
{
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath hand;
    // index finger
    hand.addRoundedRect(QRectF(7, 1, 5, 17), 2.5, 2.5);
    // the three folded fingers and the palm
    hand.addRoundedRect(QRectF(11.5, 9, 5, 10), 2.5, 2.5);
    hand.addRoundedRect(QRectF(16, 10, 5, 9), 2.5, 2.5);
    hand.addRoundedRect(QRectF(20.5, 11, 5, 9), 2.5, 2.5);
    hand.addRoundedRect(QRectF(7, 14, 18.5, 14), 4, 4);
    // thumb
    QPainterPath thumb;
    thumb.moveTo(8, 22);
    thumb.lineTo(3.5, 16);
    thumb.cubicTo(2, 14, 4.5, 12, 6.5, 14);
    thumb.lineTo(9, 17);
    thumb.closeSubpath();
    hand = hand.united(thumb).simplified();
    p.setPen(QPen(Qt::black, 1.2));
    p.setBrush(Qt::white);
    p.drawPath(hand);
    p.setPen(QPen(Qt::black, 0.8));
    p.drawLine(QPointF(12, 15), QPointF(12, 19));
    p.drawLine(QPointF(16.5, 15), QPointF(16.5, 19));
    p.drawLine(QPointF(21, 15), QPointF(21, 20));
    return image;
}

bool save(const QImage &image, const QString &path, const char *format)
{
    QImageWriter writer(path, format);
    if (QByteArray(format) == "jpeg")
        writer.setQuality(90);
    if (writer.write(image))
        return true;
    std::fprintf(stderr, "%s: %s\n", qPrintable(path), qPrintable(writer.errorString()));
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    const bool ok = save(aboutPicture(), folder + QStringLiteral("/about.jpg"), "jpeg") &&
                    save(splashPicture(), folder + QStringLiteral("/splash.jpg"), "jpeg") &&
                    save(handCursor(), folder + QStringLiteral("/web_hand.png"), "png");
    return ok ? 0 : 1;
}
