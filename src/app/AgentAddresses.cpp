#include "AgentAddresses.h"

#include "InterfaceTable.h"
#include "SnmpHost.h"

#include <QStringList>

namespace AgentAddresses
{

QString groupAddressRefusal(const InterfaceTable &table, int rows)
{
    QStringList found;
    QString first;
    for (int row = 1; row <= rows && row <= InterfaceTable::InterfaceRows; ++row) {
        // Only group addresses are named here; other faults show at the poll as before.
        const QString problem = SnmpHost::groupAddressProblem(table.cell(Col::IP, row));
        if (problem.isEmpty())
            continue;
        if (first.isEmpty())
            first = problem;
        found.append(QString::number(row));
    }
    if (found.isEmpty())
        return QString();
    return QStringLiteral("%1 %2: %3")
        .arg(found.size() == 1 ? QStringLiteral("Row") : QStringLiteral("Rows"),
             found.join(QStringLiteral(", ")), first);
}

QMap<QString, QByteArray> communities(const InterfaceTable &table, int rows)
{
    QMap<QString, QByteArray> found;
    for (int row = 1; row <= rows; ++row) {
        const QString &address = table.cell(Col::IP, row);
        if (!address.isEmpty() && !found.contains(address))
            found.insert(address, table.cellBytes(Col::Community, row));
    }
    return found;
}

} // namespace AgentAddresses
