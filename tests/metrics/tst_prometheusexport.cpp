#include "AgentProfileFile.h"
#include "IfMibAgent.h"
#include "PrometheusExport.h"
#include "PrometheusTools.h"
#include "SnmpAgent.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

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
                          "    community: \"s\\\"e\\\\c\\u000a\"\nmodules:\n  ostraline_if:\n"));
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

    void initTestCase() { QVERIFY(m_config.isValid()); }
};

QTEST_GUILESS_MAIN(TestPrometheusExport)
#include "tst_prometheusexport.moc"
