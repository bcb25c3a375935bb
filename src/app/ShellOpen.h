#pragma once

#include <QString>
#include <QUrl>

#include <functional>

// The one place that hands documents and links to the desktop, which opens them with whatever
// program is registered for them. Results follow the Windows shell's convention, so that the
// failure message carries the same numbers there and elsewhere: above 32 means the request
// was handed over; 2 means the file is not there; 31 means no program would take it.
namespace ShellOpen
{

inline constexpr int Success = 42;
inline constexpr int FileNotFound = 2;
inline constexpr int NoAssociation = 31;

// Hands one URL to the desktop; true when a program took it.
using Opener = std::function<bool(const QUrl &url)>;

// Replaces the desktop call and returns the previous one; an empty opener restores the
// desktop's. Tests install a recording opener so that nothing is ever launched.
Opener setOpener(Opener opener);

// Opens a target: a link with its scheme ("http://...", "mailto:...") or a file name, which
// a relative name looks up in the process's current folder. Returns the result number.
int execute(const QString &target);

// The failure message: ShellExecute "name" Failed with Error: number.
QString failureMessage(const QString &name, int result);

// execute(target); a result of 32 or less throws OstralineError with failureMessage(), naming
// shownName (the target as the operator knows it, for a link without its scheme).
void open(const QString &target, const QString &shownName);

// Starts the platform's text editor on a file without waiting for it: "notepad" on Windows,
// the desktop's handler for the file ("xdg-open") elsewhere. The path is the only argument,
// passed unchanged. When no program can open the file (the launcher is missing, or it ends
// with a failure), the general error report says so, naming the file; the failure of a
// launcher that was started arrives later, from the event loop. Returns whether the launcher
// was started.
bool openInTextEditor(const QString &path);

} // namespace ShellOpen
