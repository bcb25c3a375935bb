#pragma once

#include "HistorySeries.h"

#include <QColor>
#include <QRectF>
#include <QString>

#include <cstdint>

class QPainter;

// The errors and discards panel of the history graph: input and output errors and discards per
// second over the same time range as the traffic above it, on a value axis of its own (1-2-5
// steps, "/s"). Each pixel column shows the highest sample in it, so a burst of errors in one
// poll stays visible at any zoom; unknown samples (link health off) are gaps. The legend runs
// along the top edge, above the panel.
namespace HistoryErrorsPanel
{

struct Colours {
    QColor inErrors, outErrors, inDiscards, outDiscards;
    QColor text, grid;
};

void paint(QPainter &p, const QRectF &area, const HistorySeries &series, std::int64_t from,
           std::int64_t to, const Colours &colours);

// The highest known errors or discards rate of [from, to], NaN when none is known.
double highest(const HistorySeries &series, std::int64_t from, std::int64_t to);

// A rate per second as the panel labels it: "0 /s", "0.5 /s", "200 /s", "1.5k /s".
QString rateText(double perSecond);

} // namespace HistoryErrorsPanel
