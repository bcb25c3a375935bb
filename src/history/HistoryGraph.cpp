#include "HistoryGraph.h"

#include "BitRateText.h"
#include "HistoryErrorsPanel.h"
#include "HistoryStatistics.h"
#include "SettingsKeys.h"
#include "ValueAxis.h"

#include <QDateTime>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <limits>
#include <tuple>
#include <vector>

const QColor HistoryGraph::InColour(0, 160, 0);
const QColor HistoryGraph::OutColour(0, 90, 220);
const QColor HistoryGraph::In95Colour(0, 100, 0);
const QColor HistoryGraph::Out95Colour(0, 50, 140);
const QColor HistoryGraph::InErrorsColour(200, 0, 0);
const QColor HistoryGraph::OutErrorsColour(170, 0, 170);
const QColor HistoryGraph::InDiscardsColour(230, 130, 0);
const QColor HistoryGraph::OutDiscardsColour(0, 150, 160);

namespace
{

constexpr double LeftMargin = 78, RightMargin = 12, TopMargin = 22, BottomMargin = 24;
// The errors panel: shown from this height of the plots on, a share of it within bounds,
// below a band that carries its legend.
constexpr double ErrorsFromHeight = 240, ErrorsShare = 0.22, ErrorsMinimum = 50,
                 ErrorsMaximum = 140, ErrorsGap = 20;

// Time-axis steps in seconds, from a minute to a quarter of a year.
constexpr std::int64_t TimeSteps[] = {60,     120,    300,     600,     900,    1800,
                                      3600,   7200,   10800,   21600,   43200,  86400,
                                      172800, 604800, 1209600, 2592000, 7776000};

// The lowest and highest known sample in one pixel column (NaN when none).
struct Column {
    double low = HistorySeries::Unknown, high = HistorySeries::Unknown;
};

} // namespace

HistoryGraph::HistoryGraph(QWidget *parent)
    : QWidget(parent), m_high(SettingsKeys::HighValueDefault), m_low(SettingsKeys::LowValueDefault)
{
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setMinimumSize(320, 180);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void HistoryGraph::setSeries(HistorySeries series)
{
    m_series = std::move(series);
    updatePercentiles();
    update();
    // The read-out follows the new samples (another interface, another span) at once, not
    // only at the next mouse move.
    Q_EMIT hovered(m_hoverX >= 0 ? readOut(m_hoverX) : QString());
}

void HistoryGraph::setView(std::int64_t from, std::int64_t to)
{
    to = std::clamp(to, from + MinimumSpan, from + MaximumSpan);
    m_from = from;
    m_to = to;
    updatePercentiles();
    update();
}

void HistoryGraph::setScaleToBandwidth(bool on)
{
    m_scaleToBandwidth = on;
    update();
}

double HistoryGraph::axisTop() const
{
    return ValueAxis::fit(valueTop()).top;
}

void HistoryGraph::updatePercentiles()
{
    const HistoryStatistics s = HistoryStatisticsCalc::compute(m_series, m_from, m_to);
    m_in95 = s.in.percentile95;
    m_out95 = s.out.percentile95;
}

void HistoryGraph::setThresholds(int highPercent, int lowPercent)
{
    m_high = highPercent;
    m_low = lowPercent;
    update();
}

QRectF HistoryGraph::plotArea() const
{
    const double plots = height() - TopMargin - BottomMargin;
    const QRectF errors = errorsArea();
    const double traffic = errors.isEmpty() ? plots : plots - errors.height() - ErrorsGap;
    return QRectF(LeftMargin, TopMargin, std::max(1.0, width() - LeftMargin - RightMargin),
                  std::max(1.0, traffic));
}

QRectF HistoryGraph::errorsArea() const
{
    const double plots = height() - TopMargin - BottomMargin;
    if (plots < ErrorsFromHeight)
        return QRectF();
    const double panel = std::clamp(plots * ErrorsShare, ErrorsMinimum, ErrorsMaximum);
    return QRectF(LeftMargin, height() - BottomMargin - panel,
                  std::max(1.0, width() - LeftMargin - RightMargin), panel);
}

double HistoryGraph::timeAt(double x) const
{
    const QRectF area = plotArea();
    return static_cast<double>(m_from) +
           (x - area.left()) / area.width() * static_cast<double>(m_to - m_from);
}

double HistoryGraph::xOf(double time) const
{
    const QRectF area = plotArea();
    return area.left() +
           (time - static_cast<double>(m_from)) / static_cast<double>(m_to - m_from) * area.width();
}

double HistoryGraph::valueTop() const
{
    double top = 0;
    if (m_series.step > 0) {
        const qsizetype first = std::clamp<qsizetype>((m_from - m_series.start) / m_series.step - 1,
                                                      0, m_series.size());
        const qsizetype last = std::clamp<qsizetype>((m_to - m_series.start) / m_series.step + 1,
                                                     first, m_series.size());
        // NaN fails every comparison, so unknown samples drop out without a test of their own.
        // The traffic always; the bandwidth only when the axis is to reach it.
        std::vector<const QList<double> *> lists{&m_series.inMaximum, &m_series.outMaximum,
                                                 &m_series.inAverage, &m_series.outAverage};
        if (m_scaleToBandwidth)
            lists.push_back(&m_series.bandwidth);
        for (const QList<double> *values : lists) {
            const double *v = values->constData();
            for (qsizetype i = first; i < last; ++i)
                top = v[i] > top ? v[i] : top;
        }
    }
    return top > 0 ? top * 1.05 : 1000;
}

void HistoryGraph::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), palette().base());
    const QRectF area = plotArea();
    const double span = static_cast<double>(m_to - m_from);
    const QColor text = palette().text().color();
    const QColor grid = palette().mid().color();

    // Value axis: five or so nice steps up to the highest value in view.
    const ValueAxis axis = ValueAxis::fit(valueTop());
    const double valueStep = axis.step, axisTop = axis.top;
    const QRectF errors = errorsArea();
    const double timeAxisY = errors.isEmpty() ? area.bottom() : errors.bottom();
    const auto yOf = [&](double v) { return area.bottom() - v / axisTop * area.height(); };

    // The samples in view, and a local mapping from time to x (no per-sample calls).
    const qsizetype first =
        m_series.step > 0 ? std::clamp<qsizetype>((m_from - m_series.start) / m_series.step - 1, 0,
                                                  m_series.size())
                          : m_series.size();
    // One past the last sample that starts before the end of the view.
    const qsizetype last = m_series.step > 0
                               ? std::clamp<qsizetype>((m_to - m_series.start) / m_series.step + 1,
                                                       first, m_series.size())
                               : first;
    const double xScale = area.width() / span;
    const double xBase = area.left() - static_cast<double>(m_from) * xScale;
    const auto xAt = [&](std::int64_t t) { return xBase + static_cast<double>(t) * xScale; };

    // Link-down shading under everything else, one rectangle per run of down samples.
    p.setClipRect(area);
    for (qsizetype i = first; i < last;) {
        if (!(m_series.linkDown[i] > 0)) { // NaN compares false: unknown is not down
            ++i;
            continue;
        }
        const qsizetype runStart = i;
        while (i < last && m_series.linkDown[i] > 0)
            ++i;
        const double x0 = xAt(m_series.timeOf(runStart) - m_series.step);
        const double x1 = xAt(m_series.timeOf(i - 1));
        p.fillRect(QRectF(x0, area.top(), std::max(1.0, x1 - x0), area.height()),
                   QColor(230, 130, 30, 70));
    }
    p.setClipping(false);

    p.setPen(QPen(grid, 0));
    p.setFont(font());
    const QFontMetricsF metrics(font());
    for (double v = 0; v <= axisTop * 1.0001; v += valueStep) {
        const double y = yOf(v);
        p.setPen(QPen(grid, 0, Qt::DotLine));
        p.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
        p.setPen(text);
        p.drawText(QRectF(0, y - metrics.height() / 2, LeftMargin - 6, metrics.height()),
                   Qt::AlignRight | Qt::AlignVCenter, BitRateText::format(v));
    }

    // Time axis: clock times at a step that leaves room for the labels, aligned to local time.
    const double labelWidth = metrics.horizontalAdvance(QStringLiteral("00 Mmm 00:00")) + 16;
    std::int64_t timeStep = TimeSteps[std::size(TimeSteps) - 1];
    for (const std::int64_t s : TimeSteps) {
        if (static_cast<double>(s) / span * area.width() >= labelWidth) {
            timeStep = s;
            break;
        }
    }
    const std::int64_t offset = QDateTime::fromSecsSinceEpoch(m_from).offsetFromUtc();
    std::int64_t tick = ((m_from + offset) / timeStep + 1) * timeStep - offset;
    for (; tick <= m_to; tick += timeStep) {
        const double x = xOf(static_cast<double>(tick));
        p.setPen(QPen(grid, 0, Qt::DotLine));
        p.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
        if (!errors.isEmpty())
            p.drawLine(QPointF(x, errors.top()), QPointF(x, errors.bottom()));
        const QDateTime local = QDateTime::fromSecsSinceEpoch(tick);
        const QString label = timeStep >= 86400 ? local.toString(QStringLiteral("dd MMM"))
                              : span > 86400    ? local.toString(QStringLiteral("dd MMM HH:mm"))
                                                : local.toString(QStringLiteral("HH:mm"));
        p.setPen(text);
        // Kept inside the widget: the last label of the axis is not cut at the right edge.
        const double labelX =
            std::clamp(x - labelWidth / 2, 0.0, std::max(0.0, width() - labelWidth));
        p.drawText(QRectF(labelX, timeAxisY + 2, labelWidth, BottomMargin - 2),
                   Qt::AlignHCenter | Qt::AlignTop, label);
    }
    p.setPen(QPen(text, 0));
    p.drawRect(area);

    p.setClipRect(area.adjusted(-1, -1, 1, 1));
    const double samplesPerPixel =
        m_series.step > 0 ? span / static_cast<double>(m_series.step) / area.width() : 0;
    // Few samples: antialiased steps; many: one vertical stroke per pixel column, which needs
    // no smoothing and keeps the cost of a repaint bound by the width, not by the samples.
    p.setRenderHint(QPainter::Antialiasing, samplesPerPixel <= 1);
    // Columns are device pixels, so that a scale factor of 2 gets twice the detail.
    const double dpr = std::max(1.0, p.device()->devicePixelRatioF());
    const int columns = static_cast<int>(std::ceil(area.width() * dpr)) + 1;

    // Lowest and highest known sample per pixel column. Samples are evenly spaced, so each
    // column is a run of indices; NaN fails every comparison and drops out by itself.
    std::vector<Column> bandwidthBins, scratch;
    const auto binsOf = [&](const QList<double> &values,
                            const QList<double> *peaks) -> const std::vector<Column> & {
        const bool isBandwidth = &values == &m_series.bandwidth;
        std::vector<Column> &bins = isBandwidth ? bandwidthBins : scratch;
        if (isBandwidth && !bins.empty())
            return bins;
        bins.assign(static_cast<std::size_t>(columns), Column{});
        const double *v = values.constData();
        const double *peak = peaks ? peaks->constData() : nullptr;
        const double firstEnd = static_cast<double>(m_series.timeOf(0));
        qsizetype i = first;
        for (int c = 0; c < columns && i < last; ++c) {
            // Samples whose end time falls in this column.
            const double columnEnd = static_cast<double>(m_from) + (c + 1) / (xScale * dpr);
            const qsizetype stop = std::min<qsizetype>(
                last, static_cast<qsizetype>(
                          std::floor((columnEnd - firstEnd) / static_cast<double>(m_series.step))) +
                          1);
            double low = std::numeric_limits<double>::infinity(), high = -low;
            for (; i < stop; ++i) {
                low = v[i] < low ? v[i] : low;
                high = v[i] > high ? v[i] : high;
                if (peak)
                    high = peak[i] > high ? peak[i] : high;
            }
            if (high >= low)
                bins[static_cast<std::size_t>(c)] = {low, high};
        }
        return bins;
    };

    // One series (scaled by `factor`) as polylines broken at unknown samples.
    const auto drawSeries = [&](const QList<double> &values, const QList<double> *peaks,
                                double factor, QPen pen) {
        pen.setJoinStyle(Qt::BevelJoin);
        if (samplesPerPixel > 1) {
            // Dense: one-pixel strokes take the rasteriser's fast path, crisp at any scale.
            pen.setWidth(1);
            pen.setCosmetic(true);
        }
        p.setPen(pen);
        QPolygonF line;
        const auto flush = [&] {
            if (line.size() == 1)
                p.drawPoint(line.first());
            else if (line.size() > 1)
                p.drawPolyline(line);
            line.clear();
        };
        if (samplesPerPixel <= 1) {
            for (qsizetype i = first; i < last; ++i) {
                const double v = values[i] * factor;
                if (!HistorySeries::known(v)) {
                    flush();
                    continue;
                }
                // A sample covers its whole step: drawn as a level over the step.
                const std::int64_t t = m_series.timeOf(i);
                line.append(QPointF(xAt(t - m_series.step), yOf(v)));
                line.append(QPointF(xAt(t), yOf(v)));
            }
            flush();
            return;
        }
        // Many samples per pixel: each column from its lowest to its highest sample.
        const std::vector<Column> &bins = binsOf(values, peaks);
        for (int c = 0; c < columns; ++c) {
            const Column &bin = bins[static_cast<std::size_t>(c)];
            if (!HistorySeries::known(bin.low)) {
                flush();
                continue;
            }
            const double x = area.left() + (c + 0.5) / dpr;
            line.append(QPointF(x, yOf(bin.low * factor)));
            if (bin.high != bin.low)
                line.append(QPointF(x, yOf(bin.high * factor)));
        }
        flush();
    };
    drawSeries(m_series.bandwidth, nullptr, 1, QPen(text, 1.2));
    drawSeries(m_series.bandwidth, nullptr, m_high / 100.0,
               QPen(QColor(220, 0, 0), 1, Qt::DashLine));
    drawSeries(m_series.bandwidth, nullptr, m_low / 100.0,
               QPen(QColor(200, 160, 0), 1, Qt::DashLine));
    // The 95th percentile of each direction over the view: a dashed line with its value,
    // under the traffic, which it often meets.
    const bool smooth = p.testRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::Antialiasing, false);
    double labelY = area.top() - metrics.height();
    for (const auto &[value, colour, name] :
         {std::tuple(m_in95, In95Colour, QStringLiteral("in")),
          std::tuple(m_out95, Out95Colour, QStringLiteral("out"))}) {
        if (!HistorySeries::known(value) || value > axisTop)
            continue;
        const double y = yOf(value);
        p.setPen(QPen(colour, 1, Qt::DashLine));
        p.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
        const QString label = QStringLiteral("95th %1 ").arg(name) + BitRateText::format(value);
        const double w = metrics.horizontalAdvance(label) + 6;
        // Above its line, inside the plot, clear of the other direction's label.
        double top = std::max(area.top() + 1, y - metrics.height() - 1);
        if (std::abs(top - labelY) < metrics.height())
            top = labelY + metrics.height();
        labelY = top;
        const QRectF box(area.right() - w - 4, top, w, metrics.height());
        QColor back = palette().base().color();
        back.setAlpha(200);
        p.fillRect(box, back);
        p.setPen(colour);
        p.drawText(box, Qt::AlignCenter, label);
    }
    p.setRenderHint(QPainter::Antialiasing, smooth);
    drawSeries(m_series.inAverage, &m_series.inMaximum, 1, QPen(InColour, 1.5));
    drawSeries(m_series.outAverage, &m_series.outMaximum, 1, QPen(OutColour, 1.5));

    p.setClipping(false);

    if (!errors.isEmpty()) {
        HistoryErrorsPanel::Colours colours{
            InErrorsColour, OutErrorsColour, InDiscardsColour, OutDiscardsColour, text, grid};
        HistoryErrorsPanel::paint(p, errors, m_series, m_from, m_to, colours);
    }

    // Legend and hover read-out above the plot.
    p.setRenderHint(QPainter::Antialiasing, false);
    double legendX = area.left();
    const auto legend = [&](const QColor &colour, const QString &name) {
        p.setPen(colour);
        const double w = metrics.horizontalAdvance(name) + 14;
        p.drawText(QRectF(legendX, 2, w, TopMargin - 4), Qt::AlignLeft | Qt::AlignVCenter, name);
        legendX += w;
    };
    legend(InColour, QStringLiteral("In"));
    legend(OutColour, QStringLiteral("Out"));
    // A bandwidth above the axis has no line to show: the legend says so, with its value.
    double bandwidth = HistorySeries::Unknown;
    for (qsizetype i = last - 1; i >= first && !HistorySeries::known(bandwidth); --i)
        bandwidth = m_series.bandwidth[i];
    legend(text,
           HistorySeries::known(bandwidth) && bandwidth > axisTop
               ? QStringLiteral("Bandwidth %1 (off scale)").arg(BitRateText::format(bandwidth))
               : QStringLiteral("Bandwidth"));
    legend(QColor(220, 0, 0), QStringLiteral("High %1 %").arg(m_high));
    legend(QColor(200, 160, 0), QStringLiteral("Low %1 %").arg(m_low));
    if (m_hoverX >= area.left() && m_hoverX <= area.right()) {
        p.setPen(QPen(text, 0, Qt::DashLine));
        p.drawLine(QPointF(m_hoverX, area.top()), QPointF(m_hoverX, area.bottom()));
        p.setPen(text);
        p.drawText(QRectF(legendX, 2, area.right() - legendX, TopMargin - 4),
                   Qt::AlignRight | Qt::AlignVCenter, readOut(m_hoverX));
    }
}

QString HistoryGraph::readOut(double x) const
{
    if (m_series.isEmpty() || m_series.step <= 0)
        return QString();
    const double t = timeAt(x);
    const auto i = static_cast<qsizetype>(
        std::floor((t - static_cast<double>(m_series.start)) / static_cast<double>(m_series.step)));
    if (i < 0 || i >= m_series.size())
        return QString();
    const QDateTime when = QDateTime::fromSecsSinceEpoch(m_series.timeOf(i));
    const QString format = (m_to - m_from) > 86400 ? QStringLiteral("yyyy-MM-dd HH:mm:ss")
                                                   : QStringLiteral("HH:mm:ss");
    return when.toString(format) + QStringLiteral("  in ") +
           BitRateText::format(m_series.inAverage[i]) + QStringLiteral("  out ") +
           BitRateText::format(m_series.outAverage[i]);
}

void HistoryGraph::changeView(double from, double to)
{
    double length =
        std::clamp(to - from, static_cast<double>(MinimumSpan), static_cast<double>(MaximumSpan));
    const double middle = (from + to) / 2;
    if (to - from != length) {
        from = middle - length / 2;
        to = middle + length / 2;
    }
    m_from = std::llround(from);
    m_to = std::llround(to);
    updatePercentiles();
    update();
    Q_EMIT viewChanged(m_from, m_to);
}

void HistoryGraph::zoom(double factor, double aboutTime)
{
    const double from = aboutTime - (aboutTime - static_cast<double>(m_from)) * factor;
    const double to = aboutTime + (static_cast<double>(m_to) - aboutTime) * factor;
    if ((to - from) < MinimumSpan || (to - from) > MaximumSpan) {
        // Keep the pointer's time in place while the span stops at its bound.
        const double length = std::clamp(to - from, static_cast<double>(MinimumSpan),
                                         static_cast<double>(MaximumSpan));
        const double share =
            (aboutTime - static_cast<double>(m_from)) / static_cast<double>(m_to - m_from);
        changeView(aboutTime - share * length, aboutTime + (1 - share) * length);
        return;
    }
    changeView(from, to);
}

void HistoryGraph::pan(double seconds)
{
    changeView(static_cast<double>(m_from) + seconds, static_cast<double>(m_to) + seconds);
}

void HistoryGraph::wheelEvent(QWheelEvent *event)
{
    const double steps = event->angleDelta().y() / 120.0;
    if (steps == 0)
        return;
    zoom(std::pow(0.8, steps), timeAt(event->position().x()));
    event->accept();
}

void HistoryGraph::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_dragging = true;
    m_dragStart = event->position().toPoint();
    m_dragFrom = m_from;
    m_dragTo = m_to;
    setCursor(Qt::ClosedHandCursor);
}

void HistoryGraph::mouseMoveEvent(QMouseEvent *event)
{
    m_hoverX = event->position().x();
    if (m_dragging) {
        const double seconds = (m_dragStart.x() - event->position().x()) / plotArea().width() *
                               static_cast<double>(m_dragTo - m_dragFrom);
        changeView(static_cast<double>(m_dragFrom) + seconds,
                   static_cast<double>(m_dragTo) + seconds);
    } else {
        update();
    }
    Q_EMIT hovered(readOut(m_hoverX));
}

void HistoryGraph::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_dragging = false;
    unsetCursor();
}

void HistoryGraph::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        Q_EMIT spanResetRequested();
}

void HistoryGraph::keyPressEvent(QKeyEvent *event)
{
    const double span = static_cast<double>(m_to - m_from);
    const double middle = (static_cast<double>(m_from) + static_cast<double>(m_to)) / 2;
    switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        zoom(0.5, middle);
        break;
    case Qt::Key_Minus:
        zoom(2, middle);
        break;
    case Qt::Key_Left:
        pan(-span / 10);
        break;
    case Qt::Key_Right:
        pan(span / 10);
        break;
    case Qt::Key_Home: {
        const double now =
            static_cast<double>(m_now > 0 ? m_now : QDateTime::currentSecsSinceEpoch());
        changeView(now - span, now);
        break;
    }
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void HistoryGraph::leaveEvent(QEvent *)
{
    m_hoverX = -1;
    update();
}
