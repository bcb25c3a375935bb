#include "AlertEngine.h"

#include "AlertSettings.h"
#include "IfStatus.h"
#include "NumberFormat.h"
#include "PollResult.h"

#include <QSet>

#include <algorithm>

namespace
{

constexpr int StatusUp = IfStatus::Up;

QString percent(double value)
{
    return QString::number(NumberFormat::roundHalfEven(value)) + QStringLiteral(" %");
}

QString statusText(int status)
{
    return ifStatusName(status);
}

std::size_t slot(AlertCondition condition)
{
    return static_cast<std::size_t>(condition);
}

} // namespace

void AlertEngine::setRules(const AlertRules &rules)
{
    m_rules = rules;
    m_rules.polls = std::clamp(m_rules.polls, AlertSettings::MinPolls, AlertSettings::MaxPolls);
    // A condition switched off is dropped quietly: its runs start afresh when it is back.
    for (Track &track : m_tracks) {
        const std::array<bool, Conditions> on = {m_rules.busy, m_rules.down, m_rules.silent};
        for (std::size_t c = 0; c < Conditions; ++c) {
            if (!on[c])
                track.raised[c] = track.reported[c] = false;
        }
        if (!m_rules.busy)
            track.busyRun = track.calmRun = 0;
        if (!m_rules.silent)
            track.failedRun = 0;
    }
}

void AlertEngine::pollingStarted()
{
    for (Track &track : m_tracks) {
        track.wasUp = false;
        track.busyRun = track.calmRun = track.failedRun = 0;
    }
}

QString AlertEngine::keyOf(const InterfaceReading &reading)
{
    return reading.address + QLatin1Char('#') + reading.ifIndex;
}

void AlertEngine::interfacesLoaded(const QList<InterfaceReading> &loaded)
{
    QSet<QString> keep;
    for (const InterfaceReading &reading : loaded)
        keep.insert(keyOf(reading));
    for (auto it = m_tracks.begin(); it != m_tracks.end();) {
        Track &t = it.value();
        if (keep.contains(it.key())) {
            ++it;
            continue;
        }
        // Runs of a file no longer loaded must not count when the interface comes back.
        t.busyRun = t.calmRun = t.failedRun = 0;
        t.wasUp = false;
        const bool quiet =
            !t.flapping &&
            std::none_of(t.raised.begin(), t.raised.end(), [](bool on) { return on; }) &&
            t.reported == t.raised;
        it = quiet ? m_tracks.erase(it) : std::next(it);
    }
}

QList<AlertEvent> AlertEngine::evaluate(const PollResult &result)
{
    QList<AlertEvent> events;
    QSet<QString> seen; // a device file may list one interface twice: judged once per poll
    for (const InterfaceReading &reading : result.interfaces) {
        if (!reading.polled)
            continue;
        const QString key = keyOf(reading);
        if (seen.contains(key))
            continue;
        seen.insert(key);
        Track &track = m_tracks[key];
        track.base.address = reading.address;
        track.base.ifIndex = reading.ifIndex;
        track.base.interfaceName = reading.description.trimmed().isEmpty()
                                       ? reading.address + QStringLiteral(" #") + reading.ifIndex
                                       : reading.description.trimmed();
        judge(track, reading, result.time, events);
    }
    // Stability is a matter of time: checked for every interface, polled now or not.
    for (Track &track : m_tracks)
        endFlappingIfStable(track, result.time, events);
    // Device files come and go: interfaces no longer polled and with nothing to report are
    // forgotten once there are more than a few device files' worth of them.
    if (m_tracks.size() > MaxTracks) {
        m_tracks.removeIf([&](const QHash<QString, Track>::iterator &it) {
            const Track &t = it.value();
            return !seen.contains(it.key()) && !t.flapping &&
                   std::none_of(t.raised.begin(), t.raised.end(), [](bool on) { return on; }) &&
                   t.reported == t.raised;
        });
    }
    return events;
}

void AlertEngine::judge(Track &track, const InterfaceReading &reading, const QDateTime &time,
                        QList<AlertEvent> &events)
{
    using Outcome = InterfaceReading::Outcome;
    const bool first = reading.outcome == Outcome::First;
    const bool good = reading.hasRate(); // not for a row that is not measurable

    // Down first: it is what the operator most needs to see.
    if (m_rules.down && reading.adminStatus && reading.operStatus) {
        const int admin = *reading.adminStatus;
        const int oper = *reading.operStatus;
        if (oper == StatusUp)
            track.wasUp = true;
        if (!first) {
            const bool holds = track.wasUp && admin == StatusUp && IfStatus::operDown(oper);
            const QString value =
                QStringLiteral("admin %1, oper %2").arg(statusText(admin), statusText(oper));
            setCondition(track, AlertCondition::Down, holds, value, time, events);
        }
    }

    if (m_rules.busy) {
        if (!good) {
            track.busyRun = track.calmRun = 0;
        } else {
            const double value = std::max(reading.inUtilisation, reading.outUtilisation);
            const std::size_t b = slot(AlertCondition::Busy);
            if (!track.raised[b]) {
                track.busyRun = value >= m_rules.highThreshold ? track.busyRun + 1 : 0;
                if (track.busyRun >= m_rules.polls) {
                    track.busyRun = 0;
                    setCondition(track, AlertCondition::Busy, true, percent(value), time, events);
                }
            } else {
                track.calmRun =
                    value < m_rules.highThreshold - BusyClearMargin ? track.calmRun + 1 : 0;
                if (track.calmRun >= m_rules.polls) {
                    track.calmRun = 0;
                    setCondition(track, AlertCondition::Busy, false, percent(value), time, events);
                }
            }
        }
    }

    if (m_rules.silent) {
        if (reading.outcome == Outcome::Failed) {
            ++track.failedRun;
            if (m_rules.stopOnErrors || track.failedRun >= m_rules.polls) {
                const QString why =
                    reading.reason.isEmpty() ? QStringLiteral("no reading") : reading.reason;
                const QString value =
                    track.failedRun == 1
                        ? why
                        : QStringLiteral("%1 (%2 polls)").arg(why).arg(track.failedRun);
                setCondition(track, AlertCondition::Silent, true, value, time, events);
            }
        } else {
            track.failedRun = 0;
            // A row that is not measurable answers all the same.
            if (good || reading.outcome == Outcome::NotMeasurable)
                setCondition(track, AlertCondition::Silent, false, QStringLiteral("answering"),
                             time, events);
        }
    }
}

void AlertEngine::setCondition(Track &track, AlertCondition condition, bool on,
                               const QString &value, const QDateTime &time,
                               QList<AlertEvent> &events)
{
    const std::size_t c = slot(condition);
    if (track.raised[c] == on)
        return;
    track.raised[c] = on;

    const QDateTime windowStart = time.addSecs(-FlapWindowSecs);
    track.changes.removeIf([&](const QDateTime &t) { return t <= windowStart; });
    track.changes.append(time);
    track.lastChange = time;

    AlertEvent event = track.base;
    event.time = time;
    if (!track.flapping && track.changes.size() > FlapChanges) {
        track.flapping = true;
        event.condition = AlertCondition::Flapping;
        event.state = AlertState::Raised;
        event.value = QStringLiteral("%1 changes in 10 minutes").arg(track.changes.size());
        events.append(event);
        return;
    }
    if (track.flapping)
        return; // held back until the interface is stable again
    track.reported[c] = on;
    event.condition = condition;
    event.state = on ? AlertState::Raised : AlertState::Cleared;
    event.value = value;
    events.append(event);
}

void AlertEngine::endFlappingIfStable(Track &track, const QDateTime &time,
                                      QList<AlertEvent> &events)
{
    if (!track.flapping || track.lastChange.secsTo(time) < FlapWindowSecs)
        return;
    track.flapping = false;
    track.changes.clear();
    AlertEvent event = track.base;
    event.time = time;
    event.condition = AlertCondition::Flapping;
    event.state = AlertState::Cleared;
    event.value = QStringLiteral("stable for 10 minutes");
    events.append(event);
    // What changed meanwhile is reported as it stands now.
    for (std::size_t c = 0; c < Conditions; ++c) {
        if (track.reported[c] == track.raised[c])
            continue;
        track.reported[c] = track.raised[c];
        AlertEvent now = track.base;
        now.time = time;
        now.condition = static_cast<AlertCondition>(c);
        now.state = track.raised[c] ? AlertState::Raised : AlertState::Cleared;
        now.value = QStringLiteral("after flapping");
        events.append(now);
    }
}
