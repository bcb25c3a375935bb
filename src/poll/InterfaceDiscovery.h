#pragma once

#include "MaxInterfaces.h"
#include "SnmpWalker.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

// One interface found on an agent, from its IF-MIB ifTable and ifXTable rows.
struct DiscoveredInterface {
    quint32 index = 0;
    QString name; // ifName, else ifDescr
    QString descr;
    QString alias;
    int type = 0;            // ifType (IANAifType), 0 when unknown
    int adminStatus = 0;     // 1 up, 2 down, 3 testing; 0 when unknown
    int operStatus = 0;      // 1 up, 2 down, ... 7 lowerLayerDown; 0 when unknown
    bool counters64 = false; // ifHCInOctets is there
    quint64 bandwidth = 0;   // bit/s; 0 = unknown
};

struct DiscoveryResult {
    QString address; // as typed
    QString community;
    QString sysName;
    SnmpVersion version = SnmpVersion::V2c; // the version that answered
    bool answered = false;
    QString message;                       // why the walk ended early; empty when complete
    QStringList warnings;                  // columns that ended early
    QList<DiscoveredInterface> interfaces; // by ifIndex
    int requests = 0;
    SnmpFailure failure = SnmpFailure::None; // v3: why the agent refused or kept silent
};

// What is asked of the agent and what is made of the answers.
namespace Discovery
{

inline constexpr int MaxPolled = MaxInterfaces; // the board's limit

// The IF-MIB columns walked (after sysName.0), in this order.
QList<WalkColumn> columns();
WalkRequest request(const QString &address, const QString &community, SnmpVersion version,
                    std::shared_ptr<const SnmpSecurity> security = {});

// The entries of a walk, one per ifIndex in index order.
QList<DiscoveredInterface> interfaces(const WalkResult &walk);

// ifHighSpeed x 1,000,000 when ifHighSpeed is there and non-zero and ifSpeed is the 32-bit
// ceiling or below the range that ifHighSpeed stands for (a wrapped or missing ifSpeed);
// otherwise ifSpeed. 0 means unknown.
quint64 bandwidth(std::optional<quint64> ifSpeed, std::optional<quint64> ifHighSpeed);

// An agent's text as one line: UTF-8 when it is valid UTF-8, else Latin-1; control
// characters become blanks, invisible format characters (bidirectional overrides and
// isolates, zero-width characters: Unicode category Cf) are removed, and trailing NULs and
// blanks go.
QString displayText(const QByteArray &bytes);

// Up, and neither loopback, virtual nor null (an other-typed interface named "Null...").
bool isPreChecked(const DiscoveredInterface &entry);

// Which interfaces the window checks at first (one flag per entry, in the order given): of
// those that qualify (isPreChecked), at most MaxPolled, the fastest first (a switch's uplinks
// before its access ports), equal speeds and unknown ones by ifIndex.
QList<bool> preCheckSelection(const QList<DiscoveredInterface> &interfaces);

// The device-file order of discovery: the interfaces the window checks at first, by ifIndex
// (as the window lists and saves them), then the others that qualify, then the rest, each by
// ifIndex. The first MaxPolled lines are thus the window's pre-checked ones.
QList<DiscoveredInterface> inCheckOrder(const QList<DiscoveredInterface> &interfaces);

// name, then " - " and the alias when the alias is not empty.
QString description(const DiscoveredInterface &entry);

// One device-file line: address;index;bandwidth;community;description.
QString deviceLine(const QString &address, const DiscoveredInterface &entry,
                   const QString &community);

// Why a community cannot be written into a device file (a semicolon or a line break would
// split the line), or empty.
QString communityProblem(const QString &community);

// The device file name proposed for a result: the sysName, else the address, with ".dev";
// characters that do not belong in a file name become "_".
QString proposedFileName(const QString &sysName, const QString &address);

QString typeName(int type);
QString statusName(int status);

} // namespace Discovery

// Walks one agent's interfaces and hands back the entries. Runs on the event loop; see
// SnmpWalker for time-outs, retries and where a walk stops.
class InterfaceDiscovery : public QObject
{
    Q_OBJECT

public:
    explicit InterfaceDiscovery(QObject *parent = nullptr);

    // security: the user and its settings for SnmpVersion::V3 (the community is not sent then).
    void start(const QString &address, const QString &community, SnmpVersion version,
               std::shared_ptr<const SnmpSecurity> security = {});
    void cancel() { m_walker.cancel(); }
    // The whole walk's deadline for the walks started from now on (60 s by default).
    void setDeadlineMs(int ms) { m_deadlineMs = ms; }
    bool isRunning() const { return m_walker.isRunning(); }
    SnmpWalker &walker() { return m_walker; }

Q_SIGNALS:
    void progress(int values, int requests);
    void finished(const DiscoveryResult &result);

private:
    void walked(const WalkResult &walk);

    SnmpWalker m_walker;
    QString m_address;
    QString m_community;
    int m_deadlineMs = WalkRequest().deadlineMs;
};

Q_DECLARE_METATYPE(DiscoveryResult)
