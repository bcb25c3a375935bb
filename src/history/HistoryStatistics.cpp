#include "HistoryStatistics.h"

#include <algorithm>
#include <map>
#include <vector>

namespace HistoryStatisticsCalc
{
namespace
{

constexpr std::int64_t Interval = 300;

// Samples of the series whose whole step lies in [from, to).
template <typename F>
void forEachSample(const HistorySeries &s, std::int64_t from, std::int64_t to, F f)
{
    for (qsizetype i = 0; i < s.size(); ++i) {
        const std::int64_t end = s.timeOf(i);
        if (end - s.step >= from && end <= to)
            f(i, end);
    }
}

DirectionStatistics direction(const HistorySeries &series, const QList<double> &average,
                              const QList<double> &maximum, std::int64_t from, std::int64_t to)
{
    DirectionStatistics result;
    double sum = 0;
    qsizetype known = 0;
    forEachSample(series, from, to, [&](qsizetype i, std::int64_t) {
        if (HistorySeries::known(average[i])) {
            sum += average[i];
            ++known;
        }
        const double peak = HistorySeries::known(maximum[i]) ? maximum[i] : average[i];
        if (HistorySeries::known(peak) &&
            (!HistorySeries::known(result.maximum) || peak > result.maximum))
            result.maximum = peak;
    });
    if (known > 0)
        result.average = sum / static_cast<double>(known);
    result.percentile95 = percentile95(average, series.start, series.step, from, to);
    return result;
}

} // namespace

double percentile95(const QList<double> &values, std::int64_t start, std::int64_t step,
                    std::int64_t from, std::int64_t to)
{
    if (step <= 0)
        return HistorySeries::Unknown;
    std::vector<double> intervals;
    if (step >= Interval) {
        for (qsizetype i = 0; i < values.size(); ++i) {
            const std::int64_t end = start + step * (i + 1);
            if (end - step >= from && end <= to && HistorySeries::known(values[i]))
                intervals.push_back(values[i]);
        }
    } else {
        // Interval k holds the samples whose step ends in (k * 300, (k + 1) * 300].
        std::map<std::int64_t, std::pair<double, int>> sums;
        for (qsizetype i = 0; i < values.size(); ++i) {
            const std::int64_t end = start + step * (i + 1);
            if (end - step < from || end > to || !HistorySeries::known(values[i]))
                continue;
            auto &[sum, count] = sums[(end - 1) / Interval];
            sum += values[i];
            ++count;
        }
        for (const auto &[k, entry] : sums)
            intervals.push_back(entry.first / entry.second);
    }
    if (intervals.empty())
        return HistorySeries::Unknown;
    std::sort(intervals.begin(), intervals.end());
    // rank ceil(0.95 n), 1-based, computed in integers so that n = 20 gives exactly 19
    const std::size_t rank = (intervals.size() * 95 + 99) / 100;
    return intervals[std::max<std::size_t>(rank, 1) - 1];
}

HistoryStatistics compute(const HistorySeries &series, std::int64_t from, std::int64_t to)
{
    return {direction(series, series.inAverage, series.inMaximum, from, to),
            direction(series, series.outAverage, series.outMaximum, from, to)};
}

} // namespace HistoryStatisticsCalc
