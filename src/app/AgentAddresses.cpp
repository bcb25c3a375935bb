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

} // namespace AgentAddresses
