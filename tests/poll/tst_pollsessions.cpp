#include "DeviceFile.h"
#include "GetStep.h"
#include "InterfaceList.h"
#include "InterfaceTable.h"
#include "SnmpAgent.h"

#include <QDir>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace
{

constexpr int PerAgent = 10;

qsizetype openFiles()
{
    return QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size();
}

} // namespace

// The get step's SNMP sessions: one per agent, kept across polls, so the open files do not
// grow with the interfaces or the polls; a load closes the sessions of agents it no longer
// lists.
class TestPollSessions : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<SnmpAgent> m_agents[2];

    QString line(int agent, int ifIndex) const
    {
        return m_agents[agent]->host() + QStringLiteral(";%1;100000000;").arg(ifIndex) +
               SnmpAgent::community() + QStringLiteral(";if%1").arg(ifIndex);
    }

    // One get step to its end; the number of readings that came back.
    static int poll(Poller &poller, const InterfaceTable &table, const InterfaceList &list)
    {
        QSignalSpy finished(&poller, &Poller::getFinished);
        if (!poller.start() || !finished.wait(5000))
            return -1;
        int readings = 0;
        for (int row = 1; row <= list.count(); ++row)
            readings += (table.cell(Col::OrgIn, row).isEmpty() ? 0 : 1) +
                        (table.cell(Col::OrgOut, row).isEmpty() ? 0 : 1);
        return readings;
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (!SnmpAgent::isAvailable())
            QSKIP("snmpd is not installed");
        for (auto &agent : m_agents) {
            agent = std::make_unique<SnmpAgent>();
            for (int i = 1; i <= PerAgent; ++i)
                agent->setCounters(i, 100u * quint32(i), 200u * quint32(i));
            QVERIFY2(agent->start(), qPrintable(agent->errorString()));
        }
    }

    void openFilesStayAcrossPollsAndLoadClosesUnlisted()
    {
        InterfaceTable table;
        InterfaceList list;
        table.writeHeaderAndInitialValues();
        QStringList lines;
        for (int agent = 0; agent < 2; ++agent)
            for (int i = 1; i <= PerAgent; ++i)
                lines << line(agent, i);
        DeviceFile::store(lines, table, list);
        Poller poller(table, list);

        const qsizetype before = openFiles();
        QCOMPARE(poll(poller, table, list), 4 * PerAgent);
        const qsizetype afterFirst = openFiles();
        // One socket per agent, not one per counter (40 requests).
        QVERIFY2(afterFirst - before <= 2, qPrintable(QStringLiteral("%1 new open files for 2 "
                                                                     "agents")
                                                          .arg(afterFirst - before)));
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(poll(poller, table, list), 4 * PerAgent);
            QCOMPARE(openFiles(), afterFirst);
        }

        // A load that lists only the first agent: the second one's session is closed at once.
        lines.clear();
        for (int i = 1; i <= PerAgent; ++i)
            lines << line(0, i);
        list.clear();
        DeviceFile::store(lines, table, list);
        poller.closeUnlistedSessions();
        QCOMPARE(openFiles(), afterFirst - 1);
        QCOMPARE(poll(poller, table, list), 2 * PerAgent);
        QCOMPARE(openFiles(), afterFirst - 1);

        // A load that lists none of them closes every session.
        list.clear();
        DeviceFile::store({}, table, list);
        poller.closeUnlistedSessions();
        QCOMPARE(openFiles(), afterFirst - 2);
    }
};

QTEST_GUILESS_MAIN(TestPollSessions)
#include "tst_pollsessions.moc"
