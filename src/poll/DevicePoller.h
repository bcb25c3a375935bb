#pragma once

#include "PortReading.h"
#include "SnmpSecurity.h"
#include "SnmpVersion.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include <deque>
#include <map>
#include <memory>

class QHostAddress;
struct WalkResult;

// How to reach one device.
struct DeviceAccess {
    QString address; // host, IPv4 or [IPv6], optionally :port (see SnmpHost)
    SnmpVersion version = SnmpVersion::Auto; // Auto: v2c, else v1
    QByteArray community = "public";
    std::shared_ptr<const SnmpSecurity> security = {}; // for V3
};

// Polls every port of one or many devices in a few round trips per device, without blocking
// the thread it lives on (the GUI thread or a command line's loop).
//
// Per device per poll: GetBulk (v2c, v3; GetNext for v1) of sysUpTime.0 (asked once, as a
// non-repeater) and the columns the rates and states need: ifHCInOctets and ifHCOutOctets
// (ifInOctets/ifOutOctets where the agent has no 64-bit counters or speaks only v1),
// ifAdminStatus, ifOperStatus, ifInErrors, ifOutErrors, ifInDiscards, ifOutDiscards. The
// known ports are cut into stripes of as many rows as one reply of the agent holds (at first
// InitialValuesPerReply values, fewer once the agent answered tooBig, which halves a request,
// or sent fewer rows than asked), and every stripe's request leaves at once, at most
// MaxStripes per device: a poll takes one round trip while the ports are known, and the
// last stripe reads on to the end of the table, where new ports show. Each device keeps one
// session open across polls. A port's reading time is estimated from the replies: the agent
// answers one request after another and reads a reply's rows in order between the reply
// before it (or its request) and its own.
//
// Names, aliases and speeds (ifName, ifAlias, ifDescr, ifType, ifSpeed, ifHighSpeed) are
// read by an SnmpWalker walk when the device is added, after it restarted and when an
// ifIndex appears that was not known; an interface that disappears leaves the list with a
// note. The walk also tells the version an Auto device answers and learns a v3 engine ID.
//
// Time-outs follow SnmpTimeouts: a poll's requests share one deadline of PollDeadlineMs from
// the device's first request, without retransmission (the next poll is the retry); the walk
// has the walk policy. All devices are in flight at once, at most MaxOutstanding of them,
// the others queued. A failed poll is a gap and the device "silent since" its first failed
// poll; it is never taken out of the poll.
class DevicePoller : public QObject
{
    Q_OBJECT

public:
    static constexpr int MaxOutstanding = 64;
    // Values one reply is first expected to hold: net-snmp's default for a GetBulk answer, and
    // within a 1,500-byte datagram for most agents' counters.
    static constexpr int InitialValuesPerReply = 100;
    static constexpr int MaxStripes = 16; // requests in flight per device

    explicit DevicePoller(QObject *parent = nullptr);
    ~DevicePoller() override;

    // Adds a device (read at its next poll) and returns its id.
    int addDevice(const DeviceAccess &access);
    void removeDevice(int id);
    int deviceCount() const { return int(m_devices.size()); }

    // The nominal poll interval in seconds (the gap rule's base and the timer's period).
    void setInterval(int seconds);
    int interval() const { return m_interval; }
    // Polls now and then every interval; stop() ends the timer (polls in flight finish).
    void start();
    void stop();
    bool isRunning() const { return m_timer.isActive(); }
    // Starts one poll of every device not still in its previous one.
    void pollNow();
    bool inFlight() const;

    // For tests: a shorter deadline per poll and a shorter walk time-out.
    void setDeadlineMs(int ms) { m_deadlineMs = ms; }
    void setWalkTimeoutMs(int ms) { m_walkTimeoutMs = ms; }

Q_SIGNALS:
    // One per device per poll.
    void devicePolled(const DevicePoll &poll);
    // After every device of a pollNow() reported.
    void pollFinished();

private:
    struct Device;

    Device *find(int id) const;
    void launch();
    void begin(Device &device);
    void resolved(int id, const QHostAddress &address);
    void startInventory(Device &device);
    void inventoried(int id, const WalkResult &result);
    void startTables(Device &device);
    bool openSession(Device &device);
    bool sendStripe(Device &device, std::size_t k);
    void readable(int id);
    void tablesRead(Device &device);
    void deadline(int id);
    void fail(Device &device, const QString &problem);
    void complete(Device &device);
    void finish(Device &device);

    std::map<int, std::unique_ptr<Device>> m_devices;
    std::deque<int> m_queue;
    int m_outstanding = 0;
    int m_pending = 0; // devices of the current pollNow() not yet reported
    int m_nextId = 1;
    int m_interval = 10;
    int m_deadlineMs;
    int m_walkTimeoutMs;
    QTimer m_timer;
};
