#pragma once

#include <QString>

class QMessageBox;

// The application's general error report on screen: a message box that blocks the other
// windows but is shown without a nested event loop, so that a handler a timer drives (the poll)
// returns at once and the graphs go on. At most one box is open: an error that arrives while
// one is up joins its text instead of stacking a second box.
namespace ErrorBox
{

// Makes the box the handler of ErrorReport.
void install();

// Shows one message as described above.
void show(const QString &message);

// The box on screen, or null.
QMessageBox *current();

} // namespace ErrorBox
