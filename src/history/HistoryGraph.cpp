#include "HistoryGraph.h"

#include "BitRateText.h"

#include <QDateTime>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

const QColor HistoryGraph::InColour(0, 160, 0);
const QColor HistoryGraph::OutColour(0, 90, 220);

namespace
{

constexpr double LeftMargin = 78, RightMargin = 12, TopMargin = 22, BottomMargin = 24;

// A "nice" step (1, 2 or 5 times a power of ten) at least `raw`.
double niceStep(double raw)
{
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double m : {1.0, 2.0, 5.0, 10.0}) {
        if (m * power >= raw)
            return m * power;
    }
    return 10 * power;
}

// Time-axis steps in seconds, from a minute to a quarter of a year.
constexpr std::int64_t TimeSteps[] = {60,     120,    300,     600,     900,    1800,
                                      3600,   7200,   10800,   21600,   43200,  86400,
                                      172800, 604800, 1209600, 2592000, 7776000};

struct Column {
    double low = HistorySeries::Unknown, high = HistorySeries::Unknown;
    void add(double v)
    {
        if (!HistorySeries::known(v))
            return;
        if (!HistorySeries::known(low) || v < low)
            low = v;
        if (!HistorySeries::known(high) || v > high)
            high = v;
    }
};

} // namespace

HistoryGraph::HistoryGraph(QWidget *parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setMinimumSize(320, 180);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void HistoryGraph::setSeries(HistorySeries series)
{
    m_series = std::move(series);
    update();
}

void HistoryGraph::setView(std::int64_t from, std::int64_t to)
{
    if (to - from < MinimumSpan)
        to = from + MinimumSpan;
    m_from = from;
    m_to = to;
    update();
}

void HistoryGraph::setThresholds(int highPercent, int lowPercent)
{
    m_high = highPercent;
    m_low = lowPercent;
    update();
}

QRectF HistoryGraph::plotArea() const
{
    return QRectF(LeftMargin, TopMargin, std::max(1.0, width() - LeftMargin - RightMargin),
                  std::max(1.0, height() - TopMargin - BottomMargin));
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
    const qsizetype first =
        m_series.step > 0 ? std::clamp<qsizetype>((m_from - m_series.start) / m_series.step - 1, 0,
                                                  m_series.size())
                          : 0;
    for (qsizetype i = first; i < m_series.size(); ++i) {
        const std::int64_t t = m_series.timeOf(i);
        if (t > m_to + m_series.step)
            break;
        for (const double v : {m_series.inMaximum[i], m_series.outMaximum[i], m_series.inAverage[i],
                               m_series.outAverage[i], m_series.bandwidth[i]}) {
            if (HistorySeries::known(v))
                top = std::max(top, v);
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
    const double top = valueTop();
    const double valueStep = niceStep(top / 5);
    const double axisTop = std::ceil(top / valueStep) * valueStep;
    const auto yOf = [&](double v) { return area.bottom() - v / axisTop * area.height(); };

    // Link-down shading under everything else.
    const qsizetype first =
        m_series.step > 0 ? std::clamp<qsizetype>((m_from - m_series.start) / m_series.step - 1, 0,
                                                  m_series.size())
                          : m_series.size();
    qsizetype last = first;
    while (last < m_series.size() && m_series.timeOf(last) - m_series.step <= m_to)
        ++last;
    p.setClipRect(area);
    for (qsizetype i = first; i < last; ++i) {
        if (HistorySeries::known(m_series.linkDown[i]) && m_series.linkDown[i] > 0) {
            const double x0 = xOf(static_cast<double>(m_series.timeOf(i) - m_series.step));
            const double x1 = xOf(static_cast<double>(m_series.timeOf(i)));
            p.fillRect(QRectF(x0, area.top(), std::max(1.0, x1 - x0), area.height()),
                       QColor(230, 130, 30, 70));
        }
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
        const QDateTime local = QDateTime::fromSecsSinceEpoch(tick);
        const QString label = timeStep >= 86400 ? local.toString(QStringLiteral("dd MMM"))
                              : span > 86400    ? local.toString(QStringLiteral("dd MMM HH:mm"))
                                                : local.toString(QStringLiteral("HH:mm"));
        p.setPen(text);
        p.drawText(QRectF(x - labelWidth / 2, area.bottom() + 2, labelWidth, BottomMargin - 2),
                   Qt::AlignHCenter | Qt::AlignTop, label);
    }
    p.setPen(QPen(text, 0));
    p.drawRect(area);

    p.setRenderHint(QPainter::Antialiasing);
    p.setClipRect(area.adjusted(-1, -1, 1, 1));
    const double samplesPerPixel =
        m_series.step > 0 ? span / static_cast<double>(m_series.step) / area.width() : 0;

    // One series as polylines broken at unknown samples.
    const auto drawSeries = [&](const QList<double> &values, const QList<double> *peaks,
                                const QPen &pen) {
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
                const double v = values[i];
                if (!HistorySeries::known(v)) {
                    flush();
                    continue;
                }
                // A sample covers its whole step: draw it as a level over the step.
                const double t = static_cast<double>(m_series.timeOf(i));
                line.append(QPointF(xOf(t - static_cast<double>(m_series.step)), yOf(v)));
                line.append(QPointF(xOf(t), yOf(v)));
            }
            flush();
            return;
        }
        // Many samples per pixel: each column from its lowest to its highest sample.
        const int columns = static_cast<int>(std::ceil(area.width()));
        std::vector<Column> bins(static_cast<std::size_t>(columns) + 1);
        for (qsizetype i = first; i < last; ++i) {
            const int c =
                static_cast<int>(xOf(static_cast<double>(m_series.timeOf(i))) - area.left());
            if (c < 0 || c > columns)
                continue;
            bins[static_cast<std::size_t>(c)].add(values[i]);
            if (peaks)
                bins[static_cast<std::size_t>(c)].add((*peaks)[i]);
        }
        for (int c = 0; c <= columns; ++c) {
            const Column &bin = bins[static_cast<std::size_t>(c)];
            if (!HistorySeries::known(bin.low)) {
                flush();
                continue;
            }
            const double x = area.left() + c + 0.5;
            line.append(QPointF(x, yOf(bin.low)));
            if (bin.high != bin.low)
                line.append(QPointF(x, yOf(bin.high)));
        }
        flush();
    };
    QPen bandwidthPen(text, 1.2);
    drawSeries(m_series.bandwidth, nullptr, bandwidthPen);
    QList<double> high, low;
    high.reserve(m_series.size());
    low.reserve(m_series.size());
    for (const double b : m_series.bandwidth) {
        high.append(b * m_high / 100.0);
        low.append(b * m_low / 100.0);
    }
    drawSeries(high, nullptr, QPen(QColor(220, 0, 0), 1, Qt::DashLine));
    drawSeries(low, nullptr, QPen(QColor(200, 160, 0), 1, Qt::DashLine));
    drawSeries(m_series.inAverage, &m_series.inMaximum, QPen(InColour, 1.5));
    drawSeries(m_series.outAverage, &m_series.outMaximum, QPen(OutColour, 1.5));
    p.setClipping(false);

    // Legend and hover read-out above the plot.
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(InColour);
    p.drawText(QRectF(area.left(), 2, 60, TopMargin - 4), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("In"));
    p.setPen(OutColour);
    p.drawText(QRectF(area.left() + 30, 2, 60, TopMargin - 4), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Out"));
    if (m_hoverX >= area.left() && m_hoverX <= area.right()) {
        p.setPen(QPen(text, 0, Qt::DashLine));
        p.drawLine(QPointF(m_hoverX, area.top()), QPointF(m_hoverX, area.bottom()));
        p.setPen(text);
        p.drawText(QRectF(area.left() + 70, 2, area.width() - 70, TopMargin - 4),
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
