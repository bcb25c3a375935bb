#pragma once

#include "PortReading.h"

#include <QList>
#include <QString>

// The texts of `ostraline --ports`: every port of a device after a poll, as a table for a
// terminal or as CSV lines, in the order the operator asked for.
namespace PortsReport
{

enum class Sort { Index, In, Out, Util, Errors, Name };

// The sort an option value names ("in", "out", "util", "errors", "name"); false for others.
bool parseSort(const QString &text, Sort *sort);

// The device's ports in the order asked (stable: ties keep ifIndex order). In, Out, Util
// and Errors put the largest first.
QList<PortResult> sorted(const QList<PortResult> &ports, Sort sort);

// "up", "down", ..., or "admin down" for a port switched off; "?" when not known.
QString stateText(const PortResult &port);

// A heading line, the column titles and one line per port.
QString table(const DevicePoll &poll, Sort sort);
// The line a silent poll prints instead of the table.
QString silentLine(const DevicePoll &poll);

QString csvHeader();
// One line per port (a silent poll's ports say "failed" and why).
QString csvLines(const DevicePoll &poll, Sort sort);

} // namespace PortsReport
