#pragma once

#include <QString>

// Starts the platform's text editor on a file without waiting for it: "notepad" on Windows,
// the desktop's handler for the file ("xdg-open") elsewhere. The path is the only argument,
// passed unchanged. When no program can open the file (the launcher is missing, or it ends
// with a failure), the general error report says so, naming the file; the failure of a
// launcher that was started arrives later, from the event loop. Returns whether the launcher
// was started.
namespace TextEditor
{
bool open(const QString &path);
}
