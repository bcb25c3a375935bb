// `ostraline --ports` as the operator runs it, without a display, against a real agent with
// a 60-port table whose counters are known functions of time: the table and CSV reports, the
// sort, --count, and the exit status of an agent that never answers and of bad usage.

#include "CommandRun.h"
#include "PortTableAgent.h"
#include "SnmpdProcess.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTest>

class TestPortsCommand : public QObject
{
    Q_OBJECT

    PortTableAgent m_agent;

private Q_SLOTS:
    void initTestCase()
    {
        if (!PortTableAgent::isAvailable())
            QSKIP("snmpd or perl is not installed");
        QVERIFY(m_agent.setPorts(PortTableAgent::ports(60)));
        QVERIFY2(m_agent.start(), qPrintable(m_agent.errorString()));
    }

    // Two reports (three polls): a heading, the column titles and every port, busiest first.
    void table()
    {
        const Result r = ostraline(
            {"--ports", m_agent.host(), "--interval", "1", "--count", "2", "--sort", "in"});
        QVERIFY2(r.status == 0, qPrintable(r.err));
        QVERIFY(r.err.contains("rates after the next poll"));
        const QStringList reports = r.out.split("\n\n", Qt::SkipEmptyParts);
        QCOMPARE(reports.size(), 2);
        for (const QString &report : reports) {
            const QStringList lines = report.split('\n', Qt::SkipEmptyParts);
            QCOMPARE(lines.size(), 2 + 60);
            QVERIFY2(QRegularExpression("^port-table-test \\(127\\.0\\.0\\.1:\\d+\\) at "
                                        "\\d\\d:\\d\\d:\\d\\d: 60 ports, 52 up; 1 round trip, "
                                        "12 datagrams$")
                         .match(lines[0])
                         .hasMatch(),
                     qPrintable(lines[0]));
            QVERIFY(lines[1].startsWith("  INDEX NAME"));
            // Port 60 has the highest in rate (61 MB/s of 1 Gbit/s), errors and no alias; port
            // 59 comes next.
            QVERIFY2(QRegularExpression("^ +60 Gi1/0/60 +up +1 Gbit/s +4\\d\\d Mbit/s +2\\d\\d "
                                        "Mbit/s +4\\d\\.\\d % +2\\d\\.\\d % +[1-9]\\d* +0$")
                         .match(lines[2])
                         .hasMatch(),
                     qPrintable(lines[2]));
            QVERIFY(lines[3].startsWith("     59 Gi1/0/59"));
            // Port 7 is down; port 6 counts errors.
            const QString seven = lines.filter(QRegularExpression("^ +7 Gi1/0/7 ")).value(0);
            QVERIFY2(seven.contains(" down "), qPrintable(seven));
            const QString six = lines.filter(QRegularExpression("^ +6 Gi1/0/6 ")).value(0);
            QVERIFY2(QRegularExpression(" [1-9]\\d* +0 +desk 6$").match(six).hasMatch(),
                     qPrintable(six));
        }
    }

    void csv()
    {
        const Result r = ostraline({"--ports", m_agent.host(), "--interval", "1", "--count", "1",
                                    "--format", "csv", "--sort", "name"});
        QVERIFY2(r.status == 0, qPrintable(r.err));
        const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 1 + 60);
        QCOMPARE(lines[0], QStringLiteral("time,address,ifIndex,name,alias,admin,oper,speed,"
                                          "in_bps,out_bps,in_util,out_util,in_errors,out_errors,"
                                          "in_discards,out_discards,outcome,reason"));
        // Sorted by name: Gi1/0/1, Gi1/0/10, Gi1/0/11, ...
        QVERIFY(lines[1].contains(",1,Gi1/0/1,desk 1,"));
        QVERIFY(lines[2].contains(",10,Gi1/0/10,"));
        for (const QString &line : lines.mid(1)) {
            const QStringList fields = line.split(',');
            QCOMPARE(fields.size(), 18);
            QCOMPARE(fields[16], QStringLiteral("good"));
            const double expected = 8e6 * (fields[2].toInt() % 100 + 1);
            QVERIFY2(std::abs(fields[8].toDouble() - expected) < 0.02 * expected, qPrintable(line));
        }
    }

    void exitStatus_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("stderrHas");
        const QString nobody = "127.0.0.1:" + QString::number(SnmpdProcess::freeUdpPort());
        QTest::newRow("never answered")
            << QStringList{"--ports", nobody, "--count", "1", "--interval", "1"} << 1
            << "No answer from " + nobody;
        QTest::newRow("format") << QStringList{"--ports", nobody, "--format", "xml"} << 2
                                << "--format must be table or csv";
        QTest::newRow("count 0") << QStringList{"--ports", nobody, "--count", "0"} << 2
                                 << "--count must be a whole number above 0";
        QTest::newRow("sort") << QStringList{"--ports", nobody, "--sort", "speed"} << 2
                              << "--sort must be in, out, util, errors or name";
        QTest::newRow("interval") << QStringList{"--ports", nobody, "--interval", "0"} << 2
                                  << "--interval must be a whole number of seconds";
        QTest::newRow("address") << QStringList{"--ports", "10.0.0.256"} << 2
                                 << "is not a valid address";
        QTest::newRow("without --ports") << QStringList{"--count", "3"} << 2 << "need --ports";
        QTest::newRow("with --discover")
            << QStringList{"--ports", nobody, "--discover", nobody} << 2 << "two commands";
        QTest::newRow("v3 options without v3")
            << QStringList{"--ports", nobody, "--user", "u"} << 2 << "need --snmp-version 3";
    }

    void exitStatus()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, stderrHas);
        const Result r = ostraline(arguments, {}, 30000);
        QCOMPARE(r.status, status);
        QVERIFY2(r.err.contains(stderrHas), qPrintable(r.err));
        QVERIFY(r.out.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestPortsCommand)
#include "tst_portscommand.moc"
