#include "CounterChoice.h"

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

bool CounterChoice::choosesWidth(int row) const
{
    return m_enabled || isV3(row);
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
