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

// Labels composing right now: the paints their rendering of what lies below sends to other
// widgets change nothing on screen and must not make other labels' pictures stale.
int composing = 0;

} // namespace

TTransLabel::TTransLabel(QWidget *parent) : QWidget(parent)
{
    // Opaque while the composed picture covers the whole rectangle (Transparency below 100).
    setAttribute(Qt::WA_OpaquePaintEvent, m_transparency < 100);
    watchSiblings();
}

void TTransLabel::propertyChanged()
{
    setAttribute(Qt::WA_OpaquePaintEvent, m_transparency < 100);
    m_composed = false;
    update();
}

void TTransLabel::belowChanged()
{
    m_belowStale = true;
    m_composed = false;
    // Qt leaves an opaque widget out of a repaint of what lies below it: it paints again on
    // its own.
    if (testAttribute(Qt::WA_OpaquePaintEvent) && isVisible())
        update();
}

void TTransLabel::watchSiblings()
{
    QWidget *parent = parentWidget();
    if (parent != m_watched) {
        if (m_watched)
            m_watched->removeEventFilter(this);
        m_watched = parent;
        if (parent)
            parent->installEventFilter(this);
    }
    if (!parent)
        return;
    // Installing again moves the filter to the front; it is never installed twice.
    for (QObject *child : parent->children()) {
        if (child != this && child->isWidgetType())
            child->installEventFilter(this);
    }
}

bool TTransLabel::stackedBelow(const QWidget *sibling) const
{
    if (!m_watched)
        return false;
    for (const QObject *child : m_watched->children()) {
        if (child == this)
            return false;
        if (child == sibling)
            return true;
    }
    return false;
}

bool TTransLabel::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::ZOrderChange:
    case QEvent::PaletteChange:
    case QEvent::StyleChange:
    case QEvent::ScreenChangeInternal:
        belowChanged();
        break;
    case QEvent::FontChange:
    case QEvent::LayoutDirectionChange:
        m_composed = false;
        break;
    case QEvent::ParentChange:
        belowChanged();
        watchSiblings();
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

bool TTransLabel::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (watched == m_watched) {
        switch (type) {
        case QEvent::Paint:
            if (composing == 0 &&
                static_cast<QPaintEvent *>(event)->region().intersects(geometry()))
                belowChanged();
            break;
        case QEvent::ChildAdded:
        case QEvent::ChildRemoved:
            if (auto *child = static_cast<QChildEvent *>(event)->child();
                child && child != this && child->isWidgetType()) {
                if (type == QEvent::ChildAdded)
                    child->installEventFilter(this);
                belowChanged();
            }
            break;
        case QEvent::Resize:
        case QEvent::PaletteChange:
        case QEvent::StyleChange:
        case QEvent::UpdateLater:
        case QEvent::ScreenChangeInternal:
            belowChanged();
            break;
        default:
            break;
        }
        return false;
    }
    switch (type) {
    case QEvent::Paint:
        if (composing > 0)
            break;
        [[fallthrough]];
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::Hide:
    case QEvent::ZOrderChange: {
        // A sibling stacked below this label (one above it is not in the picture) that
        // overlaps it, now or (for a move or resize) before. A restacking may change which
        // are below.
        auto *sibling = static_cast<QWidget *>(watched);
        if (sibling->parentWidget() != m_watched)
            break;
        if (type == QEvent::Paint && !sibling->geometry().intersects(geometry()))
            break;
        if (type != QEvent::ZOrderChange && !stackedBelow(sibling))
            break;
        belowChanged();
        break;
    }
    default:
        break;
    }
    return false;
}

TTransLabel::~TTransLabel() = default;

void TTransLabel::setAlignment(CaptionAlignment alignment)
{
    if (assign(m_alignment, alignment))
        propertyChanged();
}

void TTransLabel::setTransparency(int percent)
{
    if (percent < 0 || percent > 100)
        throw OstralineError(QStringLiteral("Value must be between 0 and 100"));
    if (assign(m_transparency, percent))
        propertyChanged();
}

void TTransLabel::setCaption(const QString &caption)
{
    if (assign(m_caption, caption))
        propertyChanged();
}

void TTransLabel::setMist(bool mist)
{
    if (assign(m_mist, mist))
        propertyChanged();
}

void TTransLabel::setLayout(CaptionLayout layout)
{
    if (assign(m_layout, layout))
        propertyChanged();
}

void TTransLabel::setWordWrap(bool wordWrap)
{
    if (assign(m_wordWrap, wordWrap))
        propertyChanged();
}

void TTransLabel::setColor(const QColor &color)
{
    if (assign(m_color, color))
        propertyChanged();
}

void TTransLabel::setFontColor(const QColor &color)
{
    if (assign(m_fontColor, color))
        propertyChanged();
}

QImage TTransLabel::renderFrame()
{
    // Called from outside a paint: nothing says whether what lies below is still as kept.
    m_belowStale = true;
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
        m_below = QImage();
        return;
    }
    if (m_below.size() != pixels || m_below.devicePixelRatio() != ratio)
        m_belowStale = true;
    if (m_belowStale) {
        if (m_below.size() != pixels)
            m_below = QImage(pixels, QImage::Format_RGB32);
        m_below.setDevicePixelRatio(ratio);
        m_below.fill(palette().color(QPalette::Window));
        ++composing;
        paintBelow(this, m_below, QPoint(0, 0));
        --composing;
        m_belowStale = false;
        m_composed = false;
    }
    if (m_composed && m_backdrop.size() == pixels)
        return;
    m_backdrop = m_below.copy();
    m_backdrop.setDevicePixelRatio(ratio);

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
    m_composed = true;
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
