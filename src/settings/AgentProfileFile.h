#pragma once

#include "AgentProfile.h"

#include <QString>

// The agent profiles' own file, beside the settings (on Windows in the application's
// configuration folder): private to the user (mode 0600), replaced atomically, never written
// or read through a link.
namespace AgentProfileFile
{

QString defaultPath();

// The largest profile file that is read (a list of a few thousand agents).
inline constexpr qint64 MaxBytes = 1024 * 1024;

// A missing file is an empty list. False with a reason in *error for a link, anything but a
// regular file (a pipe is not waited on), a file of another user or one that group or others
// may write (the reason names its mode), one above MaxBytes, an unreadable file or text
// that is not a profile list.
bool load(const QString &path, AgentProfiles *profiles, QString *error);
// False with a reason in *error (nothing changed) when the name is a link, anything but a
// regular file, or the file cannot be written.
bool save(const QString &path, const AgentProfiles &profiles, QString *error);

} // namespace AgentProfileFile
