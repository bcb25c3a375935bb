#pragma once

#include "AlertEvent.h"
#include "SettingsKeys.h"

#include <QDateTime>
#include <QHash>
#include <QList>

#include <array>

struct InterfaceReading;
struct PollResult;

// What the conditions are judged by. Defaults are those of the settings.
struct AlertRules {
    bool busy = true;
    bool down = true;
    bool silent = true;
    int polls = 3; // N: polls in a row that raise Busy and Silent and clear Busy (1 to 20)
    int highThreshold = SettingsKeys::HighValueDefault; // percent, the graphs' high threshold
    bool stopOnErrors = true; // on-error mode stop: a failed reading takes the interface out
};

// Judges every poll's readings and says which alerts were raised or cleared, per interface
// (an interface is its address and ifIndex, so a reload that moves it keeps its state):
//  - Busy: max(in, out) utilisation >= high for N good readings in a row; cleared after N good
//    readings below high - 5. A first or failed reading breaks either run.
//  - Down: oper status down (2, or 6 notPresent, 7 lowerLayerDown) while admin status up (1),
//    only on a port seen oper up since polling started; cleared when oper is up again or the
//    port is no longer admin up. Needs both status values (link health on).
//  - Silent: a failed reading in N polls in a row (zeroes mode), or the one failed reading
//    that takes the interface out (stop mode); cleared at the next good reading.
//  - A first reading neither raises nor clears anything; it only shows a port as up.
//  - An interface whose alerts change more than 4 times within 10 minutes is reported once as
//    Flapping; its own changes are held back until it has had no change for 10 minutes, then
//    Flapping is cleared and each condition whose state differs from what was last reported
//    is reported as it stands.
// Readings of interfaces that were not polled are ignored. Time is the poll's own time.
class AlertEngine
{
public:
    static constexpr int FlapChanges = 4;         // more changes than this within the window flap
    static constexpr qint64 FlapWindowSecs = 600; // 10 minutes
    static constexpr int BusyClearMargin = 5;     // percentage points below the high threshold

    void setRules(const AlertRules &rules);
    const AlertRules &rules() const { return m_rules; }

    // The changes this poll brought, in row order.
    QList<AlertEvent> evaluate(const PollResult &result);

    // Polling (re)started: ports must be seen up again before they can be Down, and the runs
    // towards Busy and Silent begin afresh. Raised alerts stay raised.
    void pollingStarted();
    // A device file was loaded: of the interfaces not in it, the runs towards an alert and
    // whether the port was up are forgotten; one with nothing raised is forgotten whole, one
    // with a raised alert keeps it until it clears (when it is loaded again). Interfaces still
    // loaded keep their state.
    void interfacesLoaded(const QList<InterfaceReading> &loaded);

private:
    static constexpr std::size_t Conditions = 3; // Busy, Down, Silent
    static constexpr qsizetype MaxTracks = 200;

    struct Track {
        std::array<bool, Conditions> raised{};   // the condition holds
        std::array<bool, Conditions> reported{}; // what the last reported change said
        int busyRun = 0;                         // good readings at or above high (towards raising)
        int calmRun = 0; // good readings below high - margin (towards clearing)
        int failedRun = 0;
        bool wasUp = false;
        bool flapping = false;
        QList<QDateTime> changes; // times of the changes within the flapping window
        QDateTime lastChange;
        AlertEvent base; // interface identity and name of the latest reading
    };

    void judge(Track &track, const InterfaceReading &reading, const QDateTime &time,
               QList<AlertEvent> &events);
    void setCondition(Track &track, AlertCondition condition, bool on, const QString &value,
                      const QDateTime &time, QList<AlertEvent> &events);
    void endFlappingIfStable(Track &track, const QDateTime &time, QList<AlertEvent> &events);
    static QString keyOf(const InterfaceReading &reading);

    AlertRules m_rules;
    QHash<QString, Track> m_tracks;
};
