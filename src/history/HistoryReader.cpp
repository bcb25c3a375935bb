#include "HistoryReader.h"

#include "HistoryFolder.h"
#include "RrdHeader.h"
#include "RrdLayout.h"

#include <QDir>
#include <QFile>

#include <rrd.h>

#include <algorithm>
#include <ctime>

namespace HistoryReader
{
namespace
{

struct Fetched {
    time_t start = 0, end = 0;
    unsigned long step = 0, sources = 0;
    QList<QByteArray> names;
    rrd_value_t *data = nullptr;

    ~Fetched() { rrd_freemem(data); }
    int column(const char *name) const { return static_cast<int>(names.indexOf(name)); }
    qsizetype rows() const { return step ? static_cast<qsizetype>((end - start) / step) : 0; }
    double at(qsizetype row, int column) const
    {
        return column < 0 ? HistorySeries::Unknown
                          : data[static_cast<std::size_t>(row) * sources +
                                 static_cast<std::size_t>(column)];
    }
};

bool fetchOne(const QByteArray &name, const char *function, time_t from, time_t to,
              unsigned long step, Fetched &out, QString *error)
{
    out.start = from;
    out.end = to;
    out.step = step;
    char **names = nullptr;
    if (rrd_fetch_r(name.constData(), function, &out.start, &out.end, &out.step, &out.sources,
                    &names, &out.data) != 0) {
        *error = QString::fromLocal8Bit(rrd_get_error());
        rrd_clear_error();
        return false;
    }
    for (unsigned long i = 0; i < out.sources; ++i) {
        out.names.append(QByteArray(names[i]));
        rrd_freemem(names[i]);
    }
    rrd_freemem(names);
    return true;
}

} // namespace

QList<Entry> list(const QString &folder)
{
    QList<Entry> entries;
    const QDir dir(folder);
    for (const QString &name : dir.entryList({QStringLiteral("*.rrd")}, QDir::Files)) {
        if (const auto key = HistoryFileName::parse(name))
            entries.append({*key, dir.filePath(name)});
    }
    std::sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) {
        return std::pair(a.key.address, a.key.ifIndex) < std::pair(b.key.address, b.key.ifIndex);
    });
    return entries;
}

HistorySeries fetch(const QString &path, std::int64_t from, std::int64_t to, QString *error)
{
    HistorySeries series;
    QString reason;
    if (HistoryFolder::check(path, &reason) != HistoryFolder::FileState::Usable) {
        *error = reason.isEmpty() ? QStringLiteral("No history file \"%1\".").arg(path) : reason;
        return series;
    }
    // librrd is handed only a file whose header was checked (see RrdHeader).
    switch (RrdHeader::checkFile(path, &reason)) {
    case RrdHeader::Verdict::Good:
        break;
    case RrdHeader::Verdict::Damaged:
        *error = QStringLiteral("The history file \"%1\" is damaged: %2.").arg(path, reason);
        return series;
    case RrdHeader::Verdict::Unreadable:
        *error = QStringLiteral("Cannot read the history file \"%1\": %2").arg(path, reason);
        return series;
    }
    const QByteArray name = QFile::encodeName(path);
    Fetched average, maximum;
    if (!fetchOne(name, "AVERAGE", static_cast<time_t>(from), static_cast<time_t>(to), 1, average,
                  error))
        return series;
    // The maximum from the archive of the same resolution.
    if (!fetchOne(name, "MAX", average.start, average.end, average.step, maximum, error))
        return series;
    if (maximum.step != average.step || maximum.start != average.start)
        maximum = Fetched{};

    // librrd returns rows stamped start+step .. end; the series keeps its start as the
    // beginning of the first row.
    series.start = static_cast<std::int64_t>(average.start);
    series.step = static_cast<std::int64_t>(average.step);
    const qsizetype rows = average.rows();
    const int in = average.column(RrdLayout::DataSources[RrdLayout::InOctets]);
    const int out = average.column(RrdLayout::DataSources[RrdLayout::OutOctets]);
    const int bandwidth = average.column(RrdLayout::DataSources[RrdLayout::Bandwidth]);
    const int down = average.column(RrdLayout::DataSources[RrdLayout::LinkDown]);
    const auto column = [&](RrdLayout::Source source) {
        return average.column(RrdLayout::DataSources[source]);
    };
    const int errorColumns[] = {column(RrdLayout::InErrors), column(RrdLayout::OutErrors),
                                column(RrdLayout::InDiscards), column(RrdLayout::OutDiscards)};
    QList<double> *const errorSeries[] = {&series.inErrors, &series.outErrors, &series.inDiscards,
                                          &series.outDiscards};
    const qsizetype maxRows = maximum.data ? std::min(rows, maximum.rows()) : 0;
    for (qsizetype row = 0; row < rows; ++row) {
        series.inAverage.append(average.at(row, in) * 8);
        series.outAverage.append(average.at(row, out) * 8);
        series.bandwidth.append(average.at(row, bandwidth));
        series.linkDown.append(average.at(row, down));
        for (std::size_t k = 0; k < std::size(errorColumns); ++k)
            errorSeries[k]->append(average.at(row, errorColumns[k]));
        series.inMaximum.append(row < maxRows ? maximum.at(row, maximum.column("inoctets")) * 8
                                              : series.inAverage.last());
        series.outMaximum.append(row < maxRows ? maximum.at(row, maximum.column("outoctets")) * 8
                                               : series.outAverage.last());
    }
    return series;
}

std::int64_t lastUpdate(const QString &path)
{
    QString reason;
    RrdHeader::Summary summary;
    if (HistoryFolder::check(path, &reason) != HistoryFolder::FileState::Usable ||
        RrdHeader::checkFile(path, &reason, &summary) != RrdHeader::Verdict::Good)
        return 0;
    return summary.lastUpdate;
}

} // namespace HistoryReader
