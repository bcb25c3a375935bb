#include "Calculation.h"

#include "ErrorReport.h"
#include "InterfaceList.h"
#include "InterfaceTable.h"
#include "NumberFormat.h"

#include <limits>

namespace Calculation {
namespace {

using NumberFormat::formatGeneral;
using NumberFormat::parseFloat;
using NumberFormat::parseWhole;

struct Fault {
    QString text;
    QString message;
};

std::int64_t wholeCell(const InterfaceTable &table, int column, int row, const char *what)
{
    const QString &text = table.cell(column, row);
    std::int64_t value = 0;
    if (!NumberFormat::tryParseWhole(text, &value))
        throw Fault{text, QStringLiteral("Row %1: %2 '%3' is not a whole number")
                              .arg(row)
                              .arg(QLatin1String(what), text)};
    return value;
}

void setWhole(InterfaceTable &table, int column, int row, std::int64_t value)
{
    table.setCell(column, row, QString::number(value));
}

void setFraction(InterfaceTable &table, int column, int row, long double value)
{
    table.setCell(column, row, formatGeneral(value));
}

void calculateRow(InterfaceTable &table, int row, int interval)
{
    // Check everything this row reads before writing any of it, so a faulty row keeps
    // all its cells.
    const std::int64_t orgIn = wholeCell(table, Col::OrgIn, row, "input reading");
    const std::int64_t orgOut = wholeCell(table, Col::OrgOut, row, "output reading");
    const std::int64_t bandwidth = wholeCell(table, Col::Bandwidth, row, "bandwidth");
    if (bandwidth <= 0)
        throw Fault{table.cell(Col::Bandwidth, row),
                    QStringLiteral("Row %1: bandwidth '%2' is not a positive whole number")
                        .arg(row)
                        .arg(table.cell(Col::Bandwidth, row))};
    constexpr std::int64_t counterMax = NumberFormat::CounterModulus;
    for (const std::int64_t reading : {orgIn, orgOut}) {
        if (reading < -counterMax / 2 || reading >= counterMax)
            throw Fault{QString::number(reading),
                        QStringLiteral("Row %1: reading '%2' is no 32-bit counter value")
                            .arg(row)
                            .arg(reading)};
    }

    // Normalise the readings: a negative one is a 32-bit counter read with sign.
    if (orgIn >= 0)
        table.setCell(Col::InBitNew, row, table.cell(Col::OrgIn, row));
    else
        setWhole(table, Col::InBitNew, row, NumberFormat::normaliseCounter(orgIn));
    if (orgOut >= 0)
        table.setCell(Col::OutBitNew, row, table.cell(Col::OrgOut, row));
    else
        setWhole(table, Col::OutBitNew, row, NumberFormat::normaliseCounter(orgOut));

    // One guard on the input side decides for both directions.
    if (wholeCell(table, Col::InBitOld, row, "previous input reading") > 0) {
        setWhole(table, Col::InDelta, row,
                 NumberFormat::wrapCorrectedDelta(
                     wholeCell(table, Col::InBitNew, row, "input reading"),
                     wholeCell(table, Col::InBitOld, row, "previous input reading")));
        setWhole(table, Col::OutDelta, row,
                 NumberFormat::wrapCorrectedDelta(
                     wholeCell(table, Col::OutBitNew, row, "output reading"),
                     wholeCell(table, Col::OutBitOld, row, "previous output reading")));
    }

    const long double seconds = interval;
    setFraction(table, Col::InDeltaPers, row,
                static_cast<long double>(wholeCell(table, Col::InDelta, row, "input delta")) /
                    seconds);
    setFraction(table, Col::OutDeltaPers, row,
                static_cast<long double>(wholeCell(table, Col::OutDelta, row, "output delta")) /
                    seconds);
    const long double bits = static_cast<long double>(bandwidth);
    setFraction(table, Col::InUtil, row,
                parseFloat(table.cell(Col::InDeltaPers, row)) * BitsPercent / bits);
    setFraction(table, Col::OutUtil, row,
                parseFloat(table.cell(Col::OutDeltaPers, row)) * BitsPercent / bits);
    setFraction(table, Col::CombinedPers, row,
                parseFloat(table.cell(Col::InDeltaPers, row)) +
                    parseFloat(table.cell(Col::OutDeltaPers, row)));
    setFraction(table, Col::CombinedUtil, row,
                parseFloat(table.cell(Col::CombinedPers, row)) * BitsPercent / bits);
}

QString roundedCell(const QString &cell)
{
    return QString::number(shownValue(cell));
}

} // namespace

int shownValue(const QString &cell)
{
    long double value = 0;
    if (!NumberFormat::tryParseFloat(cell, &value))
        return 0;
    const std::int64_t rounded = NumberFormat::roundHalfEven(value);
    return int(std::clamp<std::int64_t>(rounded, std::numeric_limits<int>::min(),
                                        std::numeric_limits<int>::max()));
}

QList<RowFault> calculate(InterfaceTable &table, const InterfaceList &list, int pollInterval)
{
    QList<RowFault> faults;
    const int interval = pollInterval > 0 ? pollInterval : 1;

    for (int row = 1; row <= InterfaceTable::InterfaceRows; ++row) {
        table.setCell(Col::InBitOld, row, table.cell(Col::InBitNew, row));
        table.setCell(Col::OutBitOld, row, table.cell(Col::OutBitNew, row));
    }

    for (int p = 0; p < list.count(); ++p) {
        if (!list.isChecked(p))
            continue;
        const int row = p + 1;
        try {
            calculateRow(table, row, interval);
        } catch (const Fault &fault) {
            faults.append({row, fault.text, fault.message});
        } catch (const OstralineError &error) {
            faults.append({row, QString(), QStringLiteral("Row %1: %2").arg(row).arg(error.message())});
        }
    }
    return faults;
}

QString lastValuesCaption(const InterfaceTable &table, int row)
{
    return QStringLiteral("Last values IN: ") + roundedCell(table.cell(Col::InUtil, row)) +
           QStringLiteral("; OUT: ") + roundedCell(table.cell(Col::OutUtil, row)) +
           QStringLiteral("; COMB: ") + roundedCell(table.cell(Col::CombinedUtil, row));
}

} // namespace Calculation
