#pragma once

#include <QString>

#include <cstdint>

// The folder of the history files and the checks made before a file in it is touched.
namespace HistoryFolder
{

// "history" under the per-user data folder: $XDG_DATA_HOME/Kelvane/OSL/history (by default
// ~/.local/share/Kelvane/OSL/history), %LOCALAPPDATA%\Kelvane\OSL\history on Windows.
QString defaultPath();

// Creates the folder (and missing parents) private to the user (0700) and checks it: a real
// folder, not a link, owned by this user; a looser mode of our own folder is narrowed to
// 0700. Returns an empty text on success, else the reason in words.
QString prepare(const QString &folder);

// Whether the history file may be opened: absent (Absent), or a regular file of this user and
// not a link (Usable). Anything else is Refused, with the reason in `reason`.
enum class FileState { Absent, Usable, Refused };
FileState check(const QString &path, QString *reason);

// Narrows a file this program just created to 0600; false (with the reason) on failure.
bool makePrivate(const QString &path, QString *reason);

// Moves a damaged file out of the way under a free name beside it: "<name>.damaged", else
// "<name>.2.damaged", "<name>.3.damaged", ... An existing file is never replaced and nothing
// is deleted. Returns the new path, or an empty text with the reason in `reason`.
QString setAside(const QString &path, QString *reason);

// Why a file of `bytes` bytes cannot be made in the folder now, in the system's words ("No
// space left on device"); empty when it can. It makes and removes a scratch file of that size,
// so call it only to explain a failure: librrd's create loses the system's reason.
QString roomProblem(const QString &folder, std::int64_t bytes);

} // namespace HistoryFolder
