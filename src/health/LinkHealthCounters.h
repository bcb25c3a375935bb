#pragma once

#include <QHash>
#include <QStringList>

#include <cstdint>
#include <optional>

struct InterfaceReading;
struct PollResult;

// The link-health values one poll read for one interface; unset = not known (the agent did
// not answer that object, or it was not asked).
struct LinkHealthSample {
    std::optional<int> adminStatus; // ifAdminStatus: 1 up, 2 down, 3 testing
    std::optional<int> operStatus;  // ifOperStatus: 1 up, 2 down, ... 7 lowerLayerDown
    // The 32-bit counters ifInErrors, ifOutErrors, ifInDiscards, ifOutDiscards.
    std::optional<std::uint32_t> inErrors, outErrors, inDiscards, outDiscards;

    // The sample of the six reading texts of IfMib::linkHealth, in its order: ifAdminStatus,
    // ifOperStatus, ifInDiscards, ifInErrors, ifOutDiscards, ifOutErrors ("" = no value). A status
    // is taken when it is a whole number from 1 to 2^31-1, a counter when it is a whole number from
    // 0 to 2^32-1; anything else (another type, a value out of range, a missing text) is not known,
    // for that value only.
    static LinkHealthSample fromTexts(const QStringList &texts);
};

// Turns successive error and discard counters of each table row into counts per poll
// interval. A lower reading than the last one is one wrap of the 32-bit counter only when the
// way forward through 2^32 is short (under 2^31); otherwise the counter was cleared or set
// back, and that poll gives no count, as a first reading does. (The octet counters keep
// their own wrap rule. Errors and discards are packets, so the line's bound below cannot tell
// a cleared counter from a wrap at 10 Gbit/s: 2^32 packets fit in a 6 s poll there.) A poll
// that is a first reading for the row (its first poll, a gap, an agent restart, a counter
// jump) gives no count; a count larger than the line could carry in the interval (more than
// one packet per octet at the row's bandwidth) is a discontinuity, not traffic, and gives no
// count. A counter not known at a poll is forgotten, so its next reading is a first reading
// too. Only the counters of the last poll are kept per row.
class LinkHealthCounters
{
public:
    // Forgets every row (Start polling, a device file load).
    void reset() { m_last.clear(); }
    // Forgets one row (its address or index was rewritten).
    void forgetRow(int row) { m_last.remove(row); }

    // Stores the sample into reading (status, raw counters) and sets the four counts of this
    // interval where they are known. reading.row and reading.bandwidth (bit/s, 0 = unknown:
    // no plausibility bound) must be set; intervalSeconds is the time base of the counts.
    void apply(InterfaceReading &reading, const LinkHealthSample &sample, bool firstReading,
               double intervalSeconds);

    // Fills the link-health fields of every interface of a finished poll from the six
    // reading texts of its row (in IfMib::linkHealth order; a row without texts, one
    // not polled and one whose reading failed have nothing known). A reading whose outcome is
    // neither Good nor NotMeasurable is a first reading for the counts. The time base is the
    // result's nominal interval.
    void fill(PollResult &result, const QHash<int, QStringList> &textsByRow);

    // The count between two readings of a 32-bit counter (a short wrap corrected), or unset
    // for a step back that is no short wrap and for a count above maxCount (0: no bound).
    // The one rule for every counter that is not an octet counter.
    static std::optional<std::uint64_t> count(std::uint32_t previous, std::uint32_t current,
                                              std::uint64_t maxCount);
    // The longest way forward through 2^32 that a step back is taken for a wrap (exclusive).
    static constexpr std::uint64_t MaxWrapCount = std::uint64_t(1) << 31;

private:
    struct Last {
        std::optional<std::uint32_t> values[4];
    };
    QHash<int, Last> m_last;
};
