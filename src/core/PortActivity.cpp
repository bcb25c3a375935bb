#include "PortActivity.h"

#include "InterfaceTable.h"
#include "NumberFormat.h"
#include "RateFormat.h"
#include "TimeStamp.h"

#include <QStringList>

namespace
{

double number(const InterfaceTable &table, int column, int row)
{
    long double value = 0;
    return NumberFormat::tryParseFloat(table.cell(column, row), &value) ? double(value) : 0.0;
}

void raise(std::optional<PortActivity::Peak> &peak, double bits, double percent,
           const QDateTime &when)
{
    if (!peak || bits > peak->bitsPerSecond)
        peak = PortActivity::Peak{bits, percent, when};
}

} // namespace

void PortActivity::reset()
{
    m_rows.fill(Row{});
}

void PortActivity::record(const InterfaceTable &table, int row, const QDateTime &when)
{
    if (row < 1 || row > Rows)
        return;
    Row &r = m_rows[std::size_t(row - 1)];
    r.polled = true;
    r.inBits = number(table, Col::InDeltaPers, row) * 8;
    r.outBits = number(table, Col::OutDeltaPers, row) * 8;
    r.inPercent = number(table, Col::InUtil, row);
    r.outPercent = number(table, Col::OutUtil, row);
    r.lastReading = when;
    raise(r.inPeak, r.inBits, r.inPercent, when);
    raise(r.outPeak, r.outBits, r.outPercent, when);
}

const PortActivity::Row &PortActivity::row(int row) const
{
    static const Row none;
    if (row < 1 || row > Rows)
        return none;
    return m_rows[std::size_t(row - 1)];
}

QString PortActivity::tooltip(const InterfaceTable &table, int rowNumber, const QString &counters,
                              const QString &error) const
{
    const QString address = table.cell(Col::IP, rowNumber);
    if (address.isEmpty())
        return QStringLiteral("No interface loaded for this graph.");
    const Row &r = row(rowNumber);
    QStringList lines;
    const QString description = table.cell(Col::Description, rowNumber);
    if (!description.isEmpty())
        lines << description;
    lines << QStringLiteral("%1, ifIndex %2").arg(address, table.cell(Col::Interface, rowNumber));
    std::uint64_t bandwidth = 0;
    if (NumberFormat::tryParseUnsigned(table.cell(Col::Bandwidth, rowNumber), &bandwidth))
        lines << QStringLiteral("Bandwidth: ") + RateFormat::speed(bandwidth);
    else
        lines << QStringLiteral("Bandwidth: \"%1\" is no number of bit/s")
                     .arg(table.cell(Col::Bandwidth, rowNumber));
    const auto percent = [](double value) -> QString {
        return QString::number(NumberFormat::roundHalfEven(value)) + QStringLiteral(" %");
    };
    const auto peak = [&](const char16_t *direction, const std::optional<Peak> &p) -> QString {
        if (!p)
            return QString();
        return QStringLiteral("Peak %1: %2 (%3) at %4")
            .arg(QString::fromUtf16(direction), RateFormat::bitRate(p->bitsPerSecond),
                 percent(p->percent), TimeStamp::format(p->when));
    };
    if (r.polled) {
        lines << QStringLiteral("Last poll: IN %1 (%2), OUT %3 (%4)")
                     .arg(RateFormat::bitRate(r.inBits), percent(r.inPercent),
                          RateFormat::bitRate(r.outBits), percent(r.outPercent));
        lines << peak(u"IN", r.inPeak) << peak(u"OUT", r.outPeak);
    } else {
        lines << QStringLiteral("Not read since Start polling.");
    }
    if (!counters.isEmpty())
        lines << QStringLiteral("Counters: ") + counters;
    if (r.lastReading.isValid())
        lines << QStringLiteral("Last reading: ") + TimeStamp::format(r.lastReading);
    if (!error.isEmpty())
        lines << error;
    return lines.join(QLatin1Char('\n'));
}
