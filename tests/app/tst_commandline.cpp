#include "AgentProfileFile.h"
#include "CommandLine.h"
#include "CommandRun.h"
#include "DeviceFile.h"
#include "IfMibAgent.h"
#include "ScriptedAgent.h"
#include "SnmpAgent.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "UnderSanitizer.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

namespace
{

// Peak resident memory of a running process in MB (VmHWM), 0 when unknown.
qint64 peakMegabytes(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong() / 1024;
    }
    return 0;
}

struct Watched {
    Result result;
    qint64 elapsedMs = 0;
    qint64 peakMb = 0;
};

// Runs the program like ostraline(), watching its peak memory; kills it once it passes
// killAboveMb (so a fault cannot take the machine's memory) or timeoutMs.
Watched watchedOstraline(const QStringList &arguments, int timeoutMs, qint64 killAboveMb)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.remove("QT_QPA_PLATFORM");
    process.setProcessEnvironment(env);
    Watched watched;
    QElapsedTimer clock;
    clock.start();
    process.start(QStringLiteral(OSTRALINE_EXECUTABLE), arguments);
    process.waitForStarted();
    while (!process.waitForFinished(100)) {
        watched.peakMb = std::max(watched.peakMb, peakMegabytes(process.processId()));
        if (watched.peakMb > killAboveMb || clock.elapsed() > timeoutMs) {
            process.kill();
            process.waitForFinished();
            break;
        }
    }
    watched.elapsedMs = clock.elapsed();
    watched.result.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    watched.result.out = QString::fromUtf8(process.readAllStandardOutput());
    watched.result.err = QString::fromUtf8(process.readAllStandardError());
    return watched;
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
        QTest::newRow("lone dash") << QStringList{"-"} << false << "";
        QTest::newRow("dash after --") << QStringList{"--", "-"} << true << "-";
        QTest::newRow("discover") << QStringList{"--discover", "h"} << false << "";
        QTest::newRow("file and an option") << QStringList{"a.dev", "--help"} << false << "";
        // Qt's own options go to Qt wherever they stand before "--"; the first argument left
        // is the device file.
        QTest::newRow("Qt style") << QStringList{"-style", "fusion"} << true << "";
        QTest::newRow("Qt options, then a file")
            << QStringList{"-style", "fusion", "-reverse", "a.dev"} << true << "a.dev";
        QTest::newRow("file, then Qt options")
            << QStringList{"a.dev", "-platform", "offscreen", "-qwindowgeometry", "800x600+0+0"}
            << true << "a.dev";
        QTest::newRow("Qt options with = and --")
            << QStringList{"--stylesheet=x.qss", "-display", ":7", "a.dev"} << true << "a.dev";
        QTest::newRow("Qt option without its value") << QStringList{"-style"} << false << "";
        QTest::newRow("not a Qt option") << QStringList{"-styles", "a.dev"} << false << "";
        QTest::newRow("Qt option's name after --")
            << QStringList{"--", "-style", "fusion"} << true << "-style";
        QTest::newRow("a file named like a value")
            << QStringList{"-platform", "a.dev", "b.dev"} << true << "b.dev";
    }

    void windowArgument()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, window);
        QFETCH(QString, file);
        const CommandLine::Arguments split = CommandLine::splitQtOptions(arguments);
        QCOMPARE(split.qt.size() + split.own.size(), arguments.size()); // nothing lost
        const std::optional<QString> result = CommandLine::windowArgument(split.own);
        QCOMPARE(result.has_value(), window);
        if (window)
            QCOMPARE(*result, file);
    }

    // The options Qt takes never reach the program's own parser.
    void qtOptionsWithTheCommandLine()
    {
        const Result result = ostraline({"-platform", "offscreen", "--version"});
        QCOMPARE(result.status, 0);
        QVERIFY2(result.out.startsWith("Ostraline "), qPrintable(result.err));
    }

    // Every option of --help, and every Qt option the window takes, is in the manual page.
    void everyOptionIsInTheManualPage()
    {
        QFile page(QStringLiteral(OSTRALINE_MAN_PAGE));
        QVERIFY(page.open(QIODevice::ReadOnly));
        const QString manual =
            QString::fromUtf8(page.readAll()).replace(QLatin1String("\\-"), QLatin1String("-"));
        const Result help = ostraline({"--help"});
        QCOMPARE(help.status, 0);
        static const QRegularExpression option(QStringLiteral("(?:^|[ ,])(--?[a-z][a-z0-9-]*)"));
        QStringList options;
        for (const QString &line : help.out.split(QLatin1Char('\n'))) {
            if (!line.startsWith(QLatin1String("  -")))
                continue; // the option list only
            const QString names = line.trimmed().section(QLatin1String("  "), 0, 0);
            for (auto it = option.globalMatch(QLatin1Char(' ') + names); it.hasNext();)
                options << it.next().captured(1);
        }
        QVERIFY(options.contains(QLatin1String("--discover")));
        options << QStringLiteral("-style") << QStringLiteral("-stylesheet")
                << QStringLiteral("-platform") << QStringLiteral("-reverse")
                << QStringLiteral("-qwindowgeometry") << QStringLiteral("-display");
        for (const QString &name : std::as_const(options)) {
            const QRegularExpression mentioned(QRegularExpression::escape(name) +
                                               QStringLiteral("(?![a-z0-9-])"));
            QVERIFY2(manual.contains(mentioned), qPrintable(name));
        }
        // Dated by the release the version names, not by a date written into the page.
        QVERIFY(manual.startsWith(QLatin1String(".TH OSTRALINE 1 \"@OSTRALINE_RELEASE_DATE@\"")));
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
            << QStringList{"--discover", "127.0.0.1:9", "--snmp-version", "4"} << 2 << ""
            << "auto, 1, 2c or 3";
        QTest::newRow("v3 without a user")
            << QStringList{"--discover", "127.0.0.1:9", "--snmp-version", "3"} << 2 << ""
            << "needs --user NAME";
        QTest::newRow("v3 option without v3")
            << QStringList{"--discover", "127.0.0.1:9", "--user", "u"} << 2 << ""
            << "need --snmp-version 3";
        QTest::newRow("v3 without passphrases")
            << QStringList{"--discover", "127.0.0.1:9", "--snmp-version", "3", "--user", "u"} << 2
            << ""
            << "OSTRALINE_AUTH_PASSPHRASE and OSTRALINE_PRIV_PASSPHRASE";
        QTest::newRow("v3 unknown protocol")
            << QStringList{"--discover", "127.0.0.1:9", "--snmp-version",  "3",
                           "--user",     "u",           "--auth-protocol", "SHA-3"}
            << 2 << ""
            << "--auth-protocol must be one of SHA, SHA-224";
        QTest::newRow("passphrase as an option")
            << QStringList{"--discover", "127.0.0.1:9", "--auth-passphrase", "x"} << 2 << ""
            << "Unknown option 'auth-passphrase'";
        QTest::newRow("community with a semicolon")
            << QStringList{"--discover", "127.0.0.1:9", "--community", "a;b"} << 2 << ""
            << "semicolon";
        QTest::newRow("bad default bandwidth")
            << QStringList{"--discover", "127.0.0.1:9", "--default-bandwidth", "-5"} << 2 << ""
            << "--default-bandwidth";
        // The largest a row holds passes the check (and then finds no agent: exit 1).
        QTest::newRow("default bandwidth at the largest")
            << QStringList{"--discover",          "127.0.0.1:9",    "--default-bandwidth",
                           "9223372036854775807", "--snmp-version", "1"}
            << 1 << ""
            << "No answer";
        QTest::newRow("default bandwidth beyond the largest")
            << QStringList{"--discover", "127.0.0.1:9", "--default-bandwidth",
                           "9223372036854775808"}
            << 2 << ""
            << "--default-bandwidth must be at most 9223372036854775807 bit/s.";
        for (const char *seconds : {"0", "-1", "1.5", "86401", "ten"})
            QTest::addRow("timeout %s", seconds)
                << QStringList{"--discover", "127.0.0.1:9", "--timeout", seconds} << 2 << ""
                << "--timeout must be a whole number of seconds from 1 to 86400.";
        QTest::newRow("multicast address")
            << QStringList{"--discover", "239.1.2.3:1161"} << 2 << ""
            << "239.1.2.3:1161 is a multicast address, not an agent's address";
        QTest::newRow("broadcast address")
            << QStringList{"--discover", "255.255.255.255"} << 2 << ""
            << "255.255.255.255 is the broadcast address";
        QTest::newRow("lone dash") << QStringList{"-"} << 2 << ""
                                   << "'ostraline -- -'";
    }

    void usage()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, stdoutHas);
        QFETCH(QString, stderrHas);
        // No passphrase in the environment for these.
        const Result result = ostraline(
            arguments, {{"OSTRALINE_AUTH_PASSPHRASE", ""}, {"OSTRALINE_PRIV_PASSPHRASE", ""}});
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
        QVERIFY2(
            result.err.contains(QString::number(indexes.size()) + " lines written to " + file) &&
                !result.err.contains("QString::arg"),
            qPrintable(result.err));
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

    // SNMP v3 at authPriv with the passphrases from the environment: the lines carry no
    // community, and --save-profile stores the settings that worked as the agent's profile,
    // private to the user. Nothing the program prints holds a passphrase.
    void discoverV3AndSaveProfile()
    {
        if (!IfMibAgent::isAvailable())
            QSKIP("snmpd or perl is not installed");
        IfMibAgent agent;
        agent.setInterfaces(threeInterfaces());
        QVERIFY2(agent.start(), qPrintable(agent.errorString()));
        QTemporaryDir config;
        const QMap<QString, QString> env{
            {"XDG_CONFIG_HOME", config.path()},
            {"OSTRALINE_AUTH_PASSPHRASE", SnmpAgent::authPassphrase()},
            {"OSTRALINE_PRIV_PASSPHRASE", SnmpAgent::privPassphrase()}};
        const QStringList v3{
            "--snmp-version",  "3",       "--user",          IfMibAgent::strongUser(),
            "--auth-protocol", "SHA-256", "--priv-protocol", "AES-256"};

        const Result wrong = ostraline(QStringList{"--discover", agent.host(), "--save-profile",
                                                   "--snmp-version", "3", "--user", "nobody"},
                                       env);
        QCOMPARE(wrong.status, 1);
        QVERIFY2(wrong.err.contains("Wrong user"), qPrintable(wrong.err));
        QVERIFY(wrong.err.contains("No profile was saved."));
        QVERIFY(QDir(config.path()).isEmpty());

        const Result result =
            ostraline(QStringList{"--discover", agent.host(), "--save-profile"} + v3, env);
        QCOMPARE(result.status, 0);
        QCOMPARE(DeviceFile::splitLines(result.out.toUtf8()),
                 QStringList({agent.host() + ";1;1000000000;;ge-0/0/1 - core; uplink 1",
                              agent.host() + ";2;40000000000;;ge-0/0/2 - uplink; rack 2"}));
        QVERIFY2(result.err.contains("SNMP v3, discovery-test"), qPrintable(result.err));
        QVERIFY(result.err.contains("SNMP v3 profile of " + agent.host() + " saved to "));
        for (const QString &text : {result.out, result.err, wrong.err}) {
            QVERIFY(!text.contains(SnmpAgent::authPassphrase()));
            QVERIFY(!text.contains(SnmpAgent::privPassphrase()));
        }

        QDirIterator found(config.path(), {"OSL-agents.ini"}, QDir::Files,
                           QDirIterator::Subdirectories);
        QVERIFY(found.hasNext());
        const QString path = found.next();
        QCOMPARE(QFileInfo(path).permissions() &
                     ~(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser),
                 QFile::Permissions());
        AgentProfiles profiles;
        QString error;
        QVERIFY2(AgentProfileFile::load(path, &profiles, &error), qPrintable(error));
        const AgentProfile *profile = profiles.find(agent.host());
        QVERIFY(profile);
        QCOMPARE(int(profile->version), int(AgentProfile::Version::V3));
        QCOMPARE(profile->security.user, IfMibAgent::strongUser());
        QCOMPARE(int(profile->security.level), int(SnmpSecurity::Level::AuthPriv));
        QCOMPARE(int(profile->security.auth), int(SnmpSecurity::Auth::SHA256));
        QCOMPARE(int(profile->security.priv), int(SnmpSecurity::Priv::AES256));
        QCOMPARE(profile->security.authPassphrase, SnmpAgent::authPassphrase().toUtf8());
        QCOMPARE(profile->security.privPassphrase, SnmpAgent::privPassphrase().toUtf8());
    }

    // The window without a display: one line and exit 1, not Qt's abort; for no display
    // named as for one that refuses (a display number with no server).
    void windowWithoutDisplay_data()
    {
        QTest::addColumn<QString>("variable");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("message");
        QTest::newRow("none named") << ""
                                    << ""
                                    << "no display (neither DISPLAY nor WAYLAND_DISPLAY";
        QTest::newRow("X11 refuses") << "DISPLAY"
                                     << ":7913"
                                     << "the display DISPLAY=:7913 cannot";
        QTest::newRow("Wayland refuses") << "WAYLAND_DISPLAY"
                                         << "ostraline-test-none"
                                         << "WAYLAND_DISPLAY=ostraline-test-none";
    }
    void windowWithoutDisplay()
    {
        QFETCH(QString, variable);
        QFETCH(QString, value);
        QFETCH(QString, message);
        if (QFileInfo::exists("/tmp/.X11-unix/X7913"))
            QSKIP("display :7913 is in use");
        QTemporaryDir runtime; // a lock folder of its own: no other copy counts as running
        QMap<QString, QString> env{{"XDG_RUNTIME_DIR", runtime.path()}};
        Result result;
        if (variable.isEmpty()) {
            result = ostraline({}, env, 20000);
        } else {
            // ostraline() removes the display variables; put the one of this row back.
            QProcess process;
            QProcessEnvironment system = QProcessEnvironment::systemEnvironment();
            system.remove("DISPLAY");
            system.remove("WAYLAND_DISPLAY");
            system.remove("QT_QPA_PLATFORM");
            system.insert("XDG_RUNTIME_DIR", runtime.path());
            system.insert(variable, value);
            process.setProcessEnvironment(system);
            process.start(QStringLiteral(OSTRALINE_EXECUTABLE), QStringList{});
            QVERIFY(process.waitForFinished(20000));
            result.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
            result.err = QString::fromUtf8(process.readAllStandardError());
        }
        QCOMPARE(result.status, 1);
        QVERIFY2(result.err.startsWith("ostraline: cannot open the window: ") &&
                     result.err.contains(message) && result.err.count('\n') == 1,
                 qPrintable(result.err));
    }

    // --output - is standard output; a pipe (or a link to one) as --output is refused with
    // exit 1 and stays a pipe. Device nodes are covered where the writer is tested.
    void outputTargets()
    {
        if (!IfMibAgent::isAvailable())
            QSKIP("snmpd or perl is not installed");
        IfMibAgent agent;
        agent.setInterfaces(threeInterfaces());
        QVERIFY2(agent.start(), qPrintable(agent.errorString()));
        const Result dash = ostraline({"--discover", agent.host(), "--output", "-"});
        QCOMPARE(dash.status, 0);
        QCOMPARE(DeviceFile::splitLines(dash.out.toUtf8()).size(), 2);

        QTemporaryDir dir;
        const QString fifo = dir.filePath("pipe");
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        const QString link = dir.filePath("link.dev");
        QVERIFY(QFile::link(fifo, link));
        for (const QString &target : {fifo, link}) {
            const Result result = ostraline({"--discover", agent.host(), "--output", target});
            QCOMPARE(result.status, 1);
            QVERIFY2(
                result.err.contains("\"" + target + "\" is not a regular file; nothing written"),
                qPrintable(result.err));
            QVERIFY(!result.err.contains("lines written"));
        }
        QVERIFY(QFileInfo(link).isSymLink());
        struct stat info {
        };
        QCOMPARE(::lstat(QFile::encodeName(fifo).constData(), &info), 0);
        QVERIFY(S_ISFIFO(info.st_mode));
    }

    // A garbled profile file costs the profile, not the device file: the lines are written,
    // the profile problem is reported on its own, exit 1, and the profile file is untouched.
    void garbledProfileFileStillWritesLines()
    {
        if (!IfMibAgent::isAvailable())
            QSKIP("snmpd or perl is not installed");
        IfMibAgent agent;
        agent.setInterfaces(threeInterfaces());
        QVERIFY2(agent.start(), qPrintable(agent.errorString()));
        QTemporaryDir config;
        QVERIFY(QDir(config.path()).mkpath("Kelvane"));
        const QString profiles = config.filePath("Kelvane/OSL-agents.ini");
        QFile garbled(profiles);
        QVERIFY(garbled.open(QIODevice::WriteOnly));
        garbled.write("[agent\x01 no end\n");
        garbled.close();
        QVERIFY(garbled.setPermissions(QFile::ReadOwner | QFile::WriteOwner));
        const QString output = config.filePath("agent.dev");
        const Result result =
            ostraline({"--discover", agent.host(), "--save-profile", "--output", output},
                      {{"XDG_CONFIG_HOME", config.path()}});
        QCOMPARE(result.status, 1);
        QCOMPARE(DeviceFile::readLines(output).size(), 2);
        QVERIFY2(result.err.contains("2 lines written") &&
                     result.err.contains(profiles + " is not valid") &&
                     result.err.contains("No profile was saved."),
                 qPrintable(result.err));
        QVERIFY(garbled.open(QIODevice::ReadOnly));
        QCOMPARE(garbled.readAll(), QByteArray("[agent\x01 no end\n"));
    }

    // A v3 agent that answers with reports for ever: --discover ends within 15 s with exit 1
    // and the report's name.
    void discoverReportLoop_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("reason");
        QTest::newRow("notInTimeWindows") << "time"
                                          << "notInTimeWindows";
        QTest::newRow("unknownEngineIDs") << "engine"
                                          << "unknownEngineIDs";
        QTest::newRow("decryptionErrors") << "decrypt"
                                          << "could not decrypt";
    }
    void discoverReportLoop()
    {
        QFETCH(QString, mode);
        QFETCH(QString, reason);
        if (!ScriptedAgent::isAvailable())
            QSKIP("python3 is not installed");
        ScriptedAgent hostile;
        QVERIFY2(hostile.start(mode), qPrintable(hostile.errorString()));
        QElapsedTimer clock;
        clock.start();
        const Result result = ostraline({"--discover", hostile.host(), "--snmp-version", "3",
                                         "--user", "monitor", "--save-profile"},
                                        {{"OSTRALINE_AUTH_PASSPHRASE", "first passphrase"},
                                         {"OSTRALINE_PRIV_PASSPHRASE", "second passphrase"}},
                                        15000);
        QVERIFY2(clock.elapsed() < 15000, "--discover did not end within 15 s");
        QCOMPARE(result.status, 1);
        QCOMPARE(result.out, QString());
        QVERIFY2(result.err.contains(hostile.host()) && result.err.contains(reason),
                 qPrintable(result.err));
        QVERIFY(result.err.contains("No profile was saved."));
    }

    // Walks that would never end: endless rows of 65,000-octet ifDescr values, and endless
    // rows at one per 1.9 s. The walk keeps each text to 255 octets and stays under 100 MB,
    // ends at its deadline (--timeout SECONDS) or at 10,000 interfaces with what it has, and
    // says so (the watch stops the first at 200 MB).
    void discoverWalkBounds_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<int>("timeoutSeconds");
        QTest::newRow("endless 65,000-octet rows") << "bigdescr" << 20;
        QTest::newRow("one row per 1.9 s") << "slow" << 5;
    }
    void discoverWalkBounds()
    {
        QFETCH(QString, mode);
        QFETCH(int, timeoutSeconds);
        if (!ScriptedAgent::isAvailable())
            QSKIP("python3 is not installed");
#ifdef OSTRALINE_TEST_UNDER_ASAN
        const int peakLimitMb = 1000; // the quarantine keeps every freed 65,000-octet reply a while
#else
        const int peakLimitMb = 100;
#endif
        ScriptedAgent hostile;
        QVERIFY2(hostile.start(mode), qPrintable(hostile.errorString()));
        QTemporaryDir dir;
        const QString output = dir.filePath("hostile.dev");
        const Watched watched = watchedOstraline(
            {"--discover", hostile.host(), "--snmp-version", "2c", "--default-bandwidth", "1000000",
             "--timeout", QString::number(timeoutSeconds), "--output", output},
            (timeoutSeconds + 10) * 1000, 2 * peakLimitMb);
        QVERIFY2(watched.peakMb < peakLimitMb,
                 qPrintable(QString("peak %1 MB").arg(watched.peakMb)));
        QVERIFY2(watched.elapsedMs < (timeoutSeconds + 5) * 1000,
                 qPrintable(QString("took %1 ms").arg(watched.elapsedMs)));
        QCOMPARE(watched.result.status, 0);
        const QStringList lines = DeviceFile::readLines(output, 20000);
        QVERIFY(!lines.isEmpty());
        QVERIFY(lines.size() <= 10000);
        for (const QString &line : lines)
            QVERIFY(DeviceFile::splitFields(line).description.toUtf8().size() <= 255);
        // It says why the walk ended early.
        QVERIFY2(watched.result.err.contains("Note: "), qPrintable(watched.result.err.right(500)));
    }

    // A full disk says so: the device file's folder is a 4 KB file system of its own in a
    // private mount namespace (root only), too small for 200 lines.
    void fullDisk()
    {
        if (::geteuid() != 0 || QStandardPaths::findExecutable("unshare").isEmpty())
            QSKIP("a private mount namespace needs root and unshare");
        if (!IfMibAgent::isAvailable())
            QSKIP("snmpd or perl is not installed");
        IfMibAgent agent;
        agent.setInterfaces(IfMibAgent::synthetic(200));
        QVERIFY2(agent.start(), qPrintable(agent.errorString()));
        QTemporaryDir dir;
        const Result result = ostraline(
            {"sh", "-c",
             "mount --make-rprivate / && mount -t tmpfs -o size=4k ostraline-test \"$1\" && "
             "exec \"$2\" --discover \"$3\" --output \"$1/full.dev\"",
             "sh", dir.path(), OSTRALINE_EXECUTABLE, agent.host()},
            {}, 60000, QStringLiteral("unshare"), {"-m"});
        if (result.err.contains("mount:") || result.err.contains("unshare:"))
            QSKIP(qPrintable("no private mount here: " + result.err));
        QCOMPARE(result.status, 1);
        QVERIFY2(result.err.contains("full.dev") &&
                     result.err.contains("No space left on device") &&
                     !result.err.contains("lines written"),
                 qPrintable(result.err.right(400)));
        QVERIFY(QDir(dir.path()).isEmpty()); // the small file system went with its namespace
    }

    // The lines come in the window's pre-check order: up interfaces that are neither loopback
    // nor null first, by index, then the rest; the table shows speeds with prefixes and the
    // note says so. The device file keeps whole bit/s.
    void discoverInCheckOrder()
    {
        if (!IfMibAgent::isAvailable())
            QSKIP("snmpd or perl is not installed");
        QList<IfMibAgent::Interface> list = IfMibAgent::synthetic(6);
        list[0].operStatus = 2; // 1: down
        list[1].type = 24;      // 2: loopback, up
        list[1].name = "lo";
        list[3].operStatus = 1; // 4: up (synthetic makes it down)
        list[4].type = 1;       // 5: Null0, up
        list[4].name = "Null0";
        IfMibAgent agent;
        agent.setInterfaces(list);
        QVERIFY2(agent.start(), qPrintable(agent.errorString()));
        const Result result = ostraline({"--discover", agent.host()});
        QCOMPARE(result.status, 0);
        QStringList indexes;
        QStringList bandwidths;
        for (const QString &line : DeviceFile::splitLines(result.out.toUtf8())) {
            indexes << DeviceFile::splitFields(line).interfaceIndex;
            bandwidths << DeviceFile::splitFields(line).bandwidth;
        }
        QCOMPARE(indexes, QStringList({"3", "4", "6", "1", "2", "5"}));
        QCOMPARE(bandwidths.first(), QString("1000000000"));
        QCOMPARE(bandwidths.at(1), QString("40000000000"));
        QVERIFY2(result.err.contains("1 Gbit/s") && result.err.contains("40 Gbit/s"),
                 qPrintable(result.err));
        QVERIFY2(result.err.contains("Note: lines are in the order the window checks"),
                 qPrintable(result.err));
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
