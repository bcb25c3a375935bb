// Ostraline as it runs on a Wayland desktop: the real executable on Debian's weston with its
// headless back end, natively (QT_QPA_PLATFORM=wayland), everything in a private folder: its
// own XDG_RUNTIME_DIR and socket name, home and settings. It loads a device file, polls a
// loopback snmpd for a few polls (its logs prove them) and quits when its window is closed.
// A headless compositor injects no input: the first look's window probe, loaded into the
// program, clicks for the operator.

#include "SnmpAgent.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

class TestWayland : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QProcess m_weston;
    QString m_socket;

    QString path(const QString &name) const { return m_dir.filePath(name); }

    // Asks the probe for a report, with an optional command; the report's lines, or none when
    // it did not answer within ten seconds.
    QStringList probe(const QByteArray &command = {})
    {
        QFile request(path("probe/request"));
        if (!request.open(QIODevice::WriteOnly))
            return {};
        request.write(command);
        request.close();
        QElapsedTimer clock;
        clock.start();
        while (QFile::exists(request.fileName()) && clock.elapsed() < 10000)
            QTest::qWait(50);
        QFile widgets(path("probe/widgets.txt"));
        if (QFile::exists(request.fileName()) || !widgets.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(widgets.readAll()).split(u'\n', Qt::SkipEmptyParts);
    }

    static int dataLines(const QString &folder, const QString &suffix)
    {
        const QStringList logs = QDir(folder).entryList({QStringLiteral("*") + suffix});
        if (logs.size() != 1)
            return 0;
        QFile log(QDir(folder).filePath(logs.first()));
        if (!log.open(QIODevice::ReadOnly))
            return 0;
        return int(log.readAll().count("\r\n")) - 1; // less the header
    }

private Q_SLOTS:
    void initTestCase()
    {
        for (const char *folder : {"run", "home/.config/Kelvane", "bin", "probe"})
            QVERIFY(QDir().mkpath(path(folder)));
        QVERIFY(QFile::setPermissions(path("run"),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        const QString weston = QStandardPaths::findExecutable(QStringLiteral("weston"));
        if (weston.isEmpty())
            QSKIP("weston is not installed (Debian package weston): no Wayland compositor to "
                  "run under");
        m_socket = QStringLiteral("ostraline-test-%1").arg(::getpid());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "WAYLAND_SOCKET"})
            env.remove(name);
        env.insert("XDG_RUNTIME_DIR", path("run"));
        env.insert("HOME", path("home"));
        m_weston.setProcessEnvironment(env);
        m_weston.setProcessChannelMode(QProcess::MergedChannels);
        m_weston.start(weston, {"--backend=headless-backend.so", "--socket=" + m_socket,
                                "--no-config", "--idle-time=0", "--width=1280", "--height=1024"});
        QElapsedTimer clock;
        clock.start();
        while (!QFile::exists(path("run/" + m_socket)) && clock.elapsed() < 10000 &&
               m_weston.state() != QProcess::NotRunning)
            QTest::qWait(50);
        if (!QFile::exists(path("run/" + m_socket)))
            QSKIP(qPrintable("weston cannot start here (headless back end): " +
                             QString::fromLocal8Bit(m_weston.readAll()).right(800)));
    }

    void cleanupTestCase()
    {
        if (m_weston.state() != QProcess::NotRunning) {
            m_weston.terminate();
            if (!m_weston.waitForFinished(5000)) {
                m_weston.kill();
                m_weston.waitForFinished(5000);
            }
        }
    }

    void pollsNativelyAndQuitsCleanly()
    {
        if (!SnmpAgent::isAvailable())
            QSKIP("snmpd is not installed");
        SnmpAgent agent;
        agent.setCounters(1, 1000, 2000);
        agent.setCounters(2, 5000, 7000);
        QVERIFY2(agent.start(), qPrintable(agent.errorString()));

        // The program's folder is writable: the logs go there.
        const QString program = path("bin/ostraline");
        QVERIFY(QFile::copy(QStringLiteral(OSTRALINE_EXECUTABLE), program));
        QVERIFY(
            QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QFile device(path("routers.dev"));
        QVERIFY(device.open(QIODevice::WriteOnly));
        device.write((agent.host() + ";1;10000000;public;uplink\n" + agent.host() +
                      ";2;10000000;public;backup\n")
                         .toUtf8());
        device.close();
        QFile settings(path("home/.config/Kelvane/OSL.ini"));
        QVERIFY(settings.open(QIODevice::WriteOnly));
        settings.write("[General]\nintervall=3\nWrite%20util%20log=yes\n"
                       "Write%20analysis%20log=yes\nShow%20interface%20names=yes\n");
        settings.close();

        QProcess run;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "XAUTHORITY", "WAYLAND_SOCKET"})
            env.remove(name);
        env.insert("QT_QPA_PLATFORM", "wayland");
        env.insert("WAYLAND_DISPLAY", m_socket);
        env.insert("XDG_RUNTIME_DIR", path("run"));
        env.insert("HOME", path("home"));
        env.insert("XDG_CONFIG_HOME", path("home/.config"));
        env.insert("XDG_DATA_HOME", path("home/.local/share"));
        env.insert("QT_PLUGIN_PATH", PROBE_PLUGIN_DIR);
        env.insert("QT_QPA_GENERIC_PLUGINS", "ostralinewindowprobe");
        env.insert("OSTRALINE_PROBE_DIR", path("probe"));
        run.setProcessEnvironment(env);
        run.setWorkingDirectory(m_dir.path());
        run.start(program, {path("routers.dev")});
        QVERIFY(run.waitForStarted(5000));
        auto stopRun = qScopeGuard([&run] {
            if (run.state() != QProcess::NotRunning) {
                run.kill();
                run.waitForFinished(5000);
            }
        });

        // Up on Wayland, the file loaded, the splash gone (it closes after two seconds).
        QStringList report;
        QElapsedTimer clock;
        clock.start();
        do {
            report = probe();
        } while (!(report.contains("modal\t0") && report.contains("button\t1\t&Start polling")) &&
                 clock.elapsed() < 30000 && run.state() == QProcess::Running);
        QVERIFY2(report.contains("platform\twayland"), qPrintable(report.join(u'\n')));
        QVERIFY2(report.contains("button\t1\t&Start polling"), qPrintable(report.join(u'\n')));

        probe("click &Start polling");
        // Three polls at the 3-second interval: the first at once, then every 3 seconds.
        QTRY_VERIFY_WITH_TIMEOUT(dataLines(path("bin"), "_utilisation.csv") >= 3 * 2, 40000);
        QVERIFY(dataLines(path("bin"), "_analysis.csv") >= 3);
        report = probe();
        QVERIFY2(report.contains("button\t1\tSto&p polling"), qPrintable(report.join(u'\n')));
        bool named = false;
        for (const QString &line : report)
            named = named || (line.startsWith("caption\t") && line.endsWith("\tuplink"));
        QVERIFY2(named, qPrintable(report.join(u'\n')));

        // Closing the window ends the program, with status 0 and no complaint of the platform.
        probe("close Ostraline by Kelvane");
        // A program that does not end: what its threads are doing goes into the log.
        if (!run.waitForFinished(20000) && !QStandardPaths::findExecutable("gdb").isEmpty()) {
            QProcess gdb;
            gdb.start("gdb", {"-p", QString::number(run.processId()), "-batch", "-ex",
                              "thread apply all bt 25"});
            gdb.waitForFinished(60000);
            qWarning("%s", gdb.readAllStandardOutput().constData());
        }
        if (run.state() != QProcess::NotRunning)
            QFAIL(qPrintable("still running after its window was closed:\n" + probe().join(u'\n') +
                             "\n" + QString::fromLocal8Bit(run.readAllStandardError())));
        QCOMPARE(run.exitStatus(), QProcess::NormalExit);
        QCOMPARE(run.exitCode(), 0);
        const QByteArray errors = run.readAllStandardError();
        QVERIFY2(!errors.contains("wayland") && !errors.contains("Wayland"), errors.constData());
    }
};

QTEST_MAIN(TestWayland)
#include "tst_wayland.moc"
