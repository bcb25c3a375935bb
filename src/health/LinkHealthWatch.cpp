#include "LinkHealthWatch.h"

#include "IfStatus.h"
#include "PollResult.h"

#include <QStringList>

namespace
{

QString clock(const QDateTime &time)
{
    return time.toString(QStringLiteral("HH:mm:ss"));
}

QString statusName(std::optional<int> status)
{
    if (!status)
        return QStringLiteral("not known");
    switch (*status) {
    case 1:
        return QStringLiteral("up");
    case 2:
        return QStringLiteral("down");
    case 3:
        return QStringLiteral("testing");
    case 4:
        return QStringLiteral("unknown");
    case 5:
        return QStringLiteral("dormant");
    case 6:
        return QStringLiteral("not present");
    case 7:
        return QStringLiteral("lower layer down");
    default:
        return QString::number(*status);
    }
}

QString stateWord(LinkHealthWatch::State state)
{
    switch (state) {
    case LinkHealthWatch::State::Up:
        return QStringLiteral("up");
    case LinkHealthWatch::State::Down:
        return QStringLiteral("down");
    case LinkHealthWatch::State::Disabled:
        return QStringLiteral("disabled");
    case LinkHealthWatch::State::Other:
        return QStringLiteral("not up");
    case LinkHealthWatch::State::Unknown:
        break;
    }
    return QStringLiteral("not known");
}

QString countText(const std::optional<std::uint64_t> &value)
{
    return value ? QString::number(*value) : QStringLiteral("not known");
}

// The sum of a direction pair: known when either is.
std::optional<std::uint64_t> sum(const std::optional<std::uint64_t> &a,
                                 const std::optional<std::uint64_t> &b)
{
    if (!a && !b)
        return std::nullopt;
    return a.value_or(0) + b.value_or(0);
}

QString name(const InterfaceReading &r)
{
    const QString what = r.description.trimmed().isEmpty()
                             ? r.address + QStringLiteral(" interface ") + r.ifIndex
                             : r.description.trimmed();
    return QStringLiteral("row %1 (%2)").arg(r.row).arg(what);
}

} // namespace

LinkHealthWatch::State LinkHealthWatch::stateOf(const InterfaceReading &reading)
{
    if (reading.adminStatus == IfStatus::Down)
        return State::Disabled;
    if (!reading.operStatus)
        return State::Unknown;
    if (*reading.operStatus == IfStatus::Up)
        return State::Up;
    return IfStatus::operDown(*reading.operStatus) ? State::Down : State::Other;
}

QString LinkHealthWatch::take(const PollResult &result)
{
    QStringList changes;
    for (const InterfaceReading &r : result.interfaces) {
        Row &row = m_rows[r.row];
        const bool reading = r.polled && r.outcome != InterfaceReading::Outcome::Failed;
        row.reading = reading;
        if (!reading) {
            for (auto &last : row.last)
                last.reset();
            continue;
        }
        row.admin = r.adminStatus;
        row.oper = r.operStatus;
        const std::optional<std::uint64_t> counts[4] = {r.inErrorsDelta, r.outErrorsDelta,
                                                        r.inDiscardsDelta, r.outDiscardsDelta};
        for (int i = 0; i < 4; ++i) {
            row.last[i] = counts[i];
            if (counts[i]) {
                row.total[i] += *counts[i];
                row.anyKnown[i] = true;
            }
        }
        const State state = stateOf(r);
        if (state == State::Unknown || state == row.state)
            continue;
        if (row.state != State::Unknown || state != State::Up)
            changes << name(r) + QLatin1Char(' ') + stateWord(state);
        row.sinceKnown = row.state != State::Unknown;
        row.state = state;
        row.since = result.time;
    }
    return changes.isEmpty() ? QString() : QStringLiteral("Link state: ") + changes.join(u", ");
}

LinkHealthView LinkHealthWatch::view(int rowNumber) const
{
    LinkHealthView view;
    const auto it = m_rows.constFind(rowNumber);
    if (it == m_rows.cend())
        return view;
    const Row &row = *it;

    QStringList tip;
    if (!row.reading)
        tip << QStringLiteral("No reading at the last poll.");
    if (row.state == State::Unknown) {
        tip << QStringLiteral("Link state not known");
    } else {
        const QString since = row.sinceKnown
                                  ? QStringLiteral("since ") + clock(row.since)
                                  : QStringLiteral("at start of polling, ") + clock(row.since);
        tip << QStringLiteral("Link %1 %2 (admin %3, oper %4)")
                   .arg(stateWord(row.state), since, statusName(row.admin), statusName(row.oper));
    }
    tip << QStringLiteral("Last poll: in errors %1, out errors %2, in discards %3, out discards %4")
               .arg(countText(row.last[0]), countText(row.last[1]), countText(row.last[2]),
                    countText(row.last[3]));
    const auto total = [&](int i) {
        return row.anyKnown[i] ? std::optional<std::uint64_t>(row.total[i]) : std::nullopt;
    };
    tip << QStringLiteral("Since Start polling: in errors %1, out errors %2, in discards %3, "
                          "out discards %4")
               .arg(countText(total(0)), countText(total(1)), countText(total(2)),
                    countText(total(3)));
    view.toolTip = tip.join(QLatin1Char('\n'));

    // A graph without a reading shows its failure, not a link state of an earlier poll.
    if (!row.reading)
        return view;
    if (row.state == State::Down) {
        view.look = LinkLook::Down;
        view.caption = row.sinceKnown ? QStringLiteral("Link down since ") + clock(row.since)
                                      : QStringLiteral("Link down (at start of polling)");
        return view;
    }
    if (row.state == State::Disabled) {
        view.look = LinkLook::Disabled;
        view.caption = QStringLiteral("Disabled");
        return view;
    }
    const auto errors = sum(row.last[0], row.last[1]);
    const auto discards = sum(row.last[2], row.last[3]);
    if (errors.value_or(0) > 0 || discards.value_or(0) > 0) {
        view.caption = QStringLiteral("Errors %1 \u00B7 Discards %2 (last poll)")
                           .arg(countText(errors), countText(discards));
    }
    return view;
}
