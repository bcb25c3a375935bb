#pragma once

#include "MaxInterfaces.h"

#include <QString>

#include <array>
#include <cstdint>

// Which octet counters each table row is read with: the 32-bit ones of SNMP v1, or the agent's
// 64-bit ones (IF-MIB ifHCInOctets and ifHCOutOctets, SNMP v2c) where it has them.
//
// With 64-bit counters switched on, a row is undecided after Start polling, a device-file
// load, a rewrite of the row or a change of the setting; its next poll asks both ways at once,
// and the outcome holds until the next such event. Switched off, every row is 32-bit.
//
// A row whose bandwidth can wrap its 32-bit counter within one poll interval (see
// wrapsWithin) chooses its width in the same way whatever the setting says: no correction can
// tell how often a counter wrapped between two readings, so only 64-bit counters measure it.
// Where the agent has none, the row is read with its 32-bit counters all the same but is not
// measurable (notMeasurable), and nothing computed from it may be shown as a rate.
class CounterChoice
{
public:
    enum class Width { Bits32, Bits64 };
    static constexpr int Rows = MaxInterfaces;

    bool enabled() const { return m_enabled; }
    // A change of the setting makes every row undecided.
    void setEnabled(bool on);

    // Whether the row's agent is polled with SNMP v3; a change makes the row undecided.
    void setV3(int row, bool on);
    bool isV3(int row) const;

    // Whether the row's bandwidth wraps a 32-bit counter within the poll interval; a change
    // makes the row undecided.
    void setWraps32(int row, bool on);
    bool wraps32(int row) const;

    // A row that wraps its 32-bit counter within an interval and was found to have no 64-bit
    // counters: its readings give no rate.
    bool notMeasurable(int row) const;

    // Whether a 32-bit octet counter can wrap within one interval at the bandwidth (bit/s):
    // bandwidth / 8 x interval >= 2^32 octets. 0 (unknown) never wraps.
    static bool wrapsWithin(std::uint64_t bandwidth, int intervalSeconds);
    // The seconds a 32-bit octet counter takes to wrap at the bandwidth (0 for bandwidth 0).
    static double wrapSeconds(std::uint64_t bandwidth);
    // "10 Gbit/s wraps a 32-bit counter every 3.4 s, faster than the 6 s poll; use 64-bit
    // counters or a shorter interval".
    static QString wrapText(std::uint64_t bandwidth, int intervalSeconds);
    // The caption of a row that is not measurable: "Not measurable: 32-bit wraps in
    // 3.4 s".
    static QString wrapCaption(std::uint64_t bandwidth);
    // "3.4" (two significant digits below 10 s, whole seconds above).
    static QString wrapSecondsText(std::uint64_t bandwidth);

    void resetAll();
    void reset(int row);

    // What the next poll asks of a row.
    bool asks32(int row) const;
    bool asks64(int row) const;
    bool decided(int row) const;

    // The counters the row's table cells hold (32-bit until a poll chose 64-bit).
    Width width(int row) const;

    // Records the outcome of a poll that asked both ways. Returns true when the row's cells
    // change width, so their previous reading must not be compared with the new one.
    bool decide(int row, bool has64);

    // For the operator: "64-bit counters (SNMP v2c)", "32-bit counters (SNMP v1)" (on v3:
    // "64-bit counters (SNMP v3)", "32-bit counters (SNMP v3)"), or, while
    // the next poll is still to choose, "64-bit counters where the agent has them: chosen at
    // the next poll".
    QString description(int row) const;

private:
    struct RowState {
        Width width = Width::Bits32;
        bool decided = false;
        bool v3 = false;
        bool wraps32 = false;
    };
    bool choosesWidth(int row) const;
    const RowState *state(int row) const;
    RowState *state(int row);

    bool m_enabled = false;
    std::array<RowState, Rows> m_rows{};
};
