#pragma once

#include "HistorySeries.h"

#include <cstdint>

// Readings of one direction over a time range, in bit/s; NaN when the range holds no known
// sample.
struct DirectionStatistics {
    double average = HistorySeries::Unknown;      // time-weighted mean of the known samples
    double maximum = HistorySeries::Unknown;      // highest poll (MAX archive)
    double percentile95 = HistorySeries::Unknown; // 95th percentile of 5-minute averages
};

struct HistoryStatistics {
    DirectionStatistics in, out;
};

namespace HistoryStatisticsCalc
{

// The billing convention: the samples of [from, to) are grouped into 5-minute intervals
// aligned to the clock (each the mean of its known samples; an interval without one is left
// out), the intervals are sorted, the top 5 % are discarded, and the highest remaining one is
// the 95th percentile (the value at rank ceil(0.95 * n)). Where the series is coarser than
// 5 minutes, each sample is one interval: the result then rests on longer averages and reads
// lower than the true 5-minute figure for bursty traffic.
double percentile95(const QList<double> &values, std::int64_t start, std::int64_t step,
                    std::int64_t from, std::int64_t to);

HistoryStatistics compute(const HistorySeries &series, std::int64_t from, std::int64_t to);

} // namespace HistoryStatisticsCalc
