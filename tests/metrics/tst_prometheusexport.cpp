#include "AgentProfileFile.h"
#include "Ber.h"
#include "IfMibAgent.h"
#include "PrometheusExport.h"
#include "PrometheusTools.h"
#include "SnmpAgent.h"
#include "YamlText.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QNetworkDatagram>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

#include <sys/stat.h>

using PrometheusExport::Format;

namespace
{

DeviceFile::Fields row(const QString &ip, const QString &index, const QString &community,
                       const QString &description = QStringLiteral("port"))
{
    return {ip, index, QStringLiteral("1000000000"), community, description};
}

AgentProfile v3Profile(const QString &address,
                       SnmpSecurity::Level level = SnmpSecurity::Level::AuthPriv)
{
    AgentProfile p;
    p.address = address;
    p.version = AgentProfile::Version::V3;
    p.security.user = SnmpAgent::privUser();
    p.security.level = level;
    p.security.auth = SnmpSecurity::Auth::SHA1;
    p.security.priv = SnmpSecurity::Priv::AES128;
    p.security.authPassphrase = SnmpAgent::authPassphrase().toUtf8();
    p.security.privPassphrase = SnmpAgent::privPassphrase().toUtf8();
    return p;
}

mode_t modeOf(const QString &path)
{
    struct stat info {
    };
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 0;
}

} // namespace

// The configuration written for Prometheus and its SNMP exporter, and the real programs
// reading it against loopback agents.
class TestPrometheusExport : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_config; // XDG_CONFIG_HOME of the command runs

    QString profilePath() const
    {
        return m_config.filePath(QStringLiteral("Kelvane/OSL-agents.ini"));
    }

    void saveProfiles(const QList<AgentProfile> &list)
    {
        AgentProfiles profiles;
        for (const AgentProfile &p : list)
            profiles.set(p);
        QDir().mkpath(QFileInfo(profilePath()).absolutePath());
        QString error;
        QVERIFY2(AgentProfileFile::save(profilePath(), profiles, &error), qPrintable(error));
    }

    // Runs the program; its exit status, with standard error in *errors.
    int run(const QStringList &arguments, QString *errors)
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_config.path());
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(OSTRALINE_EXECUTABLE), arguments);
        if (!process.waitForFinished(20000))
            return -1;
        *errors = QString::fromLocal8Bit(process.readAllStandardError());
        return process.exitCode();
    }

    static QString writeDeviceFile(const QTemporaryDir &dir, const QByteArray &lines)
    {
        const QString path = dir.filePath(QStringLiteral("routers.dev"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return {};
        file.write(lines);
        return path;
    }

private Q_SLOTS:
    // Agents share a job when they share credentials; the layouts differ as the exporter's
    // releases want them.
    void credentialSetsAndLayouts()
    {
        AgentProfiles profiles;
        AgentProfile v1;
        v1.address = QStringLiteral("192.0.2.3");
        v1.version = AgentProfile::Version::V1;
        profiles.set(v1);
        profiles.set(v3Profile(QStringLiteral("edge:1161")));
        const QList<DeviceFile::Fields> rows = {
            row(QStringLiteral("192.0.2.1"), QStringLiteral("1"), QStringLiteral("public")),
            row(QStringLiteral("192.0.2.1"), QStringLiteral("2"), QStringLiteral("public")),
            row(QStringLiteral("192.0.2.2:1161"), QStringLiteral("7"), QStringLiteral("public")),
            row(QStringLiteral("192.0.2.3"), QStringLiteral("1"), QStringLiteral("public")),
            row(QStringLiteral("edge:1161"), QStringLiteral("4"), QString()),
            row(QStringLiteral("[2001:db8::1]"), QStringLiteral("4"), QStringLiteral("s\"e\\c\n")),
            row(QString(), QString(), QString()),
        };

        PrometheusExport::Options options;
        options.source = QStringLiteral("routers.dev");
        const PrometheusExport::Result current = PrometheusExport::build(rows, profiles, options);
        QVERIFY(current.problems.isEmpty());
        QCOMPARE(current.agents, 5);
        QCOMPARE(current.interfaces, 6);
        QCOMPARE(current.jobs, 4); // public v2c, public v1, the v3 user, the odd community
        QCOMPARE(current.notes.size(), 1);
        const QByteArray snmp = current.snmpYml;
        QVERIFY(
            snmp.contains("auths:\n  ostraline_v2c_1:\n    version: 2\n    community: \"public\"\n"
                          "  ostraline_v1_1:\n    version: 1\n    community: \"public\"\n"
                          "  ostraline_v3_1:\n    version: 3\n    username: \"ostra-priv\"\n"
                          "    security_level: authPriv\n"
                          "    password: \"${OSTRALINE_V3_1_AUTH_PASSPHRASE}\"\n"
                          "    auth_protocol: SHA\n    priv_protocol: AES\n"
                          "    priv_password: \"${OSTRALINE_V3_1_PRIV_PASSPHRASE}\"\n"
                          "  ostraline_v2c_2:\n    version: 2\n"
                          "    community: \"s\\\"e\\\\c\\x0A\"\nmodules:\n  ostraline_if:\n"));
        QVERIFY(!snmp.contains(SnmpAgent::authPassphrase().toUtf8()));
        QCOMPARE(current.variables,
                 QStringList({QStringLiteral("OSTRALINE_V3_1_AUTH_PASSPHRASE"),
                              QStringLiteral("OSTRALINE_V3_1_PRIV_PASSPHRASE")}));
        QVERIFY(current.prometheusYml.contains(
            "  - job_name: \"ostraline_if_v2c_1\"\n    metrics_path: /snmp\n    params:\n"
            "      module:\n      - ostraline_if\n      auth:\n      - ostraline_v2c_1\n"
            "    static_configs:\n    - targets:\n      - \"192.0.2.1\"\n      - "
            "\"192.0.2.2:1161\"\n"));
        QVERIFY(current.prometheusYml.contains("      replacement: \"127.0.0.1:9116\"\n"));

        options.format = Format::V0_21;
        options.includeSecrets = true;
        options.exporter = QStringLiteral("[::1]:9200");
        const PrometheusExport::Result old = PrometheusExport::build(rows, profiles, options);
        QVERIFY(!old.snmpYml.contains("auths:"));
        QVERIFY(old.snmpYml.contains("\nostraline_if_v3_1:\n  walk:\n"));
        const QByteArray v3Auth = "  version: 3\n  auth:\n    username: \"ostra-priv\"\n"
                                  "    security_level: authPriv\n    password: \"" +
                                  SnmpAgent::authPassphrase().toUtf8() + "\"\n";
        QVERIFY(old.snmpYml.contains(v3Auth));
        QVERIFY(old.variables.isEmpty());
        QVERIFY(old.prometheusYml.contains("      module:\n      - ostraline_if_v1_1\n"
                                           "    static_configs:\n"));
        QVERIFY(!old.prometheusYml.contains("auth:"));
        QVERIFY(old.prometheusYml.contains("      replacement: \"[::1]:9200\"\n"));
    }

    // The community the exporter gets is the bytes the poll sends; what is not printable is
    // escaped, and bytes that are not UTF-8 (a line read as Windows-1252) cannot be carried:
    // that agent is left out with a note naming it. Names in comments are escaped too, and
    // every file passes the check the command makes before it says "Written".
    void communitiesAsThePollSendsThem_data()
    {
        QTest::addColumn<QString>("community");
        QTest::addColumn<LineEncoding>("encoding");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QByteArray>("written"); // "" when the agent is left out
        QTest::addColumn<QByteArray>("commentName");
        QTest::newRow("UTF-8 line")
            << QStringLiteral("Z\u00fcrich") << LineEncoding::System << QStringLiteral("r.dev")
            << QByteArray("\"Z\xc3\xbc"
                          "rich\"")
            << QByteArray("r.dev");
        QTest::newRow("Windows-1252 line, ASCII community")
            << QStringLiteral("public") << LineEncoding::Windows1252 << QStringLiteral("r.dev")
            << QByteArray("\"public\"") << QByteArray("r.dev");
        QTest::newRow("Windows-1252 line, 5a fc 72 69 63 68")
            << QStringLiteral("Z\u00fcrich") << LineEncoding::Windows1252 << QStringLiteral("r.dev")
            << QByteArray() << QByteArray("r.dev");
        QTest::newRow("U+0081") << QStringLiteral("a\u0081b") << LineEncoding::System
                                << QStringLiteral("r.dev") << QByteArray("\"a\\x81b\"")
                                << QByteArray("r.dev");
        QTest::newRow("U+FFFE") << QStringLiteral("a\ufffeb") << LineEncoding::System
                                << QStringLiteral("r.dev") << QByteArray("\"a\\uFFFEb\"")
                                << QByteArray("r.dev");
        QTest::newRow("tab, NEL, line separator, BOM")
            << QStringLiteral("a\tb\u0085c\u2028d\ufeff") << LineEncoding::System
            << QStringLiteral("r.dev") << QByteArray("\"a\\x09b\\x85c\\u2028d\\uFEFF\"")
            << QByteArray("r.dev");
        QTest::newRow("U+0081 in the file's name")
            << QStringLiteral("public") << LineEncoding::System << QStringLiteral("r\u0081.dev")
            << QByteArray("\"public\"") << QByteArray("r\\x81.dev");
        QTest::newRow("U+FFFE and a line break in the file's name")
            << QStringLiteral("public") << LineEncoding::System << QStringLiteral("r\ufffe\n.dev")
            << QByteArray("\"public\"") << QByteArray("r\\uFFFE\\x0A.dev");
    }

    void communitiesAsThePollSendsThem()
    {
        QFETCH(QString, community);
        QFETCH(LineEncoding, encoding);
        QFETCH(QString, source);
        QFETCH(QByteArray, written);
        QFETCH(QByteArray, commentName);
        PrometheusExport::Options options;
        options.source = source;
        for (const Format format : {Format::Current, Format::V0_21}) {
            options.format = format;
            const PrometheusExport::Result result = PrometheusExport::build(
                {row(QStringLiteral("192.0.2.8"), QStringLiteral("1"), QStringLiteral("public")),
                 row(QStringLiteral("192.0.2.9"), QStringLiteral("1"), community),
                 row(QStringLiteral("192.0.2.9"), QStringLiteral("2"), community)},
                {}, options, {LineEncoding::System, encoding, encoding});
            QVERIFY(result.problems.isEmpty());
            QCOMPARE(YamlText::check(result.snmpYml), QString());
            QCOMPARE(YamlText::check(result.prometheusYml), QString());
            const QByteArray comment =
                "# Written by ostraline --export-prometheus from " + commentName + ".\n";
            QVERIFY2(result.snmpYml.startsWith(comment), result.snmpYml.left(80).constData());
            QVERIFY(result.prometheusYml.startsWith(comment));
            if (written.isEmpty()) {
                QCOMPARE(result.agents, 1);
                QCOMPARE(result.interfaces, 1);
                QCOMPARE(result.notes.size(), 1);
                QVERIFY2(result.notes.first().startsWith(QLatin1String("192.0.2.9: ")) &&
                             result.notes.first().contains(QLatin1String("5a fc 72 69 63 68")),
                         qPrintable(result.notes.first()));
                QVERIFY(!result.prometheusYml.contains("192.0.2.9"));
                continue;
            }
            QCOMPARE(result.agents, 2);
            QVERIFY2(result.snmpYml.contains(QByteArray("community: " + written + '\n')),
                     result.snmpYml.constData());
            // The exporter's reader turns the scalar into the bytes the poll sends.
            QCOMPARE(YamlText::unquote(written), TextEncoding::encode(community, encoding));
        }
    }

    // The check before "Written" refuses what the readers would refuse.
    void fileCheck_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("problem"); // "" when the file passes
        QTest::newRow("good") << QByteArray("# x\nauths:\n  a:\n    community: \"p\\x81\"\n"
                                            "  - [__address__]\n  - ostraline_if\n")
                              << QString();
        QTest::newRow("not UTF-8") << QByteArray("a: \"Z\xfcrich\"\n") << "not UTF-8";
        QTest::newRow("raw U+0081")
            << QByteArray("a: \"p\xc2\x81\"\n") << "line 1: the character U+0081";
        QTest::newRow("raw U+FFFE in a comment")
            << QByteArray("# ok\n# r\xef\xbf\xbe.dev\n") << "line 2: the character U+FFFE";
        QTest::newRow("tab") << QByteArray("a:\n\tb: c\n") << "line 2: the character U+0009";
        QTest::newRow("unclosed quote") << QByteArray("a: \"p\n") << "line 1: a double-quoted";
        QTest::newRow("unknown escape") << QByteArray("a: \"p\\q\"\n") << "line 1: a double-quoted";
        QTest::newRow("surrogate escape")
            << QByteArray("a: \"\\uD800\"\n") << "line 1: a double-quoted";
        QTest::newRow("short escape") << QByteArray("a: \"\\x8\"\n") << "line 1: a double-quoted";
        QTest::newRow("plain value with a colon")
            << QByteArray("a: b: c\n") << "line 1: a value that is neither";
    }

    void fileCheck()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, problem);
        const QString found = YamlText::check(file);
        QVERIFY2(problem.isEmpty() ? found.isEmpty() : found.contains(problem), qPrintable(found));
    }

    // Each of these is a usage error: nothing is built.
    void agentsThatCannotBeExported_data()
    {
        QTest::addColumn<QList<AgentProfile>>("profiles");
        QTest::addColumn<QString>("community");
        QTest::addColumn<QString>("problem");
        QTest::newRow("no community, no profile")
            << QList<AgentProfile>{} << QString() << "no community in the device file";
        AgentProfile v2;
        v2.address = QStringLiteral("192.0.2.9");
        v2.version = AgentProfile::Version::V2c;
        QTest::newRow("no community, v2c profile")
            << QList<AgentProfile>{v2} << QString() << "no community in the device file";
        AgentProfile noPass = v3Profile(QStringLiteral("192.0.2.9"));
        noPass.security.privPassphrase.clear();
        QTest::newRow("v3 profile without its passphrase")
            << QList<AgentProfile>{noPass} << "public"
            << "its SNMP v3 profile is incomplete";
    }

    void agentsThatCannotBeExported()
    {
        QFETCH(QList<AgentProfile>, profiles);
        QFETCH(QString, community);
        QFETCH(QString, problem);
        AgentProfiles set;
        for (const AgentProfile &p : profiles)
            set.set(p);
        const PrometheusExport::Result result = PrometheusExport::build(
            {row(QStringLiteral("192.0.2.8"), QStringLiteral("1"), QStringLiteral("public")),
             row(QStringLiteral("192.0.2.9"), QStringLiteral("1"), community)},
            set, {});
        QCOMPARE(result.problems.size(), 1);
        QVERIFY2(result.problems.first().startsWith(QLatin1String("192.0.2.9: ") + problem),
                 qPrintable(result.problems.first()));
        QVERIFY(result.snmpYml.isEmpty());
        QVERIFY(result.prometheusYml.isEmpty());
    }

    // The command: its exit status, a private folder and files, never a write through a link.
    void commandFilesAndExitStatus()
    {
        QTemporaryDir dir;
        const QString deviceFile = writeDeviceFile(dir, "127.0.0.1:1161;1;100000000;public;a\n");
        const QString out = dir.filePath(QStringLiteral("out"));
        QString errors;
        QCOMPARE(run({QStringLiteral("--export-prometheus"), deviceFile,
                      QStringLiteral("--output-dir"), out},
                     &errors),
                 0);
        QVERIFY2(errors.contains(QLatin1String("routers.dev: 1 agents, 1 interfaces, 1 jobs")),
                 qPrintable(errors));
        QCOMPARE(modeOf(out), mode_t(0700));
        QCOMPARE(modeOf(out + QStringLiteral("/snmp.yml")), mode_t(0600));
        QCOMPARE(modeOf(out + QStringLiteral("/prometheus.yml")), mode_t(0600));
        QCOMPARE(QDir(out).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(),
                 2);

        // A link at a file's name is replaced; what it pointed to is untouched.
        const QString victim = dir.filePath(QStringLiteral("victim"));
        QFile(victim).open(QIODevice::WriteOnly);
        QFile::remove(out + QStringLiteral("/snmp.yml"));
        QVERIFY(QFile::link(victim, out + QStringLiteral("/snmp.yml")));
        QCOMPARE(run({QStringLiteral("--export-prometheus"), deviceFile,
                      QStringLiteral("--output-dir"), out},
                     &errors),
                 0);
        QCOMPARE(QFileInfo(victim).size(), 0);
        QVERIFY(!QFileInfo(out + QStringLiteral("/snmp.yml")).isSymLink());

        // A link as the folder is refused.
        const QString linked = dir.filePath(QStringLiteral("linked"));
        QVERIFY(QFile::link(out, linked));
        QCOMPARE(run({QStringLiteral("--export-prometheus"), deviceFile,
                      QStringLiteral("--output-dir"), linked},
                     &errors),
                 1);
        QVERIFY2(errors.contains(QLatin1String("is a link")), qPrintable(errors));

        QCOMPARE(
            run({QStringLiteral("--export-prometheus"), dir.filePath(QStringLiteral("none.dev")),
                 QStringLiteral("--output-dir"), out},
                &errors),
            1);
        const QString empty = writeDeviceFile(dir, ";;;;\n");
        QCOMPARE(
            run({QStringLiteral("--export-prometheus"), empty, QStringLiteral("--output-dir"), out},
                &errors),
            1);
    }

    void commandUsageErrors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("no folder")
            << QStringList{QStringLiteral("--export-prometheus"), QStringLiteral("DEV")};
        QTest::newRow("exporter without port")
            << QStringList{QStringLiteral("--export-prometheus"), QStringLiteral("DEV"),
                           QStringLiteral("--output-dir"),        QStringLiteral("OUT"),
                           QStringLiteral("--exporter"),          QStringLiteral("127.0.0.1")};
        QTest::newRow("unknown format")
            << QStringList{QStringLiteral("--export-prometheus"),    QStringLiteral("DEV"),
                           QStringLiteral("--output-dir"),           QStringLiteral("OUT"),
                           QStringLiteral("--snmp-exporter-format"), QStringLiteral("0.20")};
        QTest::newRow("folder without the command")
            << QStringList{QStringLiteral("--output-dir"), QStringLiteral("OUT")};
        QTest::newRow("agent without credentials")
            << QStringList{QStringLiteral("--export-prometheus"), QStringLiteral("NOCOMMUNITY"),
                           QStringLiteral("--output-dir"), QStringLiteral("OUT")};
    }

    void commandUsageErrors()
    {
        QFETCH(QStringList, arguments);
        QTemporaryDir dir;
        const QString deviceFile = writeDeviceFile(dir, "127.0.0.1:1161;1;100000000;;a\n");
        for (QString &a : arguments) {
            if (a == QLatin1String("DEV"))
                a = dir.filePath(QStringLiteral("any.dev"));
            else if (a == QLatin1String("NOCOMMUNITY"))
                a = deviceFile;
            else if (a == QLatin1String("OUT"))
                a = dir.filePath(QStringLiteral("out"));
        }
        QString errors;
        QCOMPARE(run(arguments, &errors), 2);
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("out"))));
    }

    // The real exporter reads the 0.21 layout and walks both agents, v2c and v3; Prometheus
    // with the exported scrape configuration gets every interface with its labels.
    void realExporterAndPrometheus()
    {
        if (!IfMibAgent::isAvailable() || PrometheusTools::snmpExporter().isEmpty() ||
            PrometheusTools::prometheus().isEmpty())
            QSKIP("snmpd, prometheus or prometheus-snmp-exporter is not installed");
        IfMibAgent v2;
        IfMibAgent v3;
        v2.setInterfaces(IfMibAgent::synthetic(3));
        v3.setInterfaces(IfMibAgent::synthetic(2));
        QVERIFY2(v2.start(), qPrintable(v2.errorString()));
        QVERIFY2(v3.start(), qPrintable(v3.errorString()));
        AgentProfile strong = v3Profile(v3.host());
        strong.security.user = IfMibAgent::strongUser();
        strong.security.auth = SnmpSecurity::Auth::SHA256;
        strong.security.priv = SnmpSecurity::Priv::AES256;
        saveProfiles({strong});

        QTemporaryDir dir;
        const QString deviceFile = writeDeviceFile(
            dir, (v2.host() + ";1;1000000000;public;a\n" + v2.host() + ";2;1000000000;public;b\n" +
                  v2.host() + ";3;1000000000;public;c\n" + v3.host() + ";1;1000000000;;d\n" +
                  v3.host() + ";2;1000000000;;e\n")
                     .toUtf8());
        const QString out = dir.filePath(QStringLiteral("out"));
        const quint16 exporterPort = PrometheusTools::freeTcpPort();
        const QString exporterAddress =
            QStringLiteral("127.0.0.1:") + QString::number(exporterPort);
        QString errors;
        QCOMPARE(run({QStringLiteral("--export-prometheus"), deviceFile,
                      QStringLiteral("--output-dir"), out, QStringLiteral("--snmp-exporter-format"),
                      QStringLiteral("0.21"), QStringLiteral("--include-secrets"),
                      QStringLiteral("--exporter"), exporterAddress},
                     &errors),
                 0);

        ServiceProcess exporter;
        QVERIFY2(exporter.startSnmpExporter(out + QStringLiteral("/snmp.yml"), exporterPort),
                 qPrintable(exporter.errorString()));
        const struct {
            QString host, module;
            int interfaces;
        } agents[] = {{v2.host(), QStringLiteral("ostraline_if_v2c_1"), 3},
                      {v3.host(), QStringLiteral("ostraline_if_v3_1"), 2}};
        for (const auto &agent : agents) {
            const PrometheusTools::Reply reply =
                PrometheusTools::get(QStringLiteral("http://%1/snmp?target=%2&module=%3")
                                         .arg(exporter.address(), agent.host, agent.module),
                                     {}, 10000);
            QCOMPARE(reply.status, 200);
            for (int i = 1; i <= agent.interfaces; ++i) {
                const QRegularExpression sample(
                    QStringLiteral("\nifHCInOctets\\{[^}]*ifIndex=\"%1\",ifName=\"[^\"]+\"\\} %2\n")
                        .arg(i)
                        .arg(1000 + i));
                QVERIFY2(sample.match(QString::fromUtf8(reply.body)).hasMatch(),
                         qPrintable(agent.module + QLatin1Char('\n') +
                                    QString::fromUtf8(reply.body).left(3000)));
            }
        }

        QFile fragment(out + QStringLiteral("/prometheus.yml"));
        QVERIFY(fragment.open(QIODevice::ReadOnly));
        ServiceProcess prometheus;
        QVERIFY2(
            prometheus.startPrometheus("global:\n  scrape_interval: 1s\n" + fragment.readAll()),
            qPrintable(prometheus.errorString()));
        const QByteArray series = prometheus.query(QStringLiteral("ifHCInOctets"), 5, 20000);
        QCOMPARE(series.count("\"__name__\":\"ifHCInOctets\""), 5);
        for (const QString &expected :
             {QStringLiteral("\"job\":\"ostraline_if_v3_1\""),
              QStringLiteral("\"instance\":\"%1\"").arg(v3.host()),
              QStringLiteral("\"ifIndex\":\"3\""), QStringLiteral("\"ifName\":")})
            QVERIFY2(series.contains(expected.toUtf8()), series.constData());
    }

    // The files written from awkward device files pass the real readers: the exporter's
    // --dry-run and promtool. An agent whose community the file cannot carry is named and left
    // out; the rest is written.
    void realReadersTakeAwkwardFiles_data()
    {
        QTest::addColumn<QByteArray>("lines");
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("note");    // in the summary; "" for none
        QTest::addColumn<QByteArray>("wire"); // the first agent's community as the poll sends it
        QTest::newRow("U+0081 and U+FFFE communities")
            << QByteArray("127.0.0.1:1161;1;100000000;p\xc2\x81;a\n"
                          "127.0.0.2:1161;1;100000000;q\xef\xbf\xbe;b\n"
                          "127.0.0.3:1161;1;100000000;t\tab \"\\;c\n")
            << QStringLiteral("routers.dev") << QString() << QByteArray("p\xc2\x81");
        QTest::newRow("U+0081 and U+FFFE in the file's name")
            << QByteArray("127.0.0.1:1161;1;100000000;public;a\n")
            << QStringLiteral("r\u0081\ufffe.dev") << QString() << QByteArray("public");
        QTest::newRow("Windows-1252 line")
            << QByteArray("127.0.0.1:1161;1;100000000;public;a\n"
                          "127.0.0.2:1161;1;100000000;Z\xfcrich;b\n")
            << QStringLiteral("routers.dev")
            << QStringLiteral("127.0.0.2:1161: the poll sends its community as the bytes 5a fc "
                              "72 69 63 68")
            << QByteArray("public");
    }

    void realReadersTakeAwkwardFiles()
    {
        QFETCH(QByteArray, lines);
        QFETCH(QString, fileName);
        QFETCH(QString, note);
        QFETCH(QByteArray, wire);
        QTemporaryDir dir;
        QFile file(dir.filePath(fileName));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(lines);
        file.close();
        const QString out = dir.filePath(QStringLiteral("out"));
        QString errors;
        QCOMPARE(run({QStringLiteral("--export-prometheus"), file.fileName(),
                      QStringLiteral("--output-dir"), out, QStringLiteral("--snmp-exporter-format"),
                      QStringLiteral("0.21")},
                     &errors),
                 0);
        QVERIFY2(errors.contains(QLatin1String("Written: ")), qPrintable(errors));
        QVERIFY2(note.isEmpty() ? !errors.contains(QLatin1String("Note:")) : errors.contains(note),
                 qPrintable(errors));
        const QString snmp = out + QStringLiteral("/snmp.yml");
        const QString prometheus = out + QStringLiteral("/prometheus.yml");
        if (!note.isEmpty()) {
            QFile written(prometheus);
            QVERIFY(written.open(QIODevice::ReadOnly));
            QVERIFY(!written.readAll().contains("127.0.0.2"));
        }

        if (PrometheusTools::snmpExporter().isEmpty())
            QSKIP("prometheus-snmp-exporter is not installed");
        QProcess exporter;
        exporter.setProcessChannelMode(QProcess::MergedChannels);
        exporter.start(PrometheusTools::snmpExporter(),
                       {QStringLiteral("--dry-run"), QStringLiteral("--config.file=") + snmp});
        QVERIFY(exporter.waitForFinished(20000));
        QVERIFY2(exporter.exitStatus() == QProcess::NormalExit && exporter.exitCode() == 0,
                 exporter.readAll().constData());

        // The exporter started on the file sends the community bytes the poll sends: a socket
        // of the test stands in for the agent and reads the request.
        QUdpSocket agent;
        QVERIFY(agent.bind(QHostAddress::LocalHost, 0));
        ServiceProcess running;
        QVERIFY2(running.startSnmpExporter(snmp), qPrintable(running.errorString()));
        PrometheusTools::get(QStringLiteral("http://%1/snmp?target=127.0.0.1:%2&module=%3")
                                 .arg(running.address())
                                 .arg(agent.localPort())
                                 .arg(QStringLiteral("ostraline_if_v2c_1")),
                             {}, 1000);
        QVERIFY(agent.hasPendingDatagrams() || agent.waitForReadyRead(3000));
        const QNetworkDatagram datagram = agent.receiveDatagram();
        const std::optional<Ber::Request> request = Ber::parseRequest(datagram.data());
        QVERIFY(request);
        QCOMPARE(request->community.toHex(' '), wire.toHex(' '));

        if (PrometheusTools::promtool().isEmpty())
            QSKIP("promtool is not installed");
        QProcess promtool;
        promtool.setProcessChannelMode(QProcess::MergedChannels);
        promtool.start(PrometheusTools::promtool(),
                       {QStringLiteral("check"), QStringLiteral("config"), prometheus});
        QVERIFY(promtool.waitForFinished(20000));
        QVERIFY2(promtool.exitStatus() == QProcess::NormalExit && promtool.exitCode() == 0,
                 promtool.readAll().constData());
    }

    // Without --snmp-exporter-format the layout is the one of the exporter installed here
    // (found on the search path and asked for its version), else the current one; the summary
    // says which and why. An exporter that does not answer holds the command up 2 s at most.
    void defaultLayoutFollowsTheInstalledExporter_data()
    {
        QTest::addColumn<QByteArray>("script"); // "" for no exporter on the path
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("layout");
        QTest::newRow("0.21 installed")
            << QByteArray("echo 'snmp_exporter, version 0.21.0 (branch: debian/sid)'")
            << QStringLiteral("prometheus-snmp-exporter")
            << QStringLiteral("0.21 layout, as %1 0.21.0 here reads");
        QTest::newRow("0.26 installed")
            << QByteArray("echo 'snmp_exporter, version 0.26.0 (branch: HEAD)' >&2")
            << QStringLiteral("snmp_exporter") << QStringLiteral("current layout, as %1 0.26.0");
        QTest::newRow("none") << QByteArray() << QString()
                              << QStringLiteral("current layout, no SNMP exporter found");
        QTest::newRow("no version") << QByteArray("echo hello") << QStringLiteral("snmp_exporter")
                                    << QStringLiteral("current layout, no SNMP exporter found");
        QTest::newRow("hangs") << QByteArray("exec /bin/sleep 30")
                               << QStringLiteral("prometheus-snmp-exporter")
                               << QStringLiteral("current layout, no SNMP exporter found");
    }

    void defaultLayoutFollowsTheInstalledExporter()
    {
        QFETCH(QByteArray, script);
        QFETCH(QString, name);
        QFETCH(QString, layout);
        QTemporaryDir dir;
        const QString bin = dir.filePath(QStringLiteral("bin"));
        QVERIFY(QDir().mkpath(bin));
        QString program;
        if (!script.isEmpty()) {
            program = bin + QLatin1Char('/') + name;
            QFile fake(program);
            QVERIFY(fake.open(QIODevice::WriteOnly));
            fake.write("#!/bin/sh\n" + script + '\n');
            fake.close();
            QVERIFY(fake.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        }
        const QString deviceFile = writeDeviceFile(dir, "127.0.0.1:1161;1;100000000;public;a\n");
        const QString out = dir.filePath(QStringLiteral("out"));
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_config.path());
        environment.insert(QStringLiteral("PATH"), bin);
        process.setProcessEnvironment(environment);
        QElapsedTimer timer;
        timer.start();
        process.start(QStringLiteral(OSTRALINE_EXECUTABLE),
                      {QStringLiteral("--export-prometheus"), deviceFile,
                       QStringLiteral("--output-dir"), out});
        QVERIFY(process.waitForFinished(20000));
        QVERIFY2(timer.elapsed() < 8000, qPrintable(QString::number(timer.elapsed())));
        const QString errors = QString::fromLocal8Bit(process.readAllStandardError());
        QCOMPARE(process.exitCode(), 0);
        QVERIFY2(errors.contains(QStringLiteral("(snmp.yml in the ") + layout.arg(program)),
                 qPrintable(errors));
        QFile snmp(out + QStringLiteral("/snmp.yml"));
        QVERIFY(snmp.open(QIODevice::ReadOnly));
        QCOMPARE(snmp.readAll().contains("\nauths:\n"),
                 layout.startsWith(QLatin1String("current")));
    }

    void initTestCase() { QVERIFY(m_config.isValid()); }
};

QTEST_GUILESS_MAIN(TestPrometheusExport)
#include "tst_prometheusexport.moc"
