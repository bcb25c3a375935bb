#pragma once

#include <memory>

class QSettings;

// Where the settings key lives, the one place that knows the platform. On Windows it is the
// registry key HKEY_LOCAL_MACHINE\Software\Kelvane\OSL with string values. Elsewhere it is an
// INI file in the user's configuration folder, organisation "Kelvane", application "OSL":
// $XDG_CONFIG_HOME/Kelvane/OSL.ini, by default ~/.config/Kelvane/OSL.ini.
namespace SettingsLocation
{

// A handle on the platform's settings key. Nothing is created or checked yet; fallback
// locations (system-wide or organisation-wide files) are switched off so that exactly one
// key is read and written.
std::unique_ptr<QSettings> open();

} // namespace SettingsLocation
