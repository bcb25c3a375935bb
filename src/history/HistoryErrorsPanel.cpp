#include "HistoryErrorsPanel.h"

#include "ValueAxis.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPolygonF>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <vector>

namespace HistoryErrorsPanel
{
namespace
{

// The indices of the samples that overlap [from, to]: [first, last).
std::pair<qsizetype, qsizetype> samplesOf(const HistorySeries &series, double from, double to)
{
    if (series.step <= 0)
        return {0, 0};
    const auto index = [&](double t) {
        return static_cast<qsizetype>(
            std::floor((t - static_cast<double>(series.start)) / static_cast<double>(series.step)));
    };
    const qsizetype first = std::clamp<qsizetype>(index(from), 0, series.size());
    const qsizetype last = std::clamp<qsizetype>(index(to) + 1, first, series.size());
    return {first, last};
}

std::array<const QList<double> *, 4> listsOf(const HistorySeries &series)
{
    return {&series.inErrors, &series.outErrors, &series.inDiscards, &series.outDiscards};
}

} // namespace

double highest(const HistorySeries &series, std::int64_t from, std::int64_t to)
{
    const auto [first, last] =
        samplesOf(series, static_cast<double>(from), static_cast<double>(to));
    double top = std::numeric_limits<double>::quiet_NaN();
    for (const QList<double> *values : listsOf(series)) {
        for (qsizetype i = first; i < last && i < values->size(); ++i) {
            const double v = (*values)[i];
            if (HistorySeries::known(v) && !(v <= top))
                top = v;
        }
    }
    return top;
}

QString rateText(double perSecond)
{
    if (std::isnan(perSecond))
        return QStringLiteral("unknown");
    if (std::fabs(perSecond) >= 999.5) {
        static const char *const Prefixes[] = {"k", "M", "G"};
        double value = perSecond / 1000;
        int prefix = 0;
        while (std::fabs(value) >= 999.5 && prefix < 2) {
            value /= 1000;
            ++prefix;
        }
        return QString::number(value, 'g', 3) + QLatin1StringView(Prefixes[prefix]) +
               QStringLiteral(" /s");
    }
    return QString::number(perSecond, 'g', 3) + QStringLiteral(" /s");
}

void paint(QPainter &p, const QRectF &area, const HistorySeries &series, std::int64_t from,
           std::int64_t to, const Colours &colours)
{
    p.save();
    const QFontMetricsF metrics(p.font());
    const double known = highest(series, from, to);
    const ValueAxis axis = ValueAxis::fit(known, 2, 1);
    const auto yOf = [&](double v) { return area.bottom() - v / axis.top * area.height(); };

    for (double v = 0; v <= axis.top * 1.0001; v += axis.step) {
        const double y = yOf(v);
        p.setPen(QPen(colours.grid, 0, Qt::DotLine));
        p.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
        p.setPen(colours.text);
        p.drawText(QRectF(0, y - metrics.height() / 2, area.left() - 6, metrics.height()),
                   Qt::AlignRight | Qt::AlignVCenter, rateText(v));
    }
    p.setPen(QPen(colours.text, 0));
    p.drawRect(area);

    // The legend in the band above the panel.
    const double legendTop = area.top() - metrics.height() - 2;
    double legendX = area.left();
    const std::array<std::pair<QColor, QString>, 4> names{{
        {colours.inErrors, QStringLiteral("Errors in")},
        {colours.outErrors, QStringLiteral("Errors out")},
        {colours.inDiscards, QStringLiteral("Discards in")},
        {colours.outDiscards, QStringLiteral("Discards out")},
    }};
    for (const auto &[colour, name] : names) {
        p.setPen(colour);
        const double w = metrics.horizontalAdvance(name) + 14;
        p.drawText(QRectF(legendX, legendTop, w, metrics.height()),
                   Qt::AlignLeft | Qt::AlignVCenter, name);
        legendX += w;
    }
    if (std::isnan(known)) {
        p.setPen(colours.text);
        p.drawText(QRectF(legendX, legendTop, area.right() - legendX, metrics.height()),
                   Qt::AlignRight | Qt::AlignVCenter,
                   QStringLiteral("no error counts in view (link health off?)"));
    }

    // Per device-pixel column the highest sample that overlaps it.
    const double span = static_cast<double>(to - from);
    const double dpr = std::max(1.0, p.device()->devicePixelRatioF());
    const int columns = static_cast<int>(std::ceil(area.width() * dpr));
    const double secondsPerColumn = span / (area.width() * dpr);
    p.setClipRect(area.adjusted(-1, -1, 1, 1));
    p.setRenderHint(QPainter::Antialiasing, false);
    const auto lists = listsOf(series);
    const QColor lineColours[] = {colours.inErrors, colours.outErrors, colours.inDiscards,
                                  colours.outDiscards};
    for (std::size_t k = 0; k < lists.size(); ++k) {
        const QList<double> &values = *lists[k];
        QPen pen(lineColours[k], 1);
        pen.setCosmetic(true);
        p.setPen(pen);
        QPolygonF line;
        const auto flush = [&] {
            if (line.size() == 1)
                p.drawPoint(line.first());
            else if (line.size() > 1)
                p.drawPolyline(line);
            line.clear();
        };
        for (int c = 0; c < columns; ++c) {
            const double t0 = static_cast<double>(from) + c * secondsPerColumn;
            const auto [first, last] = samplesOf(series, t0, t0 + secondsPerColumn);
            double high = std::numeric_limits<double>::quiet_NaN();
            for (qsizetype i = first; i < last && i < values.size(); ++i) {
                if (HistorySeries::known(values[i]) && !(values[i] <= high))
                    high = values[i];
            }
            if (std::isnan(high)) {
                flush();
                continue;
            }
            line.append(QPointF(area.left() + (c + 0.5) / dpr, yOf(high)));
        }
        flush();
    }
    p.restore();
}

} // namespace HistoryErrorsPanel
