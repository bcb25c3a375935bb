#include "AgentProfileFile.h"
#include "CommandLine.h"
#include "DeviceFile.h"
#include "IfMibAgent.h"
#include "SnmpAgent.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace
{

struct Result {
    int status = -1;
    QString out;
    QString err;
};

// extraEnv: variables to set (an empty value removes the variable).
Result ostraline(const QStringList &arguments, const QMap<QString, QString> &extraEnv = {},
                 int timeoutMs = 60000)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (auto it = extraEnv.cbegin(); it != extraEnv.cend(); ++it) {
        if (it.value().isEmpty())
            env.remove(it.key());
        else
            env.insert(it.key(), it.value());
    }
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
