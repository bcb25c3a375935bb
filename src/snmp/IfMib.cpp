#include "IfMib.h"

namespace IfMib
{

namespace
{

QString instance(const SnmpOid &column, const QString &interfaceIndex)
{
    return oidText(column) + QLatin1Char('.') + interfaceIndex;
}

} // namespace

SnmpOid ifEntry(IfEntryColumn column)
{
    return {1, 3, 6, 1, 2, 1, 2, 2, 1, column};
}

SnmpOid ifXEntry(IfXEntryColumn column)
{
    return {1, 3, 6, 1, 2, 1, 31, 1, 1, 1, column};
}

SnmpOid sysUpTime0()
{
    return {1, 3, 6, 1, 2, 1, 1, 3, 0};
}

SnmpOid sysName0()
{
    return {1, 3, 6, 1, 2, 1, 1, 5, 0};
}

bool isHighCapacityCounter(const SnmpOid &oid)
{
    return isUnder(oid, ifXEntry(IfHCInOctets)) || isUnder(oid, ifXEntry(IfHCOutOctets));
}

QString ifInOctets(const QString &interfaceIndex)
{
    return instance(ifEntry(IfInOctets), interfaceIndex);
}

QString ifOutOctets(const QString &interfaceIndex)
{
    return instance(ifEntry(IfOutOctets), interfaceIndex);
}

QString ifHCInOctets(const QString &interfaceIndex)
{
    return instance(ifXEntry(IfHCInOctets), interfaceIndex);
}

QString ifHCOutOctets(const QString &interfaceIndex)
{
    return instance(ifXEntry(IfHCOutOctets), interfaceIndex);
}

QString sysUpTime0Text()
{
    return oidText(sysUpTime0());
}

QStringList linkHealth(const QString &interfaceIndex)
{
    QStringList oids;
    for (const IfEntryColumn column :
         {IfAdminStatus, IfOperStatus, IfInDiscards, IfInErrors, IfOutDiscards, IfOutErrors})
        oids << instance(ifEntry(column), interfaceIndex);
    return oids;
}

} // namespace IfMib
