#include "GetStep.h"

#include "GraphSlotControl.h"
#include "InterfaceList.h"
#include "InterfaceTable.h"
#include "TimeStamp.h"

namespace GetStep
{
namespace
{

const QString Failure = QStringLiteral("Failure");
const QString ErrorOccured = QStringLiteral("Error occured");

bool failed(const QString &reading, bool literalFailure)
{
    return literalFailure ? reading == Failure : reading.isEmpty();
}

} // namespace

QString inOctetsOid(const QString &interfaceIndex)
{
    return QStringLiteral("1.3.6.1.2.1.2.2.1.10.") + interfaceIndex;
}

QString outOctetsOid(const QString &interfaceIndex)
{
    return QStringLiteral("1.3.6.1.2.1.2.2.1.16.") + interfaceIndex;
}

QList<SnmpRequest> buildRequests(const InterfaceTable &table, const InterfaceList &list,
                                 QList<int> *rows)
{
    QList<SnmpRequest> requests;
    rows->clear();
    for (int p = 0; p < list.count(); ++p) {
        if (!list.isChecked(p))
            continue;
        const int row = p + 1;
        const QString &index = table.cell(Col::Interface, row);
        const QString &community = table.cell(Col::Community, row);
        const QByteArray communityBytes = table.cellBytes(Col::Community, row);
        const QString &host = table.cell(Col::IP, row);
        requests.append({inOctetsOid(index), community, host, communityBytes});
        requests.append({outOctetsOid(index), community, host, communityBytes});
        rows->append(row);
        rows->append(row);
    }
    return requests;
}

void storeReadings(InterfaceTable &table, const QList<int> &rows, const QStringList &values)
{
    for (qsizetype i = 0; i < rows.size() && i < values.size(); ++i) {
        if (rows.at(i) <= 0)
            continue; // discarded while in flight
        table.setCell(i % 2 == 0 ? Col::OrgIn : Col::OrgOut, rows.at(i), values.at(i));
    }
}

void failurePass(InterfaceTable &table, InterfaceList &list, OnErrorMode mode)
{
    const QString zero = QStringLiteral("0");
    for (int p = 0; p < list.count(); ++p) {
        if (!list.isChecked(p))
            continue;
        const int row = p + 1;
        // Four tests in this order, each against the cells as they stand at that moment.
        for (int test = 1; test <= 4; ++test) {
            const bool input = (test == 1 || test == 3);
            const int rawColumn = input ? Col::OrgIn : Col::OrgOut;
            if (!failed(table.cell(rawColumn, row), test <= 2))
                continue;
            table.setCell(Col::InBitNew, row, zero);
            table.setCell(Col::InBitOld, row, zero);
            if (mode == OnErrorMode::Stop) {
                list.setChecked(p, false);
            } else {
                table.setCell(rawColumn, row, zero);
                table.setCell(input ? Col::InBitNew : Col::OutBitNew, row, zero);
                table.setCell(input ? Col::InBitOld : Col::OutBitOld, row, zero);
            }
        }
    }
}

void slotPass(const InterfaceList &list, GraphSlotControl &graphSlots, const QDateTime &stamp)
{
    for (int slot = 1; slot <= GraphSlotControl::SlotCount && slot <= list.count(); ++slot) {
        if (list.isChecked(slot - 1)) {
            graphSlots.setSlotRunning(slot, true);
            graphSlots.setErrorCaption(slot, QString());
        } else {
            graphSlots.setSlotRunning(slot, false);
            if (!graphSlots.errorCaption(slot).contains(ErrorOccured, Qt::CaseInsensitive))
                graphSlots.setErrorCaption(slot, QStringLiteral("Error occured: ") +
                                                     TimeStamp::format(stamp));
        }
    }
}

} // namespace GetStep

Poller::Poller(InterfaceTable &table, InterfaceList &list, QObject *parent)
    : QObject(parent), m_table(table), m_list(list)
{
    connect(&m_batch, &SnmpBatch::finished, this, &Poller::onBatchFinished);
}

bool Poller::start()
{
    if (inFlight())
        return false;
    m_stamp = m_clock();
    m_batch.start(GetStep::buildRequests(m_table, m_list, &m_rows), m_timeoutMs);
    return true;
}

void Poller::cancel()
{
    m_batch.cancel();
    m_rows.clear();
}

void Poller::discardRow(int row)
{
    for (int &r : m_rows) {
        if (r == row)
            r = 0;
    }
}

void Poller::onBatchFinished(const QStringList &values)
{
    GetStep::storeReadings(m_table, m_rows, values);
    m_rows.clear();
    GetStep::failurePass(m_table, m_list, m_mode);
    if (m_slots)
        GetStep::slotPass(m_list, *m_slots, m_stamp);
    Q_EMIT getFinished();
}
