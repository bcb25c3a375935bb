#include "CommandLine.h"
#include "DeviceFile.h"
#include "IfMibAgent.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace
{

struct Result {
    int status = -1;
    QString out;
    QString err;
};

Result ostraline(const QStringList &arguments, int timeoutMs = 60000)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // No display: the command line must not need one.
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.remove("QT_QPA_PLATFORM");
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(OSTRALINE_EXECUTABLE), arguments);
    Result result;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return result;
    }
    result.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

// Three interfaces: two up with known speeds (one of them with a blank and a semicolon in
// its alias), one down with no speed at all.
QList<IfMibAgent::Interface> threeInterfaces()
{
    QList<IfMibAgent::Interface> list = IfMibAgent::synthetic(3);
    list[0].alias = "core; uplink 1";
    list[2].speed = 0;
    list[2].highSpeed = 0;
    list[2].operStatus = 2;
    return list;
}

} // namespace

class TestCommandLine : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A device file as the only argument still opens the window; anything with an option
    // goes to the command line.
    void windowArgument_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("window");
        QTest::addColumn<QString>("file");
        QTest::newRow("none") << QStringList{} << true << "";
        QTest::newRow("empty") << QStringList{""} << true << "";
        QTest::newRow("file") << QStringList{"routers.dev"} << true << "routers.dev";
        QTest::newRow("file with blanks")
            << QStringList{"my routers.dev"} << true << "my routers.dev";
        QTest::newRow("further arguments") << QStringList{"a.dev", "b.dev"} << true << "a.dev";
        QTest::newRow("after --") << QStringList{"--", "-odd.dev"} << true << "-odd.dev";
        QTest::newRow("lone dash") << QStringList{"-"} << true << "-";
        QTest::newRow("discover") << QStringList{"--discover", "h"} << false << "";
        QTest::newRow("file and an option") << QStringList{"a.dev", "--help"} << false << "";
    }

    void windowArgument()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, window);
        QFETCH(QString, file);
        const std::optional<QString> result = CommandLine::windowArgument(arguments);
        QCOMPARE(result.has_value(), window);
        if (window)
            QCOMPARE(*result, file);
    }

    void usage_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("stdoutHas");
        QTest::addColumn<QString>("stderrHas");
        QTest::newRow("help") << QStringList{"--help"} << 0 << "--discover <ADDRESS>"
                              << "";
        QTest::newRow("version") << QStringList{"--version"} << 0
                                 << "Ostraline " OSTRALINE_PROJECT_VERSION "\n"
                                 << "";
        QTest::newRow("unknown option") << QStringList{"--frobnicate"} << 2 << ""
                                        << "Unknown option 'frobnicate'";
        QTest::newRow("missing value") << QStringList{"--discover"} << 2 << ""
                                       << "Missing value after '--discover'";
        QTest::newRow("option without --discover") << QStringList{"--up-only"} << 2 << ""
                                                   << "need --discover";
        QTest::newRow("bad address") << QStringList{"--discover", "10.0.0.256"} << 2 << ""
                                     << "not a valid address";
        QTest::newRow("bad version")
            << QStringList{"--discover", "127.0.0.1:9", "--snmp-version", "3"} << 2 << ""
            << "auto, 1 or 2c";
        QTest::newRow("community with a semicolon")
            << QStringList{"--discover", "127.0.0.1:9", "--community", "a;b"} << 2 << ""
            << "semicolon";
        QTest::newRow("bad default bandwidth")
            << QStringList{"--discover", "127.0.0.1:9", "--default-bandwidth", "-5"} << 2 << ""
            << "--default-bandwidth";
    }

    void usage()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, stdoutHas);
        QFETCH(QString, stderrHas);
        const Result result = ostraline(arguments);
        QCOMPARE(result.status, status);
        QVERIFY2(result.out.contains(stdoutHas), qPrintable(result.out));
        QVERIFY2(result.err.contains(stderrHas), qPrintable(result.err));
        if (status == 2)
            QVERIFY(result.err.contains("Usage: ostraline"));
    }

    // Standard output is a device file: read back through the device-file reader, every line
    // holds the address as typed, the index, the bandwidth, the community and the name with
    // its alias. The interface without a speed is left out, with a note.
    void discoverToStandardOutput()
    {
        if (!IfMibAgent::isAvailable())
            QSKIP("snmpd or perl is not installed");
        IfMibAgent agent;
        agent.setInterfaces(threeInterfaces());
        QVERIFY2(agent.start(), qPrintable(agent.errorString()));
        const Result result = ostraline({"--discover", agent.host()});
        QCOMPARE(result.status, 0);
        const QStringList lines = DeviceFile::splitLines(result.out.toUtf8());
        QCOMPARE(lines,
                 QStringList({agent.host() + ";1;1000000000;public;ge-0/0/1 - core; uplink 1",
                              agent.host() + ";2;40000000000;public;ge-0/0/2 - uplink; rack 2"}));
        QVERIFY(result.out.endsWith("\n"));
        QVERIFY2(result.err.contains("bandwidth unknown"), qPrintable(result.err));
        QVERIFY(result.err.contains("--default-bandwidth"));
        QVERIFY(result.err.contains("SNMP v2c, discovery-test"));
    }

    void choices_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QStringList>("indexes");
        QTest::newRow("default bandwidth")
            << QStringList{"--default-bandwidth", "2048000"} << QStringList{"1", "2", "3"};
        QTest::newRow("up only") << QStringList{"--up-only", "--default-bandwidth", "1"}
                                 << QStringList{"1", "2"};
        QTest::newRow("v1") << QStringList{"--snmp-version", "1"} << QStringList{"1", "2"};
    }

    void choices()
    {
        QFETCH(QStringList, options);
        QFETCH(QStringList, indexes);
        if (!IfMibAgent::isAvailable())
            QSKIP("snmpd or perl is not installed");
        IfMibAgent agent;
        agent.setInterfaces(threeInterfaces());
        QVERIFY2(agent.start(), qPrintable(agent.errorString()));
        QTemporaryDir dir;
        const QString file = dir.filePath("agent.dev");
        const Result result =
            ostraline(QStringList{"--discover", agent.host(), "--output", file} + options);
        QCOMPARE(result.status, 0);
        QCOMPARE(result.out, QString());
        QStringList got;
        for (const QString &line : DeviceFile::readLines(file))
            got.append(DeviceFile::splitFields(line).interfaceIndex);
        QCOMPARE(got, indexes);
        if (options.contains("2048000"))
            QCOMPARE(DeviceFile::splitFields(DeviceFile::readLines(file).at(2)).bandwidth,
                     QString("2048000"));
        // The file holds a community: private to its owner.
        QCOMPARE(QFileInfo(file).permissions() & (QFile::ReadOther | QFile::ReadGroup),
                 QFile::Permissions());
    }

    // No answer: exit 1 with a message that names the address, after one retry per version.
    void noAnswer()
    {
        if (!IfMibAgent::isAvailable())
            QSKIP("snmpd or perl is not installed");
        IfMibAgent agent;
        QVERIFY2(agent.start(), qPrintable(agent.errorString()));
        const Result result =
            ostraline({"--discover", agent.host(), "--community", "wrong", "--snmp-version", "2c"});
        QCOMPARE(result.status, 1);
        QCOMPARE(result.out, QString());
        QVERIFY2(result.err.contains("No answer from " + agent.host()), qPrintable(result.err));
    }

    // More than 20 lines: all are written, with a note.
    void moreThanTwenty()
    {
        if (!IfMibAgent::isAvailable())
            QSKIP("snmpd or perl is not installed");
        IfMibAgent agent;
        agent.setInterfaces(IfMibAgent::synthetic(25));
        QVERIFY2(agent.start(), qPrintable(agent.errorString()));
        const Result result = ostraline({"--discover", agent.host()});
        QCOMPARE(result.status, 0);
        QCOMPARE(DeviceFile::splitLines(result.out.toUtf8(), 100).size(), 25);
        QVERIFY(result.err.contains("only the first 20 are polled"));
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
