#pragma once

#include <QString>

// The window needs a display. Without one, Qt ends the program with an abort and a page of
// plugin advice; these say so in one line and let the entry exit with status 1 instead.
namespace DisplayCheck
{

// The line to print when no display is named at all (no DISPLAY, no WAYLAND_DISPLAY and no
// QT_QPA_PLATFORM), or "" when one may be there. Only where X11 or Wayland is the display.
QString missingDisplay();

// Runs while the application object is created: when the display named refuses (no server,
// no access), prints one line naming it and ends the process with status 1. Qt's messages
// of that time are held back and passed on afterwards when the display was opened.
class Guard
{
public:
    Guard();
    ~Guard();
    Guard(const Guard &) = delete;
    Guard &operator=(const Guard &) = delete;
};

} // namespace DisplayCheck
