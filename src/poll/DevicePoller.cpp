#include "DevicePoller.h"

#include "BulkColumns.h"
#include "IfMib.h"
#include "InterfaceDiscovery.h"
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
#include <array>

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

constexpr int PollColumns = 8;
using Columns = std::array<QMap<quint32, SnmpValue>, PollColumns>;

std::optional<std::uint64_t> counterValue(const Columns &columns, int column, quint32 index,
                                          quint8 type)
{
    const auto found = columns[std::size_t(column)].constFind(index);
    if (found == columns[std::size_t(column)].cend() || found->type != type)
        return std::nullopt;
    return found->number;
}

std::optional<int> statusValue(const Columns &columns, int column, quint32 index)
{
    const auto found = columns[std::size_t(column)].constFind(index);
    if (found == columns[std::size_t(column)].cend() || found->type != SnmpValue::Integer)
        return std::nullopt;
    return int(found->integer);
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
    DeviceAccess access;
    SnmpHost host;
    std::unique_ptr<QHostAddress> address;
    SnmpVersion version = SnmpVersion::Auto; // spoken, once an inventory answered
    bool counters64 = false;
    QString sysName;
    std::map<quint32, Port> ports;
    bool inventoried = false;    // names read at least once
    bool inventoryNeeded = true; // names to be read at the next poll
    bool afterTables = false;    // the running inventory follows this poll's tables

    // One part of the table read by its own requests, all parts at once.
    struct Stripe {
        BulkColumns columns;
        long requestId = 0; // of its request in flight
        int repetitions = 0;
        int nonRepeaters = 0;
        int requests = 0;
        qint64 sentAt = 0; // ReadingClock, of its request in flight
        bool done = false;
    };

    std::unique_ptr<SnmpWalker> walker;
    std::unique_ptr<SnmpExchange> exchange;
    QTimer deadline;
    std::vector<Stripe> stripes;
    int rowCap = InitialValuesPerReply / PollColumns; // rows per reply, lowered by the agent
    Columns values;                                   // this poll's, of every stripe
    QMap<quint32, qint64> readAt;                     // when each port's octets were read
    qint64 lastReplyAt = 0;                           // ReadingClock, this poll's

    bool queued = false;
    bool busy = false;
    DevicePoll poll;
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

int DevicePoller::addDevice(const DeviceAccess &access)
{
    auto device = std::make_unique<Device>();
    device->id = m_nextId++;
    device->access = access;
    device->host = SnmpHost::parse(access.address);
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
    device.poll.address = device.access.address;
    device.poll.time = QDateTime::currentDateTime();
    device.uptime.reset();
    device.afterTables = false;
    if (!device.host.isValid()) {
        fail(device, SnmpHost::problem(device.access.address));
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
    request.host = device.access.address;
    request.community = QString::fromUtf8(device.access.community);
    request.version = device.version != SnmpVersion::Auto ? device.version : device.access.version;
    request.security = device.access.security;
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
        device->sysName = Discovery::displayText(result.scalars.first().bytes);

    // Each column by index; an index in any of them is a port.
    std::map<quint32, std::map<int, SnmpValue>> rows;
    for (int column = 0; column < HCIn; ++column) {
        for (const WalkRow &row : result.columns[column]) {
            if (row.suffix.size() == 1)
                rows[row.suffix.first()][column] = row.value;
        }
    }
    for (const auto &entry : rows) {
        // Named, not bound: a structured binding cannot be captured by the lambdas below
        // with every compiler we build with.
        const quint32 index = entry.first;
        const std::map<int, SnmpValue> &values = entry.second;
        Device::Port &port = device->ports[index]; // a new port starts without readings
        // An agent's texts as one line without control or invisible characters.
        const auto text = [&values](int column) {
            const auto found = values.find(column);
            return found == values.end() ? QString() : Discovery::displayText(found->second.bytes);
        };
        const auto number = [&values](int column) -> std::optional<quint64> {
            const auto found = values.find(column);
            return found == values.end() ? std::nullopt
                                         : std::optional<quint64>(found->second.number);
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
        port.speed = Discovery::bandwidth(number(Speed), number(HighSpeed));
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
        if (!device.access.security || engine.isEmpty() || SnmpSession::isSilent(peer) ||
            !device.exchange->openUser(*device.address, port, engine, *device.access.security,
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
                                        device.access.community, *device.address, port)) {
        device.exchange.reset();
        fail(device,
             QStringLiteral("No SNMP session to %1 could be opened.").arg(device.access.address));
        return false;
    }
    return true;
}

void DevicePoller::startTables(Device &device)
{
    if (!openSession(device))
        return;
    device.exchange->forgetRequests();
    device.values = Columns();
    device.readAt.clear();
    device.lastReplyAt = 0;
    const bool v1 = device.version == SnmpVersion::V1;
    std::vector<quint32> known;
    for (const auto &entry : device.ports)
        known.push_back(entry.first);
    const int count = int(known.size());
    // Rows per stripe: what one reply holds (one row more marks the stripe's end); v1 reads a
    // row per request, so its stripes are as many as allowed.
    int size = v1 ? 1 : std::max(1, device.rowCap - 1);
    size = std::max(size, (count + MaxStripes - 1) / MaxStripes);
    const QList<SnmpOid> roots = pollRoots(device.counters64);
    device.stripes.clear();
    quint32 after = 0;
    for (int i = 0; i < count || device.stripes.empty(); i += size) {
        const bool lastStripe = i + size >= count;
        const quint32 last = lastStripe ? 0 : known[std::size_t(i + size - 1)];
        Device::Stripe &stripe = device.stripes.emplace_back();
        stripe.columns.reset(roots, after, last);
        // The last stripe reads on to the table's end, which one more row shows.
        stripe.repetitions = std::clamp((lastStripe ? count - i : size) + 1, 1, device.rowCap);
        after = last;
    }
    device.deadline.start(m_deadlineMs);
    for (std::size_t k = 0; k < device.stripes.size(); ++k) {
        if (!sendStripe(device, k))
            return;
    }
}

bool DevicePoller::sendStripe(Device &device, std::size_t k)
{
    Device::Stripe &stripe = device.stripes[k];
    QList<SnmpOid> names = stripe.columns.nextNames();
    const bool v1 = device.version == SnmpVersion::V1;
    stripe.nonRepeaters = 0;
    if (k == 0 && !device.uptime) { // until a reply carried it
        names.prepend(sysUpTimeColumn());
        stripe.nonRepeaters = 1;
    }
    const SnmpExchange::Sent sent =
        device.exchange->send(v1 ? SnmpExchange::Command::GetNext : SnmpExchange::Command::GetBulk,
                              names, stripe.repetitions, stripe.nonRepeaters);
    switch (sent) {
    case SnmpExchange::Sent::Ok:
        stripe.requestId = device.exchange->lastRequestId();
        stripe.sentAt = ReadingClock::nowMs();
        ++stripe.requests;
        ++device.poll.requests;
        ++device.poll.datagrams;
        device.poll.roundTrips = std::max(device.poll.roundTrips, stripe.requests);
        if (!v1)
            device.poll.maxRepetitions = std::max(device.poll.maxRepetitions, stripe.repetitions);
        return true;
    case SnmpExchange::Sent::Refused:
        fail(device, QStringLiteral("No answer from %1: no SNMP agent listens at this address "
                                    "and port.")
                         .arg(device.access.address));
        return false;
    case SnmpExchange::Sent::Failed:
        fail(device,
             QStringLiteral("The request to %1 could not be sent.").arg(device.access.address));
        return false;
    }
    return false;
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
    if (reply.report != SnmpFailure::None) {
        // The walk learns the engine again at the next poll.
        device->inventoryNeeded = true;
        device->exchange.reset();
        fail(*device, snmpFailureText(reply.report));
        return;
    }
    const auto stripe = std::find_if(
        device->stripes.begin(), device->stripes.end(),
        [&reply](const Device::Stripe &s) { return !s.done && s.requestId == reply.requestId; });
    if (stripe == device->stripes.end())
        return; // an answer to a request of a stripe that moved on
    const std::size_t k = std::size_t(stripe - device->stripes.begin());
    stripe->requestId = 0;
    const bool v1 = device->version == SnmpVersion::V1;
    if (reply.errorStatus == SnmpErrTooBig && !v1 && stripe->repetitions > 1) {
        stripe->repetitions = std::max(1, stripe->repetitions / 2);
        device->rowCap = std::min(device->rowCap, stripe->repetitions);
        sendStripe(*device, k);
        return;
    }
    if (reply.errorStatus == SnmpErrNoSuchName && v1) {
        stripe->columns.endAsked(); // the end of the agent's view
    } else if (reply.errorStatus != 0) {
        fail(*device, QStringLiteral("%1 answered with error-status %2.")
                          .arg(device->access.address)
                          .arg(reply.errorStatus));
        return;
    } else {
        const std::size_t first = std::size_t(stripe->nonRepeaters);
        if (first > 0 && !reply.bindings.empty() &&
            reply.bindings.front().name == IfMib::sysUpTime0() &&
            reply.bindings.front().value.type == SnmpValue::TimeTicks)
            device->uptime = quint32(reply.bindings.front().value.number);
        // An agent answers the requests of a poll one after another: this one's values were
        // read after the reply before it (or its own request) and before it came back.
        const qint64 now = ReadingClock::nowMs();
        const qint64 from = std::max(stripe->sentAt, device->lastReplyAt);
        device->lastReplyAt = now;
        QString error;
        const BulkColumns::Step step =
            stripe->columns.take(reply.bindings, first, from, now, &error);
        if (step == BulkColumns::Step::Failed) {
            fail(*device, QStringLiteral("%1: %2.").arg(device->access.address, error));
            return;
        }
        const int rows = stripe->columns.lastRows();
        if (step == BulkColumns::Step::More && !v1 && !stripe->columns.lastEndedColumn() &&
            rows > 0 && rows < stripe->repetitions) {
            // The agent sent fewer rows than asked: its replies hold that many at most.
            stripe->repetitions = rows;
            device->rowCap = std::min(device->rowCap, rows);
        }
    }
    if (!stripe->columns.nextNames().isEmpty()) {
        sendStripe(*device, k);
        return;
    }
    stripe->done = true;
    if (std::any_of(device->stripes.cbegin(), device->stripes.cend(),
                    [](const Device::Stripe &s) { return !s.done; }))
        return;
    tablesRead(*device);
}

void DevicePoller::tablesRead(Device &device)
{
    device.deadline.stop();
    device.exchange->forgetRequests();
    for (const Device::Stripe &stripe : device.stripes) {
        for (int column = 0; column < PollColumns; ++column)
            device.values[std::size_t(column)].insert(stripe.columns.values(column));
        device.readAt.insert(stripe.columns.readAt());
    }
    bool unknown = false;
    for (const auto &values : {device.values[Oper], device.values[InOctets]}) {
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            unknown = unknown || !device.ports.count(it.key());
    }
    const bool restarted =
        device.lastUptime && device.uptime && *device.uptime < *device.lastUptime;
    if (restarted || unknown) {
        // Names after a restart (ifIndex may be renumbered) and for ports not known yet.
        device.afterTables = true;
        startInventory(device);
        return;
    }
    complete(device);
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
                      .arg(device->access.address)
                      .arg(m_deadlineMs / 1000.0));
}

void DevicePoller::complete(Device &device)
{
    DevicePoll &poll = device.poll;
    const Columns &columns = device.values;
    poll.answered = true;
    poll.everAnswered = device.everAnswered = true;
    poll.version = device.version;
    poll.counters64 = device.counters64;
    poll.sysName = device.sysName;
    poll.uptime = device.uptime.value_or(0);
    poll.restarted = device.lastUptime && device.uptime && *device.uptime < *device.lastUptime;
    QString restart;
    if (poll.restarted) {
        restart =
            QStringLiteral("agent restarted (uptime %1)").arg(PollRun::uptimeText(*device.uptime));
        poll.notes << QStringLiteral("The agent restarted (uptime %1).")
                          .arg(PollRun::uptimeText(*device.uptime));
    }
    if (device.uptime)
        device.lastUptime = device.uptime;
    device.silentSince = QDateTime();

    // The ports of this poll: every index with a state or an octet counter.
    std::map<quint32, bool> present;
    for (const auto &values : {columns[Oper], columns[InOctets]}) {
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
        const qint64 readAt = device.readAt.value(index, ReadingClock::nowMs());
        result.rates = port.tracker.take(c, {readAt, m_interval, port.speed, restart});
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
    const bool last = --m_pending == 0;
    // From the event loop: the caller may still be using the device, and a receiver may
    // remove it.
    QMetaObject::invokeMethod(
        this,
        [this, poll = device.poll, last] {
            Q_EMIT devicePolled(poll);
            if (last)
                Q_EMIT pollFinished();
            launch();
        },
        Qt::QueuedConnection);
}
