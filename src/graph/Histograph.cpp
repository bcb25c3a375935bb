#include "Histograph.h"

#include "NumberFormat.h"

#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <climits>
#include <cstring>
#include <utility>

namespace
{

// Layers are 32-bit RGB; the colour key compares whole pixels, so alpha is forced opaque.
QRgb pixelOf(const QColor &color)
{
    return 0xFF000000u | (color.rgb() & 0x00FFFFFFu);
}

// Gives `layer` the size `size` (reusing its memory when the size is unchanged) and fills it.
void resetLayer(QImage &layer, const QSize &size, QRgb fill)
{
    if (layer.size() != size)
        layer = size.isEmpty() ? QImage() : QImage(size, QImage::Format_RGB32);
    if (!layer.isNull())
        layer.fill(fill);
}

void verticalLine(QImage &layer, int x, QRgb pixel)
{
    for (int y = 0; y < layer.height(); ++y)
        reinterpret_cast<QRgb *>(layer.scanLine(y))[x] = pixel;
}

void horizontalLine(QImage &layer, int y, QRgb pixel)
{
    QRgb *row = reinterpret_cast<QRgb *>(layer.scanLine(y));
    std::fill(row, row + layer.width(), pixel);
}

// The timer takes milliseconds as an int; very long intervals run at the longest period.
int timerPeriod(int seconds)
{
    return int(std::min<qint64>(qint64(seconds) * 1000, INT_MAX));
}

template <typename T> bool assign(T &field, const T &value)
{
    if (field == value)
        return false;
    field = value;
    return true;
}

} // namespace

THistograph::THistograph(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    resize(200, 100);
    m_history.fill(m_minValue);
    m_secondHistory.fill(m_minValue);
    m_sampleTimer.setInterval(timerPeriod(m_interval));
    connect(&m_sampleTimer, &QTimer::timeout, this, &THistograph::TimerTick);
    if (m_active)
        m_sampleTimer.start();
    BuildGrid();
    RedrawBars();
}

THistograph::~THistograph() = default;

void THistograph::setBackgroundColor(const QColor &color)
{
    if (assign(m_backgroundColor, color))
        invalidate(RebuildGrid | RedrawAllBars | Repaint);
}

void THistograph::setGridColor(const QColor &color)
{
    if (assign(m_gridColor, color))
        invalidate(RebuildGrid | Repaint);
}

void THistograph::setGraphHighColor(const QColor &color)
{
    if (assign(m_graphHighColor, color))
        invalidate(RedrawAllBars | Repaint);
}

void THistograph::setGraphNormalColor(const QColor &color)
{
    if (assign(m_graphNormalColor, color))
        invalidate(RedrawAllBars | Repaint);
}

void THistograph::setGraphLowColor(const QColor &color)
{
    if (assign(m_graphLowColor, color))
        invalidate(RedrawAllBars | Repaint);
}

void THistograph::setHighValue(int value)
{
    if (assign(m_highValue, value))
        invalidate(RedrawAllBars | Repaint);
}

void THistograph::setLowValue(int value)
{
    if (assign(m_lowValue, value))
        invalidate(RedrawAllBars | Repaint);
}

void THistograph::setMaxValue(int value)
{
    if (value < m_minValue)
        return;
    if (assign(m_maxValue, value))
        invalidate(RebuildGrid | RedrawAllBars | Repaint);
}

void THistograph::setMinValue(int value)
{
    if (value > m_maxValue)
        return;
    if (assign(m_minValue, value))
        invalidate(RebuildGrid | RedrawAllBars | Repaint);
}

void THistograph::setValue(int value)
{
    if (assign(m_value, value))
        invalidate(Repaint);
}

void THistograph::setActive(bool active)
{
    if (!assign(m_active, active))
        return;
    if (active)
        m_sampleTimer.start();
    else
        m_sampleTimer.stop();
}

void THistograph::setTransparent(bool transparent)
{
    if (assign(m_transparent, transparent))
        invalidate(RedrawAllBars | Repaint);
}

void THistograph::setInterval(int seconds)
{
    if (seconds < 1 || !assign(m_interval, seconds))
        return;
    m_sampleTimer.setInterval(timerPeriod(seconds));
    invalidate(RebuildGrid | RedrawAllBars);
}

void THistograph::setHorizLinesInterval(int units)
{
    if (assign(m_horizLinesInterval, units))
        invalidate(RebuildGrid | Repaint);
}

void THistograph::setVertLinesInterval(int seconds)
{
    if (seconds < m_interval)
        return;
    if (assign(m_vertLinesInterval, seconds - seconds % m_interval))
        invalidate(RebuildGrid | Repaint);
}

int THistograph::History(int position) const
{
    Q_ASSERT(position >= 1 && position <= HistorySize);
    return m_history[std::size_t(std::clamp(position, 1, HistorySize) - 1)];
}

void THistograph::setSecondSeries(bool on)
{
    if (!assign(m_secondSeries, on))
        return;
    m_secondHistory.fill(m_minValue);
    m_frameStale = true;
    update();
}

void THistograph::setSecondValue(int value)
{
    if (assign(m_secondValue, value) && m_secondSeries)
        update();
}

void THistograph::setSecondColor(const QColor &color)
{
    if (!assign(m_secondColor, color) || !m_secondSeries)
        return;
    m_frameStale = true;
    update();
}

int THistograph::SecondHistory(int position) const
{
    Q_ASSERT(position >= 1 && position <= HistorySize);
    return m_secondHistory[std::size_t(std::clamp(position, 1, HistorySize) - 1)];
}

QColor THistograph::GetBarColor(int value) const
{
    if (value <= m_lowValue)
        return m_graphLowColor;
    if (value >= m_highValue)
        return m_graphHighColor;
    return m_graphNormalColor;
}

void THistograph::Clear()
{
    m_history.fill(m_minValue);
    m_secondHistory.fill(m_minValue);
    invalidate(RedrawAllBars | Repaint);
}

void THistograph::TimerTick()
{
    AddSample();
    update();
    Q_EMIT sampleAdded();
}

void THistograph::AddSample()
{
    std::move_backward(m_history.begin(), m_history.end() - 1, m_history.end());
    m_history[0] = m_value;
    if (m_secondSeries) {
        std::move_backward(m_secondHistory.begin(), m_secondHistory.end() - 1,
                           m_secondHistory.end());
        m_secondHistory[0] = m_secondValue;
    }
    m_frameStale = true; // the line is drawn on the frame, not on the bar layer

    // Layers built for another size are rebuilt from the history by the next paint.
    if (m_barLayer.isNull() || m_barLayer.size() != size() || m_scrollLayer.size() != size())
        return;

    // Every old bar moves two columns left; the two leftmost columns fall off.
    const int w = m_barLayer.width();
    const QRgb background = pixelOf(m_backgroundColor);
    const int kept = std::max(w - 2, 0);
    for (int y = 0; y < m_barLayer.height(); ++y) {
        const QRgb *from = reinterpret_cast<const QRgb *>(m_barLayer.constScanLine(y));
        QRgb *to = reinterpret_cast<QRgb *>(m_scrollLayer.scanLine(y));
        if (kept > 0)
            std::memcpy(to, from + 2, std::size_t(kept) * sizeof(QRgb));
        std::fill(to + kept, to + w, background);
    }
    drawBar(m_scrollLayer, w - 1, barHeight(m_value, scale()), m_value);
    // The scratch layer now holds the new bar picture; the old one becomes scratch.
    std::swap(m_barLayer, m_scrollLayer);
    m_frameStale = true;
}

QImage THistograph::renderFrame()
{
    composeFrame();
    return m_frameBuffer;
}

void THistograph::paintEvent(QPaintEvent *)
{
    composeFrame();
    if (m_frameBuffer.isNull())
        return;
    QPainter painter(this);
    painter.drawImage(0, 0, m_frameBuffer);
}

void THistograph::invalidate(int changes)
{
    if (changes & RebuildGrid)
        BuildGrid();
    if (changes & RedrawAllBars)
        RedrawBars();
    if (changes & Repaint)
        update();
}

long double THistograph::scale() const
{
    const qint64 range = qint64(m_maxValue) - m_minValue;
    if (range <= 0)
        return 0;
    return static_cast<long double>(height()) / range;
}

int THistograph::barHeight(int value, long double s) const
{
    const std::int64_t h = NumberFormat::roundHalfEven((qint64(value) - m_minValue) * s);
    return int(std::clamp<std::int64_t>(h, INT_MIN, INT_MAX));
}

// A bar of height h lights h pixels from the bottom row upwards, clipped at the top; a
// negative height lights the bottom pixel only. Solid bars also fill the column to the left.
void THistograph::drawBar(QImage &layer, int x, int h, int value) const
{
    if (h == 0 || layer.isNull())
        return;
    const QRgb pixel = pixelOf(GetBarColor(value));
    const int bottom = layer.height() - 1;
    const int top = h < 0 ? bottom : std::max(0, layer.height() - h);
    const int firstColumn = m_transparent ? x : x - 1;
    for (int column = std::max(firstColumn, 0); column <= x && column < layer.width(); ++column) {
        for (int y = top; y <= bottom; ++y)
            reinterpret_cast<QRgb *>(layer.scanLine(y))[column] = pixel;
    }
}

void THistograph::BuildGrid()
{
    const QRgb background = pixelOf(m_backgroundColor);
    m_frameStale = true;
    resetLayer(m_frameBuffer, size(), background);
    resetLayer(m_gridLayer, size(), background);
    if (m_gridLayer.isNull())
        return;
    const QRgb pen = pixelOf(m_gridColor);
    const int w = m_gridLayer.width();
    const int h = m_gridLayer.height();

    // One vertical line per VertLinesInterval seconds of history, anchored at the right edge.
    // A step of 0 (Interval raised above VertLinesInterval) draws none.
    const qint64 step = 2 * qint64(m_vertLinesInterval / m_interval);
    if (step > 0) {
        for (qint64 x = w - step; x >= 0; x -= step)
            verticalLine(m_gridLayer, int(x), pen);
    }

    // Horizontal lines every HorizLinesInterval value units from the bottom edge upwards.
    const long double s = scale();
    if (s <= 0 || m_horizLinesInterval <= 0)
        return;
    const long double spacing = m_horizLinesInterval * s;
    if (spacing <= 1) {
        // Rows at most one pixel apart light every row from the first line to the top; drawing
        // them directly keeps a huge value range from running billions of steps.
        const std::int64_t first = NumberFormat::roundHalfEven(h - spacing);
        for (std::int64_t y = std::min<std::int64_t>(first, h - 1); y >= 0; --y)
            horizontalLine(m_gridLayer, int(y), pen);
        return;
    }
    for (qint64 k = 1;; ++k) {
        const std::int64_t y = NumberFormat::roundHalfEven(h - k * m_horizLinesInterval * s);
        if (y < 0)
            break;
        if (y < h)
            horizontalLine(m_gridLayer, int(y), pen);
    }
}

void THistograph::RedrawBars()
{
    const QRgb background = pixelOf(m_backgroundColor);
    m_frameStale = true;
    resetLayer(m_scrollLayer, size(), background);
    resetLayer(m_barLayer, size(), background);
    const long double s = scale();
    if (m_barLayer.isNull() || s <= 0)
        return;
    for (int i = 0; i < HistorySize; ++i) {
        const int x = m_barLayer.width() - 1 - 2 * i;
        if (x < 0)
            break;
        drawBar(m_barLayer, x, barHeight(m_history[std::size_t(i)], s), m_history[std::size_t(i)]);
    }
}

void THistograph::composeFrame()
{
    if (width() != m_lastWidth || height() != m_lastHeight || m_gridLayer.size() != size() ||
        m_barLayer.size() != size()) {
        m_lastWidth = width();
        m_lastHeight = height();
        BuildGrid();
        RedrawBars();
    }
    if (m_frameBuffer.isNull() || !m_frameStale)
        return;
    m_frameStale = false;

    // Grid first, then every bar pixel that is not the background colour: bars cover grid
    // lines, and the grid shows in the gaps between bars.
    const QRgb key = pixelOf(m_backgroundColor);
    const int w = m_frameBuffer.width();
    for (int y = 0; y < m_frameBuffer.height(); ++y) {
        const QRgb *grid = reinterpret_cast<const QRgb *>(m_gridLayer.constScanLine(y));
        const QRgb *bars = reinterpret_cast<const QRgb *>(m_barLayer.constScanLine(y));
        QRgb *frame = reinterpret_cast<QRgb *>(m_frameBuffer.scanLine(y));
        for (int x = 0; x < w; ++x)
            frame[x] = bars[x] != key ? bars[x] : grid[x];
    }
    if (m_secondSeries)
        drawSecondSeries(m_frameBuffer);
}

void THistograph::drawSecondSeries(QImage &frame) const
{
    const long double s = scale();
    if (s <= 0)
        return;
    const int w = frame.width();
    const int bottom = frame.height() - 1;
    const QRgb pen = pixelOf(m_secondColor);
    // The top pixel a bar of the value lights; a value that lights no bar has no point
    // (an empty history draws no line), but the run to a neighbour reaches the bottom row.
    const auto rowOf = [&](int value) {
        return std::clamp(frame.height() - barHeight(value, s), 0, bottom);
    };
    const auto visible = [&](int value) { return barHeight(value, s) > 0; };
    const auto plot = [&](int x, int y) { reinterpret_cast<QRgb *>(frame.scanLine(y))[x] = pen; };
    for (int i = 0; i < HistorySize; ++i) {
        const int x = w - 1 - 2 * i;
        if (x < 0)
            break;
        const int value = m_secondHistory[std::size_t(i)];
        if (visible(value))
            plot(x, rowOf(value));
        if (x == 0)
            break;
        // The column to the left joins this point to the next older one.
        const int older = i + 1 < HistorySize ? m_secondHistory[std::size_t(i + 1)] : value;
        if (!visible(value) && !visible(older))
            continue;
        const int y = rowOf(value);
        const int yOlder = rowOf(older);
        for (int row = std::min(y, yOlder); row <= std::max(y, yOlder); ++row)
            plot(x - 1, row);
    }
}
