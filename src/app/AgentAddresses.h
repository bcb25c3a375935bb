#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

class InterfaceTable;

namespace AgentAddresses
{

// The status-bar text for a loaded device file whose rows 1..rows name group addresses
// (multicast or broadcast) as agents: which rows, and that they are not polled (the query
// sends nothing to such an address, so they fail like an unreachable agent). "" for none.
QString groupAddressRefusal(const InterfaceTable &table, int rows);

// The agents of the loaded rows 1..rows, each with the community of its first row.
QMap<QString, QByteArray> communities(const InterfaceTable &table, int rows);

} // namespace AgentAddresses
