#include "Calculation.h"

#include "CounterChoice.h"
#include "ErrorReport.h"
#include "InterfaceList.h"
#include "InterfaceTable.h"
#include "NumberFormat.h"
#include "RateFormat.h"

#include <limits>

namespace Calculation
{
namespace
{

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

std::uint64_t counterCell(const InterfaceTable &table, int column, int row, const char *what)
{
    const QString &text = table.cell(column, row);
    std::uint64_t value = 0;
    if (!NumberFormat::tryParseUnsigned(text, &value))
        throw Fault{text, QStringLiteral("Row %1: %2 '%3' is no 64-bit counter value")
                              .arg(row)
                              .arg(QLatin1String(what), text)};
    return value;
}

// Rates and utilisations from the row's delta cells, as for every row.
void ratesAndUtilisation(InterfaceTable &table, int row, int interval, std::int64_t bandwidth,
                         long double inDelta, long double outDelta)
{
    const long double seconds = interval;
    setFraction(table, Col::InDeltaPers, row, inDelta / seconds);
    setFraction(table, Col::OutDeltaPers, row, outDelta / seconds);
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

std::int64_t positiveBandwidth(const InterfaceTable &table, int row)
{
    const std::int64_t bandwidth = wholeCell(table, Col::Bandwidth, row, "bandwidth");
    if (bandwidth <= 0)
        throw Fault{table.cell(Col::Bandwidth, row),
                    QStringLiteral("Row %1: bandwidth '%2' is not a positive whole number")
                        .arg(row)
                        .arg(table.cell(Col::Bandwidth, row))};
    return bandwidth;
}

// A row read with 64-bit counters: readings are unsigned decimal text up to 20 digits, the
// delta is taken in exact unsigned 64-bit arithmetic, and a counter below its previous value
// has restarted (it cannot have wrapped): no delta that poll. Returns true for a restart.
bool calculate64Row(InterfaceTable &table, int row, int interval)
{
    const std::uint64_t in = counterCell(table, Col::OrgIn, row, "input reading");
    const std::uint64_t out = counterCell(table, Col::OrgOut, row, "output reading");
    const std::int64_t bandwidth = positiveBandwidth(table, row);
    std::uint64_t inOld = 0;
    std::uint64_t outOld = 0;
    if (!NumberFormat::tryParseUnsigned(table.cell(Col::InBitOld, row), &inOld))
        inOld = 0; // no previous reading
    if (!NumberFormat::tryParseUnsigned(table.cell(Col::OutBitOld, row), &outOld))
        outOld = 0;
    // Readings that are not current (a failed direction) keep their text; check the delta
    // cells before anything is written.
    counterCell(table, Col::InDelta, row, "input delta");
    counterCell(table, Col::OutDelta, row, "output delta");

    table.setCell(Col::InBitNew, row, QString::number(in));
    table.setCell(Col::OutBitNew, row, QString::number(out));

    // Each direction on its own, as for 32-bit rows: without a previous reading, delta 0 (the
    // whole 64-bit counter would be years of traffic in one poll).
    const bool restarted = (inOld > 0 && in < inOld) || (outOld > 0 && out < outOld);
    table.setCell(Col::InDelta, row,
                  QString::number(!restarted && inOld > 0 ? in - inOld : std::uint64_t(0)));
    table.setCell(Col::OutDelta, row,
                  QString::number(!restarted && outOld > 0 ? out - outOld : std::uint64_t(0)));
    ratesAndUtilisation(
        table, row, interval, bandwidth,
        static_cast<long double>(counterCell(table, Col::InDelta, row, "input delta")),
        static_cast<long double>(counterCell(table, Col::OutDelta, row, "output delta")));
    return restarted;
}

void calculateRow(InterfaceTable &table, int row, int interval)
{
    // Check everything this row reads before writing any of it, so a faulty row keeps
    // all its cells.
    const std::int64_t orgIn = wholeCell(table, Col::OrgIn, row, "input reading");
    const std::int64_t orgOut = wholeCell(table, Col::OrgOut, row, "output reading");
    const std::int64_t bandwidth = positiveBandwidth(table, row);
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

    // Each direction on its own: with a previous reading its wrap-corrected delta, without one
    // (start, reset, a failed reading) a first reading with delta 0. So a link that only sends
    // shows its output, and a failed direction never repeats an earlier delta or counts its
    // whole counter at once.
    const auto direction = [&](int newColumn, int oldColumn, int deltaColumn, const char *what,
                               const char *previousWhat) {
        const std::int64_t old = wholeCell(table, oldColumn, row, previousWhat);
        setWhole(table, deltaColumn, row,
                 old > 0
                     ? NumberFormat::wrapCorrectedDelta(wholeCell(table, newColumn, row, what), old)
                     : 0);
    };
    direction(Col::InBitNew, Col::InBitOld, Col::InDelta, "input reading",
              "previous input reading");
    direction(Col::OutBitNew, Col::OutBitOld, Col::OutDelta, "output reading",
              "previous output reading");

    ratesAndUtilisation(
        table, row, interval, bandwidth,
        static_cast<long double>(wholeCell(table, Col::InDelta, row, "input delta")),
        static_cast<long double>(wholeCell(table, Col::OutDelta, row, "output delta")));
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

QList<RowFault> calculate(InterfaceTable &table, const InterfaceList &list, int pollInterval,
                          const CounterChoice *counters, QList<int> *restarted)
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
            if (counters && counters->width(row) == CounterChoice::Width::Bits64) {
                if (calculate64Row(table, row, interval) && restarted)
                    restarted->append(row);
            } else {
                calculateRow(table, row, interval);
            }
        } catch (const Fault &fault) {
            faults.append({row, fault.text, fault.message});
        } catch (const OstralineError &error) {
            faults.append(
                {row, QString(), QStringLiteral("Row %1: %2").arg(row).arg(error.message())});
        }
    }
    return faults;
}

QString restartMessage(const QList<int> &rows)
{
    if (rows.isEmpty())
        return QString();
    QStringList numbers;
    for (int row : rows)
        numbers << QString::number(row);
    return QStringLiteral("64-bit counters restarted (agent restart or counters cleared) in "
                          "row %1: counted as a first reading")
        .arg(numbers.join(QStringLiteral(", ")));
}

QString lastValuesCaption(const InterfaceTable &table, int row)
{
    return QStringLiteral("Last values IN: ") + roundedCell(table.cell(Col::InUtil, row)) +
           QStringLiteral("; OUT: ") + roundedCell(table.cell(Col::OutUtil, row)) +
           QStringLiteral("; COMB: ") + roundedCell(table.cell(Col::CombinedUtil, row));
}

QString ratesCaption(const InterfaceTable &table, int row)
{
    const auto number = [&](int column) {
        long double value = 0;
        return NumberFormat::tryParseFloat(table.cell(column, row), &value) ? value : 0.0L;
    };
    return RateFormat::ratesCaption(number(Col::InDeltaPers), number(Col::InUtil),
                                    number(Col::OutDeltaPers), number(Col::OutUtil));
}

} // namespace Calculation
