#pragma once

#include "PortReading.h"

#include <QtGlobal>

#include <optional>

// The readings of one port kept between polls, and the board's first-reading rules applied to
// each new one: no previous reading, an agent restart (sysUpTime back), a gap of more than
// PollRun::GapFactor poll intervals, a 64-bit counter that went backwards and a rate above
// PollRun::JumpFactor times the port's speed all make the poll a first reading, whose
// counters are the base of the next one. 32-bit counters wrap once per interval at most.
class PortTracker
{
public:
    struct Context {
        qint64 readAtMs = 0;     // ReadingClock time of the poll's request
        int intervalSeconds = 0; // the nominal poll interval (for the gap rule)
        std::uint64_t speed = 0; // bit/s, 0 unknown
        QString restart;         // the agent restarted: the reason text, else empty
    };

    PortRates take(const PortCounters &counters, const Context &context);
    // The next reading is a first one (a failed poll keeps the previous readings: the gap
    // rule decides).
    void forget() { *this = PortTracker(); }

private:
    std::optional<qint64> m_readAt;
    int m_width = 0;
    std::optional<std::uint64_t> m_in, m_out;
    std::optional<std::uint64_t> m_inErrors, m_outErrors, m_inDiscards, m_outDiscards;
};
