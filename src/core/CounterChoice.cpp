#include "CounterChoice.h"

#include "RateFormat.h"

#include <QLocale>

namespace
{
// 2^32 octets in bits: a 32-bit octet counter wraps after this many bits.
constexpr std::uint64_t WrapBits = std::uint64_t(1) << 35;
} // namespace

const CounterChoice::RowState *CounterChoice::state(int row) const
{
    return row >= 1 && row <= Rows ? &m_rows[static_cast<std::size_t>(row - 1)] : nullptr;
}

CounterChoice::RowState *CounterChoice::state(int row)
{
    return row >= 1 && row <= Rows ? &m_rows[static_cast<std::size_t>(row - 1)] : nullptr;
}

void CounterChoice::setEnabled(bool on)
{
    if (on == m_enabled)
        return;
    m_enabled = on;
    resetAll();
}

void CounterChoice::resetAll()
{
    for (RowState &row : m_rows)
        row.decided = false;
}

void CounterChoice::reset(int row)
{
    if (RowState *s = state(row))
        s->decided = false;
}

void CounterChoice::setV3(int row, bool on)
{
    RowState *s = state(row);
    if (!s || s->v3 == on)
        return;
    s->v3 = on;
    s->decided = false;
}

bool CounterChoice::isV3(int row) const
{
    const RowState *s = state(row);
    return s && s->v3;
}

void CounterChoice::setWraps32(int row, bool on)
{
    RowState *s = state(row);
    if (!s || s->wraps32 == on)
        return;
    s->wraps32 = on;
    s->decided = false;
}

bool CounterChoice::wraps32(int row) const
{
    const RowState *s = state(row);
    return s && s->wraps32;
}

bool CounterChoice::notMeasurable(int row) const
{
    return wraps32(row) && decided(row) && width(row) == Width::Bits32;
}

bool CounterChoice::wrapsWithin(std::uint64_t bandwidth, int intervalSeconds)
{
    if (bandwidth == 0 || intervalSeconds <= 0)
        return false;
    // bandwidth x interval >= 2^35 without overflow: compare with the smallest bandwidth that
    // reaches it.
    const auto interval = std::uint64_t(intervalSeconds);
    return bandwidth >= (WrapBits + interval - 1) / interval;
}

double CounterChoice::wrapSeconds(std::uint64_t bandwidth)
{
    return bandwidth == 0 ? 0.0 : double(WrapBits) / double(bandwidth);
}

QString CounterChoice::wrapSecondsText(std::uint64_t bandwidth)
{
    const double seconds = wrapSeconds(bandwidth);
    const QLocale locale;
    return seconds >= 10 ? locale.toString(seconds, 'f', 0) : locale.toString(seconds, 'g', 2);
}

QString CounterChoice::wrapText(std::uint64_t bandwidth, int intervalSeconds)
{
    return QStringLiteral("%1 wraps a 32-bit counter every %2 s, faster than the %3 s poll; use "
                          "64-bit counters or a shorter interval")
        .arg(RateFormat::speed(bandwidth), wrapSecondsText(bandwidth))
        .arg(intervalSeconds);
}

QString CounterChoice::wrapCaption(std::uint64_t bandwidth)
{
    return QStringLiteral("Not measurable: 32-bit wraps in %1 s").arg(wrapSecondsText(bandwidth));
}

bool CounterChoice::choosesWidth(int row) const
{
    return m_enabled || isV3(row) || wraps32(row);
}

bool CounterChoice::decided(int row) const
{
    const RowState *s = state(row);
    return s && s->decided;
}

bool CounterChoice::asks32(int row) const
{
    return !choosesWidth(row) || !decided(row) || width(row) == Width::Bits32;
}

bool CounterChoice::asks64(int row) const
{
    return choosesWidth(row) && (!decided(row) || width(row) == Width::Bits64);
}

CounterChoice::Width CounterChoice::width(int row) const
{
    const RowState *s = state(row);
    return s ? s->width : Width::Bits32;
}

bool CounterChoice::decide(int row, bool has64)
{
    RowState *s = state(row);
    if (!s)
        return false;
    const Width chosen = choosesWidth(row) && has64 ? Width::Bits64 : Width::Bits32;
    const bool changed = chosen != s->width;
    s->width = chosen;
    s->decided = true;
    return changed;
}

QString CounterChoice::description(int row) const
{
    if (choosesWidth(row) && !decided(row))
        return QStringLiteral("64-bit counters where the agent has them: chosen at the next poll");
    if (isV3(row))
        return width(row) == Width::Bits64 ? QStringLiteral("64-bit counters (SNMP v3)")
                                           : QStringLiteral("32-bit counters (SNMP v3)");
    return width(row) == Width::Bits64 ? QStringLiteral("64-bit counters (SNMP v2c)")
                                       : QStringLiteral("32-bit counters (SNMP v1)");
}
