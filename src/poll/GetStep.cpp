#include "GetStep.h"

#include "AgentProfile.h"
#include "GraphSlotControl.h"
#include "IfMib.h"
#include "InterfaceList.h"
#include "InterfaceTable.h"
#include "NumberFormat.h"
#include "TimeStamp.h"

#include <algorithm>
#include <array>

namespace
{
constexpr qsizetype HealthValues = 6; // the readings of IfMib::linkHealth
}

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

// Puts the row's link-health objects behind the counters of a v2c or v3 request.
void addHealth(SnmpRequest &request, PlannedRequest &planned, const QString &index)
{
    const QStringList oids = IfMib::linkHealth(index);
    request.moreOids += oids;
    request.typedMoreOids = static_cast<int>(oids.size());
    planned.health = true;
}

} // namespace

qsizetype readingCount(const PlannedRequest &request)
{
    const bool both = request.kind == PlannedRequest::Kind::Both64 ||
                      request.kind == PlannedRequest::Kind::Both32;
    return (both ? 2 : 1) + (request.uptime ? 1 : 0) + (request.health ? HealthValues : 0);
}

QList<SnmpRequest> planRequests(const InterfaceTable &table, const InterfaceList &list,
                                const CounterChoice &counters, QList<PlannedRequest> *plan,
                                const AgentProfiles *profiles, bool linkHealth)
{
    QList<SnmpRequest> requests;
    plan->clear();
    for (int p = 0; p < list.count(); ++p) {
        if (!list.isChecked(p))
            continue;
        const int row = p + 1;
        const QString &index = table.cell(Col::Interface, row);
        const QString &community = table.cell(Col::Community, row);
        const QByteArray communityBytes = table.cellBytes(Col::Community, row);
        const QString &host = table.cell(Col::IP, row);
        const auto security = profiles && counters.isV3(row) ? profiles->v3Security(host) : nullptr;
        if (security) {
            bool healthPlaced = !linkHealth;
            if (counters.asks32(row)) {
                requests.append({IfMib::ifInOctets(index),
                                 QString(),
                                 host,
                                 QByteArray(),
                                 SnmpVersion::V3,
                                 {IfMib::ifOutOctets(index), IfMib::sysUpTime0Text()},
                                 security});
                plan->append({row, PlannedRequest::Kind::Both32, true, host});
                if (!healthPlaced)
                    addHealth(requests.last(), plan->last(), index);
                healthPlaced = true;
            }
            if (counters.asks64(row)) {
                requests.append({IfMib::ifHCInOctets(index),
                                 QString(),
                                 host,
                                 QByteArray(),
                                 SnmpVersion::V3,
                                 {IfMib::ifHCOutOctets(index), IfMib::sysUpTime0Text()},
                                 security});
                plan->append({row, PlannedRequest::Kind::Both64, true, host});
                if (!healthPlaced)
                    addHealth(requests.last(), plan->last(), index);
            }
            continue;
        }
        if (counters.asks32(row)) {
            requests.append({IfMib::ifInOctets(index), community, host, communityBytes});
            requests.append({IfMib::ifOutOctets(index), community, host, communityBytes});
            plan->append({row, PlannedRequest::Kind::In32, false, host});
            plan->append({row, PlannedRequest::Kind::Out32, false, host});
        }
        if (counters.asks64(row)) {
            requests.append({IfMib::ifHCInOctets(index),
                             community,
                             host,
                             communityBytes,
                             SnmpVersion::V2c,
                             {IfMib::ifHCOutOctets(index), IfMib::sysUpTime0Text()}});
            plan->append({row, PlannedRequest::Kind::Both64, true, host});
            if (linkHealth && !counters.asks32(row))
                addHealth(requests.last(), plan->last(), index);
        }
    }
    return requests;
}

void storePlannedReadings(InterfaceTable &table, CounterChoice &counters,
                          const QList<PlannedRequest> &plan, const QStringList &values,
                          QMap<QString, quint32> *uptimes)
{
    struct Readings {
        bool asked32 = false, asked64 = false;
        QString in32, out32, in64, out64;
    };
    std::array<Readings, CounterChoice::Rows + 1> rows{};
    qsizetype next = 0;
    for (const PlannedRequest &request : plan) {
        const bool both = request.kind == PlannedRequest::Kind::Both64 ||
                          request.kind == PlannedRequest::Kind::Both32;
        const QString first = values.value(next);
        const QString second = values.value(next + 1);
        // sysUpTime.0 follows the counters; link-health readings, if any, come after it.
        if (request.uptime && uptimes && !uptimes->contains(request.host)) {
            bool ok = false;
            const quint32 ticks = values.value(next + (both ? 2 : 1)).toUInt(&ok);
            if (ok)
                uptimes->insert(request.host, ticks);
        }
        next += readingCount(request);
        if (request.row < 1 || request.row > CounterChoice::Rows)
            continue; // discarded while in flight
        Readings &r = rows[static_cast<std::size_t>(request.row)];
        switch (request.kind) {
        case PlannedRequest::Kind::In32:
            r.asked32 = true;
            r.in32 = first;
            break;
        case PlannedRequest::Kind::Out32:
            r.asked32 = true;
            r.out32 = first;
            break;
        case PlannedRequest::Kind::Both32:
            r.asked32 = true;
            r.in32 = first;
            r.out32 = second;
            break;
        case PlannedRequest::Kind::Both64:
            r.asked64 = true;
            r.in64 = first;
            r.out64 = second;
            break;
        }
    }
    const QString zero = QStringLiteral("0");
    for (int row = 1; row <= CounterChoice::Rows; ++row) {
        const Readings &r = rows[static_cast<std::size_t>(row)];
        if (!r.asked32 && !r.asked64)
            continue;
        bool use64 = r.asked64 && !r.asked32;
        if (r.asked32 && r.asked64) {
            use64 = !r.in64.isEmpty() && !r.out64.isEmpty();
            if (counters.decide(row, use64)) {
                table.setCell(Col::InBitNew, row, zero);
                table.setCell(Col::OutBitNew, row, zero);
                table.setCell(Col::InDelta, row, zero);
                table.setCell(Col::OutDelta, row, zero);
            }
        } else if (!use64 && counters.width(row) == CounterChoice::Width::Bits64) {
            // The setting went off while this poll was in flight; 32-bit from now on.
            if (counters.decide(row, false)) {
                table.setCell(Col::InBitNew, row, zero);
                table.setCell(Col::OutBitNew, row, zero);
                table.setCell(Col::InDelta, row, zero);
                table.setCell(Col::OutDelta, row, zero);
            }
        }
        table.setCell(Col::OrgIn, row, use64 ? r.in64 : r.in32);
        table.setCell(Col::OrgOut, row, use64 ? r.out64 : r.out32);
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
            if (mode == OnErrorMode::Stop) {
                table.setCell(Col::InBitNew, row, zero);
                table.setCell(Col::InBitOld, row, zero);
                list.setChecked(p, false);
            } else {
                // Only the failed direction is zeroed: the other one, read fine, is computed
                // as usual, and the failed one is a first reading when it reads again.
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
    m_elapsed.start();
    for (int p = 0; p < m_list.count() && p < CounterChoice::Rows; ++p) {
        const int row = p + 1;
        m_counters.setV3(row, m_profiles && m_profiles->v3Security(m_table.cell(Col::IP, row)));
        // The bandwidth as the calculation reads it; one that is no positive whole number
        // never wraps (the calculation reports the row).
        std::int64_t bandwidth = 0;
        if (!NumberFormat::tryParseWhole(m_table.cell(Col::Bandwidth, row), &bandwidth))
            bandwidth = 0;
        m_counters.setWraps32(
            row, CounterChoice::wrapsWithin(std::uint64_t(std::max<std::int64_t>(bandwidth, 0)),
                                            m_interval));
    }
    QList<SnmpRequest> requests =
        GetStep::planRequests(m_table, m_list, m_counters, &m_plan, m_profiles, m_linkHealth);
    m_healthRows.clear();
    if (m_linkHealth) {
        // One more request per row read on SNMP v1, the counter requests left as they are
        // (v2c and v3 rows carry theirs in the counter request).
        for (const GetStep::PlannedRequest &planned : m_plan) {
            if (planned.kind != GetStep::PlannedRequest::Kind::In32)
                continue;
            const int row = planned.row;
            QStringList oids = IfMib::linkHealth(m_table.cell(Col::Interface, row));
            const QString first = oids.takeFirst();
            requests.append({first, m_table.cell(Col::Community, row), m_table.cell(Col::IP, row),
                             m_table.cellBytes(Col::Community, row), SnmpVersion::V1, oids});
            m_healthRows.append(row);
        }
    }
    m_batch.start(requests, m_timeoutMs);
    return true;
}

void Poller::cancel()
{
    m_batch.cancel();
    m_plan.clear();
    m_healthRows.clear();
}

void Poller::closeUnlistedSessions()
{
    QStringList hosts;
    for (int p = 0; p < m_list.count() && p < CounterChoice::Rows; ++p)
        hosts.append(m_table.cell(Col::IP, p + 1));
    m_batch.closeSessionsExcept(hosts);
}

void Poller::discardRow(int row)
{
    for (GetStep::PlannedRequest &request : m_plan) {
        if (request.row == row)
            request.row = 0;
    }
    for (int &healthRow : m_healthRows) {
        if (healthRow == row)
            healthRow = 0;
    }
    // A rewritten row may be another interface: its counters are chosen afresh.
    m_counters.reset(row);
}

void Poller::onBatchFinished(const QStringList &values)
{
    // The planned requests' readings come first (a v2c or v3 request's link-health readings
    // follow its counters), then six link-health readings per v1 health request.
    qsizetype counterValues = 0;
    m_linkHealthTexts.clear();
    for (const GetStep::PlannedRequest &request : m_plan) {
        const qsizetype count = GetStep::readingCount(request);
        if (request.health && request.row > 0)
            m_linkHealthTexts.insert(
                request.row, values.mid(counterValues + count - HealthValues, HealthValues));
        counterValues += count;
    }
    for (qsizetype i = 0; i < m_healthRows.size(); ++i) {
        if (m_healthRows[i] > 0)
            m_linkHealthTexts.insert(m_healthRows[i],
                                     values.mid(counterValues + HealthValues * i, HealthValues));
    }
    m_healthRows.clear();
    QMap<QString, quint32> uptimes;
    GetStep::storePlannedReadings(m_table, m_counters, m_plan, values.mid(0, counterValues),
                                  &uptimes);
    m_plan.clear();
    m_restartedAgents.clear();
    for (auto it = uptimes.cbegin(); it != uptimes.cend(); ++it) {
        const auto previous = m_uptimes.constFind(it.key());
        if (previous != m_uptimes.cend() && it.value() < previous.value())
            m_restartedAgents.insert(it.key(), it.value());
        m_uptimes.insert(it.key(), it.value());
    }
    m_durationSeconds = double(m_elapsed.nsecsElapsed()) / 1e9;
    m_failedRows.clear();
    for (int p = 0; p < m_list.count() && p < CounterChoice::Rows; ++p) {
        const int row = p + 1;
        const auto failedCell = [&](int column) {
            const QString cell = m_table.cell(column, row);
            return cell.isEmpty() || cell == GetStep::Failure;
        };
        if (m_list.isChecked(p) && (failedCell(Col::OrgIn) || failedCell(Col::OrgOut)))
            m_failedRows.append(row);
    }
    GetStep::failurePass(m_table, m_list, m_mode);
    if (m_slots)
        GetStep::slotPass(m_list, *m_slots, m_stamp);
    Q_EMIT getFinished();
}
