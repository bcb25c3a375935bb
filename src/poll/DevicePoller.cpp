#include "DevicePoller.h"

#include "BulkColumns.h"
#include "IfMib.h"
#include "PollRun.h"
#include "PortTracker.h"
#include "ReadingClock.h"
#include "SnmpExchange.h"
#include "SnmpHost.h"
#include "SnmpLibrary.h"
#include "SnmpSession.h"
#include "SnmpTimeouts.h"
#include "SnmpWalker.h"

#include <QHostAddress>
#include <QHostInfo>

#include <algorithm>

namespace
{

// The columns of a poll, in this order.
enum PollColumn { InOctets, OutOctets, Admin, Oper, InErrors, OutErrors, InDiscards, OutDiscards };

// The columns of the inventory walk, in this order.
enum InventoryColumn { Descr, Type, Speed, Name, HighSpeed, Alias, HCIn };

constexpr int SnmpErrTooBig = 1;
constexpr int SnmpErrNoSuchName = 2;

// sysUpTime without its instance: a GetNext (or a GetBulk non-repeater) of it is sysUpTime.0.
SnmpOid sysUpTimeColumn()
{
    SnmpOid oid = IfMib::sysUpTime0();
    oid.removeLast();
    return oid;
}

QList<SnmpOid> pollRoots(bool counters64)
{
    using namespace IfMib;
    return {counters64 ? ifXEntry(IfHCInOctets) : ifEntry(IfInOctets),
            counters64 ? ifXEntry(IfHCOutOctets) : ifEntry(IfOutOctets),
            ifEntry(IfAdminStatus),
            ifEntry(IfOperStatus),
            ifEntry(IfInErrors),
            ifEntry(IfOutErrors),
            ifEntry(IfInDiscards),
            ifEntry(IfOutDiscards)};
}

std::optional<std::uint64_t> counterValue(const BulkColumns &columns, int column, quint32 index,
                                          quint8 type)
{
    const auto found = columns.values(column).constFind(index);
    if (found == columns.values(column).cend() || found->type != type)
        return std::nullopt;
    return found->number;
}

std::optional<int> statusValue(const BulkColumns &columns, int column, quint32 index)
{
    const auto found = columns.values(column).constFind(index);
    if (found == columns.values(column).cend() || found->type != SnmpValue::Integer)
        return std::nullopt;
    return int(found->integer);
}

// A port's speed in bit/s: ifHighSpeed (Mbit/s) where ifSpeed is at its 32-bit limit or
// says nothing, else ifSpeed.
std::uint64_t portSpeed(std::uint64_t ifSpeed, std::uint64_t ifHighSpeed)
{
    if (ifHighSpeed > 0 && (ifSpeed == 0xffffffffu || ifSpeed == 0))
        return ifHighSpeed * 1000000u;
    return ifSpeed;
}

} // namespace

struct DevicePoller::Device {
    struct Port {
        QString name, alias, descr;
        int type = 0;
        std::uint64_t speed = 0;
        PortTracker tracker;
    };

    int id = 0;
    DeviceSpec spec;
    SnmpHost host;
    std::unique_ptr<QHostAddress> address;
    SnmpVersion version = SnmpVersion::Auto; // spoken, once an inventory answered
    bool counters64 = false;
    QString sysName;
    std::map<quint32, Port> ports;
    bool inventoried = false;     // names read at least once
    bool inventoryNeeded = true;  // names to be read at the next poll
    bool afterTables = false;     // the running inventory follows this poll's tables

    std::unique_ptr<SnmpWalker> walker;
    std::unique_ptr<SnmpExchange> exchange;
    QTimer deadline;
    BulkColumns columns;
    int repetitionCap = MaxBindingsPerReply / 8; // lowered by tooBig and short replies
    int repetitions = 1;
    int nonRepeaters = 0; // of the request in flight

    bool queued = false;
    bool busy = false;
    DevicePoll poll;
    qint64 readAtMs = 0;
    std::optional<quint32> uptime;
    std::optional<quint32> lastUptime;
    QDateTime silentSince;
    bool everAnswered = false;
};

DevicePoller::DevicePoller(QObject *parent)
    : QObject(parent), m_deadlineMs(SnmpTimeouts::PollDeadlineMs),
      m_walkTimeoutMs(SnmpTimeouts::WalkAttemptMs)
{
    qRegisterMetaType<DevicePoll>();
    connect(&m_timer, &QTimer::timeout, this, &DevicePoller::pollNow);
}

DevicePoller::~DevicePoller() = default;

int DevicePoller::addDevice(const DeviceSpec &spec)
{
    auto device = std::make_unique<Device>();
    device->id = m_nextId++;
    device->spec = spec;
    device->host = SnmpHost::parse(spec.address);
    device->deadline.setSingleShot(true);
    const int id = device->id;
    connect(&device->deadline, &QTimer::timeout, this, [this, id] { deadline(id); });
    m_devices.emplace(id, std::move(device));
    return id;
}

void DevicePoller::removeDevice(int id)
{
    const auto found = m_devices.find(id);
    if (found == m_devices.end())
        return;
    if (found->second->busy)
        --m_outstanding;
    if (found->second->busy || found->second->queued) {
        if (--m_pending == 0)
            QMetaObject::invokeMethod(this, &DevicePoller::pollFinished, Qt::QueuedConnection);
    }
    m_devices.erase(found);
    QMetaObject::invokeMethod(this, &DevicePoller::launch, Qt::QueuedConnection);
}

DevicePoller::Device *DevicePoller::find(int id) const
{
    const auto found = m_devices.find(id);
    return found == m_devices.end() ? nullptr : found->second.get();
}

void DevicePoller::setInterval(int seconds)
{
    m_interval = std::max(1, seconds);
    if (m_timer.isActive())
        m_timer.start(m_interval * 1000);
}

void DevicePoller::start()
{
    m_timer.start(m_interval * 1000);
    pollNow();
}

void DevicePoller::stop()
{
    m_timer.stop();
}

bool DevicePoller::inFlight() const
{
    return m_pending > 0;
}

void DevicePoller::pollNow()
{
    initLibrary();
    for (auto &[id, device] : m_devices) {
        if (device->busy || device->queued)
            continue; // a device still in its last poll skips this one
        device->queued = true;
        m_queue.push_back(id);
        ++m_pending;
    }
    // Every device reports from the event loop, never inside pollNow().
    QMetaObject::invokeMethod(this, &DevicePoller::launch, Qt::QueuedConnection);
}

void DevicePoller::launch()
{
    while (m_outstanding < MaxOutstanding && !m_queue.empty()) {
        Device *device = find(m_queue.front());
        m_queue.pop_front();
        if (!device || !device->queued)
            continue;
        device->queued = false;
        device->busy = true;
        ++m_outstanding;
        begin(*device);
    }
}

void DevicePoller::begin(Device &device)
{
    device.poll = DevicePoll();
    device.poll.device = device.id;
    device.poll.address = device.spec.address;
    device.poll.time = QDateTime::currentDateTime();
    device.uptime.reset();
    device.afterTables = false;
    if (!device.host.isValid()) {
        fail(device, SnmpHost::problem(device.spec.address));
        return;
    }
    if (!device.address && device.host.kind == SnmpHost::Kind::Address)
        device.address = std::make_unique<QHostAddress>(device.host.address);
    if (!device.address) {
        const int id = device.id;
        QHostInfo::lookupHost(device.host.name, this, [this, id](const QHostInfo &info) {
            const QHostAddress chosen = info.error() == QHostInfo::NoError
                                            ? SnmpHost::pickAddress(info.addresses())
                                            : QHostAddress();
            resolved(id, chosen);
        });
        return;
    }
    if (device.inventoryNeeded)
        startInventory(device);
    else
        startTables(device);
}

void DevicePoller::resolved(int id, const QHostAddress &address)
{
    Device *device = find(id);
    if (!device || !device->busy)
        return;
    if (address.isNull()) {
        fail(*device,
             QStringLiteral("The name \"%1\" could not be resolved.").arg(device->host.name));
        return;
    }
    device->address = std::make_unique<QHostAddress>(address);
    if (device->inventoryNeeded)
        startInventory(*device);
    else
        startTables(*device);
}

void DevicePoller::startInventory(Device &device)
{
    using namespace IfMib;
    WalkRequest request;
    request.host = device.spec.address;
    request.community = QString::fromUtf8(device.spec.community);
    request.version = device.version != SnmpVersion::Auto ? device.version : device.spec.version;
    request.security = device.spec.security;
    request.scalars = {sysName0()};
    request.columns = {
        {ifEntry(IfDescr), SnmpValue::OctetString, QStringLiteral("ifDescr")},
        {ifEntry(IfType), SnmpValue::Integer, QStringLiteral("ifType")},
        {ifEntry(IfSpeed), SnmpValue::Gauge32, QStringLiteral("ifSpeed")},
        {ifXEntry(IfName), SnmpValue::OctetString, QStringLiteral("ifName")},
        {ifXEntry(IfHighSpeed), SnmpValue::Gauge32, QStringLiteral("ifHighSpeed")},
        {ifXEntry(IfAlias), SnmpValue::OctetString, QStringLiteral("ifAlias")},
        {ifXEntry(IfHCInOctets), SnmpValue::Counter64, QStringLiteral("ifHCInOctets")},
    };
    device.walker = std::make_unique<SnmpWalker>();
    device.walker->setTimeoutMs(m_walkTimeoutMs);
    const int id = device.id;
    connect(device.walker.get(), &SnmpWalker::finished, this,
            [this, id](const WalkResult &result) { inventoried(id, result); });
    device.walker->start(request);
}

void DevicePoller::inventoried(int id, const WalkResult &result)
{
    Device *device = find(id);
    if (!device || !device->busy)
        return;
    device->walker.release()->deleteLater(); // this is its finished() signal
    device->poll.inventoryRequests += result.requests;
    if (!result.answered || result.columns.size() < HCIn + 1) {
        fail(*device, result.message.isEmpty() ? QStringLiteral("No answer.") : result.message);
        return;
    }
    device->version = result.version;
    device->counters64 = device->version != SnmpVersion::V1 && !result.columns[HCIn].isEmpty();
    if (!result.scalars.isEmpty() && result.scalars.first().type == SnmpValue::OctetString)
        device->sysName = QString::fromUtf8(result.scalars.first().bytes);

    // Each column by index; an index in any of them is a port.
    std::map<quint32, std::map<int, SnmpValue>> rows;
    for (int column = 0; column < HCIn; ++column) {
        for (const WalkRow &row : result.columns[column]) {
            if (row.suffix.size() == 1)
                rows[row.suffix.first()][column] = row.value;
        }
    }
    for (const auto &[index, values] : rows) {
        Device::Port &port = device->ports[index]; // a new port starts without readings
        const auto text = [&values](int column) {
            const auto found = values.find(column);
            return found == values.end() ? QString() : QString::fromUtf8(found->second.bytes);
        };
        const auto number = [&values](int column) -> std::uint64_t {
            const auto found = values.find(column);
            return found == values.end() ? 0 : found->second.number;
        };
        port.descr = text(Descr);
        port.name = text(Name);
        if (port.name.isEmpty())
            port.name = port.descr;
        if (port.name.isEmpty())
            port.name = QStringLiteral("ifIndex %1").arg(index);
        port.alias = text(Alias);
        const auto type = values.find(Type);
        port.type = type == values.end() ? 0 : int(type->second.integer);
        port.speed = portSpeed(number(Speed), number(HighSpeed));
    }
    device->inventoried = true;
    device->inventoryNeeded = false;
    if (device->afterTables)
        complete(*device);
    else
        startTables(*device);
}

bool DevicePoller::openSession(Device &device)
{
    if (device.exchange && device.exchange->isOpen())
        return true;
    device.exchange = std::make_unique<SnmpExchange>();
    const int id = device.id;
    device.exchange->watch(this, [this, id] { readable(id); });
    const quint16 port = device.host.port;
    if (device.version == SnmpVersion::V3) {
        const QString peer = SnmpHost::peerName(*device.address, port);
        const QByteArray engine = SnmpSession::knownEngine(peer);
        SnmpFailure failure = SnmpFailure::None;
        if (!device.spec.security || engine.isEmpty() || SnmpSession::isSilent(peer) ||
            !device.exchange->openUser(*device.address, port, engine, *device.spec.security,
                                       &failure)) {
            device.inventoryNeeded = true; // the walk learns the engine ID again
            device.exchange.reset();
            fail(device, failure == SnmpFailure::None
                             ? QStringLiteral("The agent's SNMP v3 engine is to be learnt again.")
                             : snmpFailureText(failure));
            return false;
        }
        return true;
    }
    if (!device.exchange->openCommunity(device.version == SnmpVersion::V1 ? SnmpVersion::V1
                                                                          : SnmpVersion::V2c,
                                        device.spec.community, *device.address, port)) {
        device.exchange.reset();
        fail(device, QStringLiteral("No SNMP session to %1 could be opened.")
                         .arg(device.spec.address));
        return false;
    }
    return true;
}

void DevicePoller::startTables(Device &device)
{
    if (!openSession(device))
        return;
    device.columns.reset(pollRoots(device.counters64));
    const int wanted = int(device.ports.size()) + 1; // one past the last: the end in one reply
    device.repetitions = std::clamp(wanted, 1, std::max(1, device.repetitionCap));
    device.readAtMs = ReadingClock::nowMs();
    device.deadline.start(m_deadlineMs);
    sendStep(device);
}

void DevicePoller::sendStep(Device &device)
{
    QList<SnmpOid> names = device.columns.nextNames();
    const bool v1 = device.version == SnmpVersion::V1;
    device.nonRepeaters = 0;
    if (!device.uptime) { // until a reply carried it
        names.prepend(sysUpTimeColumn());
        device.nonRepeaters = 1;
    }
    device.exchange->forgetRequests(); // a late answer to the step before is not this one's
    const SnmpExchange::Sent sent = device.exchange->send(
        v1 ? SnmpExchange::Command::GetNext : SnmpExchange::Command::GetBulk, names,
        device.repetitions, device.nonRepeaters);
    device.poll.maxRepetitions = v1 ? 0 : device.repetitions;
    switch (sent) {
    case SnmpExchange::Sent::Ok:
        ++device.poll.roundTrips;
        ++device.poll.datagrams;
        return;
    case SnmpExchange::Sent::Refused:
        fail(device, QStringLiteral("No answer from %1: no SNMP agent listens at this address "
                                    "and port.")
                         .arg(device.spec.address));
        return;
    case SnmpExchange::Sent::Failed:
        fail(device,
             QStringLiteral("The request to %1 could not be sent.").arg(device.spec.address));
        return;
    }
}

void DevicePoller::readable(int id)
{
    Device *device = find(id);
    if (!device || !device->exchange)
        return;
    device->exchange->read();
    if (!device->exchange->hasReply())
        return;
    SnmpReply reply = device->exchange->takeReply();
    if (!device->busy || !device->deadline.isActive())
        return; // late: its poll is over
    ++device->poll.datagrams;
    device->exchange->forgetRequests();
    if (reply.report != SnmpFailure::None) {
        // The walk learns the engine again at the next poll.
        device->inventoryNeeded = true;
        device->exchange.reset();
        fail(*device, snmpFailureText(reply.report));
        return;
    }
    const bool v1 = device->version == SnmpVersion::V1;
    if (reply.errorStatus == SnmpErrTooBig && !v1 && device->repetitions > 1) {
        device->repetitions = std::max(1, device->repetitions / 2);
        device->repetitionCap = device->repetitions;
        sendStep(*device);
        return;
    }
    if (reply.errorStatus == SnmpErrNoSuchName && v1) {
        device->columns.endAsked(); // the end of the agent's view
    } else if (reply.errorStatus != 0) {
        fail(*device, QStringLiteral("%1 answered with error-status %2.")
                          .arg(device->spec.address)
                          .arg(reply.errorStatus));
        return;
    } else {
        const std::size_t first = std::size_t(device->nonRepeaters);
        if (first > 0 && !reply.bindings.empty() &&
            reply.bindings.front().name == IfMib::sysUpTime0() &&
            reply.bindings.front().value.type == SnmpValue::TimeTicks)
            device->uptime = quint32(reply.bindings.front().value.number);
        QString error;
        const BulkColumns::Step step = device->columns.take(reply.bindings, first, &error);
        if (step == BulkColumns::Step::Failed) {
            fail(*device, QStringLiteral("%1: %2.").arg(device->spec.address, error));
            return;
        }
        if (step == BulkColumns::Step::More && !v1 && !device->columns.lastEndedColumn() &&
            device->columns.lastRows() < device->repetitions) {
            // The agent sent fewer rows than asked: its replies are that large at most.
            device->repetitions = std::max(1, device->columns.lastRows());
            device->repetitionCap = device->repetitions;
        }
        if (step == BulkColumns::Step::More) {
            sendStep(*device);
            return;
        }
    }
    // With v1's noSuchName some columns may still be open.
    const QList<SnmpOid> open = device->columns.nextNames();
    if (!open.isEmpty()) {
        sendStep(*device);
        return;
    }
    device->deadline.stop();
    const BulkColumns &columns = device->columns;
    bool unknown = false;
    for (const auto &values : {columns.values(Oper), columns.values(InOctets)}) {
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            unknown = unknown || !device->ports.count(it.key());
    }
    const bool restarted = device->lastUptime && device->uptime &&
                           *device->uptime < *device->lastUptime;
    if (restarted || unknown) {
        // Names after a restart (ifIndex may be renumbered) and for ports not known yet.
        device->afterTables = true;
        startInventory(*device);
        return;
    }
    complete(*device);
}

void DevicePoller::deadline(int id)
{
    Device *device = find(id);
    if (!device || !device->busy)
        return;
    if (device->exchange && device->version == SnmpVersion::V3) {
        device->exchange->unanswered();
        device->exchange.reset();
    }
    fail(*device, QStringLiteral("No answer from %1 within %2 s.")
                      .arg(device->spec.address)
                      .arg(m_deadlineMs / 1000.0));
}

void DevicePoller::complete(Device &device)
{
    DevicePoll &poll = device.poll;
    const BulkColumns &columns = device.columns;
    poll.answered = true;
    poll.everAnswered = device.everAnswered = true;
    poll.version = device.version;
    poll.counters64 = device.counters64;
    poll.sysName = device.sysName;
    poll.uptime = device.uptime.value_or(0);
    poll.restarted = device.lastUptime && device.uptime && *device.uptime < *device.lastUptime;
    QString restart;
    if (poll.restarted) {
        restart = QStringLiteral("agent restarted (uptime %1)")
                      .arg(PollRun::uptimeText(*device.uptime));
        poll.notes << QStringLiteral("The agent restarted (uptime %1).")
                          .arg(PollRun::uptimeText(*device.uptime));
    }
    if (device.uptime)
        device.lastUptime = device.uptime;
    device.silentSince = QDateTime();

    // The ports of this poll: every index with a state or an octet counter.
    std::map<quint32, bool> present;
    for (const auto &values : {columns.values(Oper), columns.values(InOctets)}) {
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            present[it.key()] = true;
    }
    for (auto it = device.ports.begin(); it != device.ports.end();) {
        if (present.count(it->first)) {
            ++it;
            continue;
        }
        poll.notes << QStringLiteral("Interface %1 (%2) is no longer in the agent's table.")
                          .arg(it->first)
                          .arg(it->second.name);
        it = device.ports.erase(it);
    }
    const quint8 octetType = device.counters64 ? SnmpValue::Counter64 : SnmpValue::Counter32;
    for (const auto &[index, unused] : present) {
        Q_UNUSED(unused);
        auto found = device.ports.find(index);
        if (found == device.ports.end()) {
            found = device.ports.emplace(index, Device::Port{}).first;
            found->second.name = QStringLiteral("ifIndex %1").arg(index);
        }
        Device::Port &port = found->second;
        PortResult result;
        result.ifIndex = index;
        result.name = port.name;
        result.alias = port.alias;
        result.descr = port.descr;
        result.type = port.type;
        result.speed = port.speed;
        PortCounters &c = result.counters;
        c.width = device.counters64 ? 64 : 32;
        c.inOctets = counterValue(columns, InOctets, index, octetType);
        c.outOctets = counterValue(columns, OutOctets, index, octetType);
        c.adminStatus = statusValue(columns, Admin, index);
        c.operStatus = statusValue(columns, Oper, index);
        c.inErrors = counterValue(columns, InErrors, index, SnmpValue::Counter32);
        c.outErrors = counterValue(columns, OutErrors, index, SnmpValue::Counter32);
        c.inDiscards = counterValue(columns, InDiscards, index, SnmpValue::Counter32);
        c.outDiscards = counterValue(columns, OutDiscards, index, SnmpValue::Counter32);
        result.rates = port.tracker.take(c, {device.readAtMs, m_interval, port.speed, restart});
        poll.ports.append(result);
    }
    finish(device);
}

void DevicePoller::fail(Device &device, const QString &problem)
{
    device.deadline.stop();
    if (device.walker) {
        device.walker->cancel();
        device.walker.release()->deleteLater();
    }
    if (device.exchange)
        device.exchange->forgetRequests();
    DevicePoll &poll = device.poll;
    poll.answered = false;
    poll.problem = problem;
    poll.everAnswered = device.everAnswered;
    poll.version = device.version;
    poll.counters64 = device.counters64;
    poll.sysName = device.sysName;
    if (!device.silentSince.isValid())
        device.silentSince = poll.time;
    poll.silentSince = device.silentSince;
    // The ports stay in the list: this poll is a gap for each of them.
    for (const auto &[index, port] : device.ports) {
        PortResult result;
        result.ifIndex = index;
        result.name = port.name;
        result.alias = port.alias;
        result.descr = port.descr;
        result.type = port.type;
        result.speed = port.speed;
        result.counters.width = device.counters64 ? 64 : 32;
        result.rates.reason = problem;
        poll.ports.append(result);
    }
    finish(device);
}

void DevicePoller::finish(Device &device)
{
    device.busy = false;
    --m_outstanding;
    const DevicePoll poll = device.poll;
    const bool last = --m_pending == 0;
    QMetaObject::invokeMethod(this, &DevicePoller::launch, Qt::QueuedConnection);
    Q_EMIT devicePolled(poll); // a receiver may remove the device
    if (last)
        Q_EMIT pollFinished();
}
