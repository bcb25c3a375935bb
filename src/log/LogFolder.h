#pragma once

#include <QString>

#include <functional>

// Which folder receives the daily logs. The program's own folder, as long as it is the running
// user's and new files can be created there (a portable copy, the build folder); otherwise,
// after a system-wide install, the operator's per-user data folder. The choice is made once per
// run, at start-up.
namespace LogFolder
{

// Whether this process can create a file in the folder. Probed by creating and removing a
// temporary file, so that permissions, access lists and read-only mounts all count. Outside
// Windows only a folder of the running user will do: the superuser's logs never go into a
// system folder or another user's.
bool acceptsNewFiles(const QString &folder);

// The per-user data folder of organisation "Kelvane", application "OSL": on Linux
// $XDG_DATA_HOME/Kelvane/OSL (by default ~/.local/share/Kelvane/OSL), on Windows
// %LOCALAPPDATA%\Kelvane\OSL. Not created here.
QString userFolder();

// The choice itself: programFolder when canCreate accepts it, else userFolder.
QString choose(const QString &programFolder, const QString &userFolder,
               const std::function<bool(const QString &folder)> &canCreate = acceptsNewFiles);

// Makes and keeps the choice for this run between the executable's folder and userFolder().
// The program entry calls it once at start-up. Tests pass folders of their own.
void decide();
void decide(const QString &programFolder, const QString &userFolder);

// The folder chosen (deciding now with the defaults if nothing was decided yet). It may not
// exist yet.
QString folder();

// folder(), created (private to the user) when it does not exist yet: the per-user folder
// appears with the first log file or the first request to show it. A failure to create it
// is left to the file creation that follows, which reports the system's reason.
QString folderForWriting();

} // namespace LogFolder
