#pragma once

#include <QList>
#include <QString>

#include <cstdint>
#include <limits>

class CounterChoice;
class InterfaceTable;
class InterfaceList;

// The "Calculate" step of a poll: two successive counter readings become deltas (with the
// 32-bit wrap corrected), octets per second over the nominal poll interval, and input,
// output and combined utilisation in percent of the bandwidth. Every result is written
// back as text, and later formulas read that text again.
namespace Calculation
{

// 8 bits per octet times 100 for percent.
inline constexpr int BitsPercent = 800;

// The largest bandwidth (bit/s) a row can hold: the bandwidth cell is read as a signed
// 64-bit whole number.
inline constexpr std::int64_t MaxBandwidth = std::numeric_limits<std::int64_t>::max();

// A row whose bandwidth or readings cannot be used; its cells keep their values.
struct RowFault {
    int row = 0;
    QString text;    // the offending cell text
    QString message; // what the operator sees, naming the row and the text
};

// Runs the step for every checked row, after ageing the readings of all 20 rows. Rows that
// fail are skipped and listed; the other rows are still computed.
//
// Rows that counters says hold 64-bit readings are computed with exact unsigned 64-bit
// deltas and no wrap correction: a counter that went backwards has restarted, so that poll
// is a first reading (deltas "0") and the row is listed in restarted. Without counters every
// row is a 32-bit row.
QList<RowFault> calculate(InterfaceTable &table, const InterfaceList &list, int pollInterval,
                          const CounterChoice *counters = nullptr, QList<int> *restarted = nullptr);

// The status-bar text for rows whose 64-bit counters restarted ("" for none).
QString restartMessage(const QList<int> &rows);

// "Last values IN: a; OUT: b; COMB: c" from row k's utilisation cells, rounded half-to-even.
QString lastValuesCaption(const InterfaceTable &table, int row);

// The caption in bit/s, "IN 812 Mbit/s (81 %) · OUT 12.4 Mbit/s (1 %)", from row k's
// octets-per-second and utilisation cells (see RateFormat::ratesCaption). Text that is no
// number counts as 0.
QString ratesCaption(const InterfaceTable &table, int row);

// A utilisation cell as the whole number shown on a graph or caption (halves to even).
// Text that is no number counts as 0.
int shownValue(const QString &cell);

} // namespace Calculation
