#pragma once

#include <QDateTime>
#include <QString>

// One change of an alert: a condition of one interface raised or cleared at a poll.
enum class AlertCondition {
    Busy,     // the higher of input and output utilisation at or above the high threshold
    Down,     // oper status down while admin status up, on a port that was up before
    Silent,   // no reading for the configured number of polls
    Flapping, // more than 4 changes in 10 minutes: the interface's other alerts are held back
};

enum class AlertState { Raised, Cleared };

struct AlertEvent {
    QDateTime time; // the poll's wall-clock time
    AlertState state = AlertState::Raised;
    AlertCondition condition = AlertCondition::Busy;
    QString interfaceName; // the device file's description, or "address #ifIndex" without one
    QString address;       // as in the device file
    QString ifIndex;
    QString value; // what was measured, in words ("95 %", "admin up, oper down", ...)

    // One interface and condition: the same key for its raise and its clear.
    QString key() const;
    // "Core uplink is busy", "... is down", "... is silent", "... is flapping",
    // "... is back to normal" (cleared).
    QString summary() const;
};

namespace AlertText
{

// "busy", "down", "silent", "flapping": the texts of the alerts file and the alert command.
QString condition(AlertCondition condition);
// "raised", "cleared".
QString state(AlertState state);
// The reverse of the two above; false for any other text (compared exactly).
bool parseCondition(const QString &text, AlertCondition *condition);
bool parseState(const QString &text, AlertState *state);

} // namespace AlertText
