#pragma once

#include "MaxInterfaces.h"

#include <QDateTime>
#include <QString>

#include <array>
#include <optional>

class InterfaceTable;

// What each table row's port did since Start polling, for the graph tooltips: the rates and
// utilisations of the last poll, the peak of each direction with its time, and the time of
// the last good reading. Rates are bit/s, utilisations percent of the bandwidth.
class PortActivity
{
public:
    static constexpr int Rows = MaxInterfaces;

    struct Peak {
        double bitsPerSecond = 0;
        double percent = 0;
        QDateTime when;
    };
    struct Row {
        bool polled = false; // a good reading was computed since the reset
        double inBits = 0, outBits = 0;
        double inPercent = 0, outPercent = 0;
        std::optional<Peak> inPeak, outPeak;
        QDateTime lastReading;
    };

    // Forgets everything (Start polling).
    void reset();
    // Takes row's last-poll cells (octets per second and utilisation) after a Calculate that
    // read the row without error at `when`. A peak moves only on a strictly higher rate, so
    // it keeps the time of its first occurrence. Rows outside 1 to 20 are ignored; a cell that
    // is no number counts as 0.
    void record(const InterfaceTable &table, int row, const QDateTime &when);
    // Row 1 to 20 (an empty row for any other).
    const Row &row(int row) const;

    // The tooltip of row's graph: description, address and ifIndex, bandwidth, the last
    // poll's rates and percentages, the peaks with their times, the counters in use and the
    // time of the last reading. counters: how the row is read ("" when unknown); error: the
    // row's error caption ("" when none). A row without an address says that nothing is
    // loaded.
    QString tooltip(const InterfaceTable &table, int row, const QString &counters,
                    const QString &error) const;

private:
    std::array<Row, Rows> m_rows{};
};
