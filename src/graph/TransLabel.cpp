#include "TransLabel.h"

#include "ErrorReport.h"

#include <QPaintEvent>
#include <QPainter>

#include <array>

namespace
{

template <typename T> bool assign(T &field, const T &value)
{
    if (field == value)
        return false;
    field = value;
    return true;
}

// Paints into `target` everything that lies below `widget`, as the window shows it: the parent
// (and, when the parent does not fill its own background, what lies below the parent), then
// each sibling stacked below `widget` that overlaps the target. `origin` is where the widget's
// point (0, 0) falls in `target`, in logical pixels. Nothing stacked at or above `widget` is
// rendered, so labels never recurse into themselves.
void paintBelow(const QWidget *widget, QImage &target, const QPoint &origin)
{
    QWidget *parent = widget->parentWidget();
    if (!parent)
        return;
    const QPoint parentOrigin = origin - widget->pos();
    const QRect targetRect(QPoint(0, 0), target.deviceIndependentSize().toSize());
    const QRect area = targetRect.translated(-parentOrigin) & parent->rect();
    if (area.isEmpty())
        return;

    const bool parentFills = parent->isWindow() || parent->autoFillBackground();
    if (!parentFills && !parent->testAttribute(Qt::WA_OpaquePaintEvent))
        paintBelow(parent, target, parentOrigin);
    parent->render(&target, parentOrigin + area.topLeft(), QRegion(area),
                   parentFills ? QWidget::DrawWindowBackground : QWidget::RenderFlags());

    for (QObject *child : parent->children()) {
        if (child == widget)
            break;
        auto *sibling = qobject_cast<QWidget *>(child);
        if (!sibling || sibling->isWindow() || sibling->isHidden())
            continue;
        const QRect overlap = area & sibling->geometry();
        if (overlap.isEmpty())
            continue;
        sibling->render(&target, parentOrigin + overlap.topLeft(),
                        QRegion(overlap.translated(-sibling->pos())), QWidget::DrawChildren);
    }
}

} // namespace

TTransLabel::TTransLabel(QWidget *parent) : QWidget(parent) {}

TTransLabel::~TTransLabel() = default;

void TTransLabel::setAlignment(CaptionAlignment alignment)
{
    if (assign(m_alignment, alignment))
        update();
}

void TTransLabel::setTransparency(int percent)
{
    if (percent < 0 || percent > 100)
        throw OstralineError(QStringLiteral("Value must be between 0 and 100"));
    if (assign(m_transparency, percent))
        update();
}

void TTransLabel::setCaption(const QString &caption)
{
    if (assign(m_caption, caption))
        update();
}

void TTransLabel::setMist(bool mist)
{
    if (assign(m_mist, mist))
        update();
}

void TTransLabel::setLayout(CaptionLayout layout)
{
    if (assign(m_layout, layout))
        update();
}

void TTransLabel::setWordWrap(bool wordWrap)
{
    if (assign(m_wordWrap, wordWrap))
        update();
}

void TTransLabel::setColor(const QColor &color)
{
    if (assign(m_color, color))
        update();
}

void TTransLabel::setFontColor(const QColor &color)
{
    if (assign(m_fontColor, color))
        update();
}

QImage TTransLabel::renderFrame()
{
    Compose();
    return m_backdrop;
}

void TTransLabel::paintEvent(QPaintEvent *)
{
    if (m_transparency == 100) {
        // The tint keeps every pixel (c * 100 / 100 = c), and Qt has already painted what lies
        // below this label: only the caption is left to draw.
        if (m_caption.isEmpty())
            return;
        QPainter painter(this);
        DrawCaption(painter);
        return;
    }
    // Compose before opening a painter on this widget: composing renders other widgets.
    Compose();
    if (m_backdrop.isNull())
        return;
    QPainter painter(this);
    painter.drawImage(0, 0, m_backdrop);
}

void TTransLabel::Compose()
{
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = (QSizeF(size()) * ratio).toSize();
    if (pixels.isEmpty()) {
        m_backdrop = QImage();
        return;
    }
    if (m_backdrop.size() != pixels)
        m_backdrop = QImage(pixels, QImage::Format_RGB32);
    m_backdrop.setDevicePixelRatio(ratio);
    m_backdrop.fill(palette().color(QPalette::Window));
    paintBelow(this, m_backdrop, QPoint(0, 0));

    if (m_mist) {
        QPainter painter(&m_backdrop);
        DrawCaption(painter);
    }

    // Each component becomes (c * T + tint * (100 - T)) / 100, truncating: one table per
    // component, so every pixel costs three look-ups.
    const int t = m_transparency;
    const QRgb tint = m_color.rgb();
    std::array<std::array<uchar, 256>, 3> table{};
    const std::array<int, 3> tintParts{qRed(tint), qGreen(tint), qBlue(tint)};
    for (std::size_t part = 0; part < 3; ++part) {
        for (int c = 0; c < 256; ++c)
            table[part][std::size_t(c)] = uchar((c * t + tintParts[part] * (100 - t)) / 100);
    }
    const int width = m_backdrop.width();
    const int height = m_backdrop.height();
    uchar *bits = m_backdrop.bits(); // detaches once, not per line
    const qsizetype stride = m_backdrop.bytesPerLine();
    for (int y = 0; y < height; ++y) {
        QRgb *row = reinterpret_cast<QRgb *>(bits + y * stride);
        for (int x = 0; x < width; ++x) {
            const QRgb p = row[x];
            row[x] = qRgb(table[0][std::size_t(qRed(p))], table[1][std::size_t(qGreen(p))],
                          table[2][std::size_t(qBlue(p))]);
        }
    }

    if (!m_mist) {
        QPainter painter(&m_backdrop);
        DrawCaption(painter);
    }
}

int TTransLabel::textFlags() const
{
    // No Qt::TextShowMnemonic: an "&" is drawn as an ampersand and underlines nothing.
    int flags = Qt::AlignTop | Qt::TextExpandTabs;
    switch (m_alignment) {
    case CaptionAlignment::Left:
        flags |= Qt::AlignLeft;
        break;
    case CaptionAlignment::Right:
        flags |= Qt::AlignRight;
        break;
    case CaptionAlignment::Center:
        flags |= Qt::AlignHCenter;
        break;
    }
    if (m_wordWrap)
        flags |= Qt::TextWordWrap;
    return flags;
}

void TTransLabel::DrawCaption(QPainter &painter) const
{
    if (m_caption.isEmpty())
        return;
    painter.setFont(font());
    painter.setPen(m_fontColor);
    painter.setLayoutDirection(layoutDirection());
    const int flags = textFlags();
    QRect rect(0, 0, width(), height());
    if (m_layout != CaptionLayout::Top) {
        // Move the text down by the room left below its measured bottom edge (half of it for
        // centre, truncating towards zero).
        const QRect measured = painter.boundingRect(rect, flags, m_caption);
        const int room = height() - (measured.y() + measured.height());
        rect.translate(0, m_layout == CaptionLayout::Bottom ? room : room / 2);
    }
    painter.drawText(rect, flags, m_caption);
}
