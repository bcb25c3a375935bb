#pragma once

#include "SnmpOid.h"

#include <QString>
#include <QStringList>

// Every object identifier Ostraline asks an agent for: SNMPv2-MIB's system group and IF-MIB's
// interface tables (ifEntry, ifXEntry). Instance texts take the interface index exactly as the
// device file holds it, unchecked: a malformed index makes a malformed identifier, and such a
// request is never sent (see parseOidText).
namespace IfMib
{

// Columns of ifEntry (1.3.6.1.2.1.2.2.1).
enum IfEntryColumn : quint32 {
    IfDescr = 2,
    IfType = 3,
    IfSpeed = 5,
    IfAdminStatus = 7,
    IfOperStatus = 8,
    IfInOctets = 10,
    IfInDiscards = 13,
    IfInErrors = 14,
    IfOutOctets = 16,
    IfOutDiscards = 19,
    IfOutErrors = 20,
};

// Columns of ifXEntry (1.3.6.1.2.1.31.1.1.1).
enum IfXEntryColumn : quint32 {
    IfName = 1,
    IfHCInOctets = 6,
    IfHCOutOctets = 10,
    IfHighSpeed = 15,
    IfAlias = 18,
};

SnmpOid ifEntry(IfEntryColumn column);
SnmpOid ifXEntry(IfXEntryColumn column);
SnmpOid sysUpTime0(); // 1.3.6.1.2.1.1.3.0, TimeTicks (hundredths of a second since start)
SnmpOid sysName0();   // 1.3.6.1.2.1.1.5.0

// Whether oid is an instance of ifHCInOctets or ifHCOutOctets: a reading of it counts only
// when the agent sends a Counter64 (a Counter32 there would wrap as a 32-bit counter).
bool isHighCapacityCounter(const SnmpOid &oid);

// Instance texts: "1.3.6.1.2.1.2.2.1.10." + interfaceIndex and so on.
QString ifInOctets(const QString &interfaceIndex);
QString ifOutOctets(const QString &interfaceIndex);
QString ifHCInOctets(const QString &interfaceIndex);
QString ifHCOutOctets(const QString &interfaceIndex);
QString sysUpTime0Text();
// The six link-health objects of an interface, in this order: ifAdminStatus, ifOperStatus,
// ifInDiscards, ifInErrors, ifOutDiscards, ifOutErrors (the order LinkHealthSample::fromTexts
// takes their readings in).
QStringList linkHealth(const QString &interfaceIndex);

} // namespace IfMib
