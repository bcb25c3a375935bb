#pragma once

#include <QString>

// Starts the platform's text editor on a file and returns at once without waiting for it:
// "notepad" on Windows, the desktop's handler for the file ("xdg-open") elsewhere. The path
// is the only argument, passed unchanged. Whether the editor could be started is not
// examined; the return value only says whether the request was handed to the system.
namespace TextEditor {
bool open(const QString &path);
}
