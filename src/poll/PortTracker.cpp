#include "PortTracker.h"

#include "NumberFormat.h"
#include "PollRun.h"

namespace
{

// A Counter32's increase with one wrap past 2^32 corrected.
std::uint64_t delta32(std::uint64_t now, std::uint64_t before)
{
    return std::uint64_t(NumberFormat::wrapCorrectedDelta(std::int64_t(now & 0xffffffffu),
                                                          std::int64_t(before & 0xffffffffu)));
}

std::optional<std::uint64_t> countDelta(const std::optional<std::uint64_t> &now,
                                        const std::optional<std::uint64_t> &before)
{
    if (!now || !before)
        return std::nullopt;
    return delta32(*now, *before);
}

} // namespace

std::uint64_t PortResult::problems() const
{
    return rates.inErrorsDelta.value_or(0) + rates.outErrorsDelta.value_or(0) +
           rates.inDiscardsDelta.value_or(0) + rates.outDiscardsDelta.value_or(0);
}

PortRates PortTracker::take(const PortCounters &counters, const Context &context)
{
    PortRates rates;
    if (!counters.inOctets || !counters.outOctets) {
        rates.outcome = PortRates::Outcome::Failed;
        rates.reason = QStringLiteral("no octet counters in the agent's answer");
        return rates;
    }
    const bool hadReading = m_readAt && m_in && m_out && m_width == counters.width;
    const double seconds = hadReading ? double(context.readAtMs - *m_readAt) / 1000.0 : 0;

    QString first;
    if (!hadReading) {
        first = m_width != 0 && m_width != counters.width
                    ? QStringLiteral("first reading (the counters changed width)")
                    : QStringLiteral("first reading");
    } else if (!context.restart.isEmpty()) {
        first = context.restart;
    } else if (context.intervalSeconds > 0 &&
               seconds > PollRun::GapFactor * context.intervalSeconds) {
        first = QStringLiteral("a gap of %1 s since the last reading").arg(seconds, 0, 'f', 1);
    } else if (seconds <= 0) {
        first = QStringLiteral("first reading (no time between two readings)");
    } else if (counters.width == 64 &&
               (*counters.inOctets < *m_in || *counters.outOctets < *m_out)) {
        first = QStringLiteral("64-bit counters went backwards (agent restart or counters "
                               "cleared)");
    }

    std::uint64_t in = 0, out = 0;
    if (first.isEmpty()) {
        in = counters.width == 64 ? *counters.inOctets - *m_in : delta32(*counters.inOctets, *m_in);
        out = counters.width == 64 ? *counters.outOctets - *m_out
                                   : delta32(*counters.outOctets, *m_out);
        const double inBits = double(in) * 8 / seconds;
        const double outBits = double(out) * 8 / seconds;
        const double limit = PollRun::JumpFactor * double(context.speed);
        if (context.speed > 0 && (inBits > limit || outBits > limit)) {
            first = QStringLiteral("rate above twice the port speed (a counter jump or "
                                   "restart)");
        } else {
            rates.outcome = PortRates::Outcome::Good;
            rates.inBitsPerSecond = inBits;
            rates.outBitsPerSecond = outBits;
            if (context.speed > 0) {
                rates.inUtilisation = inBits * 100 / double(context.speed);
                rates.outUtilisation = outBits * 100 / double(context.speed);
            }
            rates.inErrorsDelta = countDelta(counters.inErrors, m_inErrors);
            rates.outErrorsDelta = countDelta(counters.outErrors, m_outErrors);
            rates.inDiscardsDelta = countDelta(counters.inDiscards, m_inDiscards);
            rates.outDiscardsDelta = countDelta(counters.outDiscards, m_outDiscards);
        }
    }
    if (!first.isEmpty()) {
        rates.outcome = PortRates::Outcome::First;
        rates.reason = first;
    }
    // Every reading, a first one too, is the base of the next.
    m_readAt = context.readAtMs;
    m_width = counters.width;
    m_in = counters.inOctets;
    m_out = counters.outOctets;
    m_inErrors = counters.inErrors;
    m_outErrors = counters.outErrors;
    m_inDiscards = counters.inDiscards;
    m_outDiscards = counters.outDiscards;
    return rates;
}
