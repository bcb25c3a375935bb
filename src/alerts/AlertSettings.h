#pragma once

#include "AlertEngine.h"

#include <QString>
#include <QStringView>

class SettingsStore;

// The stored values of the alerts, beside the program's other settings. Flags are "yes" or
// "no", compared exactly; a text that is neither leaves the default.
namespace AlertSettings
{

inline constexpr QStringView Alerts = u"alerts";              // "no": alerts off
inline constexpr QStringView AlertPolls = u"alert polls";     // "3", a whole number 1 to 20
inline constexpr QStringView AlertBusy = u"alert busy";       // "yes"
inline constexpr QStringView AlertDown = u"alert down";       // "yes"
inline constexpr QStringView AlertSilent = u"alert silent";   // "yes"
inline constexpr QStringView AlertCommand = u"alert command"; // "": no command

inline constexpr int DefaultPolls = 3;
inline constexpr int MinPolls = 1;
inline constexpr int MaxPolls = 20;

struct Values {
    bool on = false;
    int polls = DefaultPolls;
    bool busy = true;
    bool down = true;
    bool silent = true;
    QString command;
};

// Ensures and reads the six values. "alert polls" outside 1 to 20 or not a number gives 3.
Values read(SettingsStore &store);
void write(SettingsStore &store, const Values &values);

// The rules of the engine from the values, the "highvalue" threshold and the "onerrors" mode
// as stored (a text that cannot be applied keeps the engine's default for it).
AlertRules rules(SettingsStore &store, const Values &values);

} // namespace AlertSettings
