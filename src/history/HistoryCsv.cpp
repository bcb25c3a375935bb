#include "HistoryCsv.h"

#include <QDateTime>

namespace HistoryCsv
{

QByteArray bytes(const HistorySeries &series, std::int64_t from, std::int64_t to)
{
    QByteArray out("time,in bit/s,out bit/s\n");
    const auto value = [](double v) {
        return HistorySeries::known(v) ? QByteArray::number(v, 'g', 15) : QByteArray();
    };
    for (qsizetype i = 0; i < series.size(); ++i) {
        const std::int64_t time = series.timeOf(i);
        if (time <= from || time > to)
            continue;
        const QDateTime local = QDateTime::fromSecsSinceEpoch(time);
        out += local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODate).toUtf8();
        out += ',' + value(series.inAverage[i]) + ',' + value(series.outAverage[i]) + '\n';
    }
    return out;
}

} // namespace HistoryCsv
