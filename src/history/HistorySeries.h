#pragma once

#include <QList>

#include <cmath>
#include <cstdint>
#include <limits>

// Readings of one interface over a time range at one resolution, in the units the window
// shows: traffic and bandwidth in bit/s. Unknown is NaN. Sample i covers the `step` seconds
// ending at start + (i + 1) * step (RRD's convention: a row is stamped with its end).
struct HistorySeries {
    static constexpr double Unknown = std::numeric_limits<double>::quiet_NaN();

    std::int64_t start = 0;              // seconds since the epoch, UTC
    std::int64_t step = 0;               // seconds per sample, > 0 when the series holds samples
    QList<double> inAverage, outAverage; // bit/s
    QList<double> inMaximum, outMaximum; // bit/s, the highest poll within each sample
    QList<double> bandwidth;             // bit/s
    QList<double> linkDown;              // share of the sample the link was down, 0..1
    // Per second; unknown while link health is off. Empty when the reader did not fill them.
    QList<double> inErrors, outErrors, inDiscards, outDiscards;

    qsizetype size() const { return inAverage.size(); }
    bool isEmpty() const { return inAverage.isEmpty(); }
    std::int64_t end() const { return start + step * size(); }
    // The end time of sample i.
    std::int64_t timeOf(qsizetype i) const { return start + step * (i + 1); }
    static bool known(double v) { return !std::isnan(v); }
};
