#include "SnmpAgent.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <sys/types.h>

// The unchanged program polls a loopback agent every 3 s and writes its utilisation log; the
// test stops the whole process for 20 s (as a suspend or a stall would) and lets it go on. The
// stall must not come out as a rate: the first poll after it is a first reading named in the
// status bar, and the polls after it show the agent's real rate again.
class TestStall : public QObject
{
    Q_OBJECT

    static constexpr double Rate = 100000; // octets per second the agent counts, each way

    QTemporaryDir m_dir;
    QProcess m_window;

    QString probeDir() const { return m_dir.filePath("probe"); }

    // Asks the probe (loaded into the program) for its report, with an optional command.
    QStringList probe(const QByteArray &command = {})
    {
        QFile request(QDir(probeDir()).filePath("request"));
        if (!request.open(QIODevice::WriteOnly))
            return {};
        request.write(command);
        request.close();
        QElapsedTimer clock;
        clock.start();
        while (QFile::exists(request.fileName()) && clock.elapsed() < 3000)
            QTest::qWait(50);
        QFile widgets(QDir(probeDir()).filePath("widgets.txt"));
        if (QFile::exists(request.fileName()) || !widgets.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(widgets.readAll()).split('\n');
    }

    // The input rates of row 1 in the utilisation log, in the order logged.
    QList<double> loggedRates() const
    {
        QList<double> rates;
        const QStringList logs =
            QDir(m_dir.filePath("bin")).entryList({"*_utilisation.csv"}, QDir::Files);
        if (logs.isEmpty())
            return rates;
        QFile log(QDir(m_dir.filePath("bin")).filePath(logs.first()));
        if (!log.open(QIODevice::ReadOnly))
            return rates;
        for (const QByteArray &line : log.readAll().split('\n')) {
            const QList<QByteArray> fields = line.split(';');
            if (fields.size() > 6 && fields.at(1).trimmed() == "1")
                rates << fields.at(6).trimmed().toDouble();
        }
        return rates;
    }

    bool waitForLines(int count, int timeoutMs)
    {
        QElapsedTimer clock;
        clock.start();
        while (loggedRates().size() < count && clock.elapsed() < timeoutMs)
            QTest::qWait(100);
        return loggedRates().size() >= count;
    }

private Q_SLOTS:
    void stalledWindowLogsNoSpike()
    {
        if (!SnmpAgent::isAvailable())
            QSKIP("snmpd is not installed");
        QVERIFY(m_dir.isValid());
        for (const char *folder : {"bin", "home/.config/Kelvane", "run", "tmp", "probe"})
            QVERIFY(QDir(m_dir.path()).mkpath(folder));
        QFile::setPermissions(m_dir.filePath("run"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        // A copy of the program, so that its logs go to a folder of this test alone.
        const QString program = m_dir.filePath("bin/ostraline");
        QVERIFY(QFile::copy(OSTRALINE_EXECUTABLE, program));
        QFile settings(m_dir.filePath("home/.config/Kelvane/OSL.ini"));
        QVERIFY(settings.open(QIODevice::WriteOnly));
        settings.write("[General]\nintervall=3\nWrite%20util%20log=yes\nonerrors=zeroes\n");
        settings.close();

        SnmpAgent agent;
        QElapsedTimer counting;
        counting.start();
        const auto count = [&] {
            const double seconds = double(counting.elapsed()) / 1000;
            agent.setCounters(1, quint32(1000 + Rate * seconds), quint32(1000 + Rate * seconds));
        };
        count();
        QVERIFY2(agent.start(), qPrintable(agent.errorString()));
        QTimer counter;
        connect(&counter, &QTimer::timeout, this, count);
        counter.start(50);

        const QString deviceFile = m_dir.filePath("stall.dev");
        QFile device(deviceFile);
        QVERIFY(device.open(QIODevice::WriteOnly));
        device.write((agent.host() + ";1;8000000;public;stall\n").toUtf8()); // 1E6 octets/s
        device.close();

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "XAUTHORITY", "TMPDIR"})
            env.remove(name);
        env.insert("HOME", m_dir.filePath("home"));
        env.insert("XDG_CONFIG_HOME", m_dir.filePath("home/.config"));
        env.insert("XDG_DATA_HOME", m_dir.filePath("home/.local/share"));
        env.insert("XDG_RUNTIME_DIR", m_dir.filePath("run"));
        env.insert("TMPDIR", m_dir.filePath("tmp"));
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("QT_PLUGIN_PATH", PROBE_PLUGIN_DIR);
        env.insert("QT_QPA_GENERIC_PLUGINS", "ostralinewindowprobe");
        env.insert("OSTRALINE_PROBE_DIR", probeDir());
        m_window.setProcessEnvironment(env);
        m_window.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_window.start(program, {deviceFile});
        QVERIFY(m_window.waitForStarted(5000));

        // Start polling once the window offers it (the splash may still be up).
        QElapsedTimer clock;
        clock.start();
        bool ready = false;
        while (!ready && clock.elapsed() < 10000) {
            const QStringList report = probe();
            ready = report.contains("modal\t0") && report.contains("button\t1\t&Start polling");
            if (!ready)
                QTest::qWait(200);
        }
        QVERIFY2(ready, "the window never offered Start polling");
        probe("click &Start polling");
        QVERIFY2(waitForLines(2, 8000), "no utilisation log lines");

        const qint64 pid = m_window.processId();
        QCOMPARE(::kill(pid_t(pid), SIGSTOP), 0);
        QTest::qWait(20000); // the agent goes on counting
        QCOMPARE(::kill(pid_t(pid), SIGCONT), 0);
        const int before = loggedRates().size();

        // The first poll after the stall names it in the status bar.
        QString message;
        clock.restart();
        while (message.isEmpty() && clock.elapsed() < 6000) {
            for (const QString &line : probe()) {
                if (line.startsWith("status\t") && line.contains("since its last reading"))
                    message = line.mid(7);
            }
        }
        QVERIFY2(message.contains("Row 1: ") && message.contains("; counted as a first reading"),
                 qPrintable(message));
        QVERIFY2(waitForLines(before + 2, 9000), "no lines after the stall");

        const QList<double> rates = loggedRates();
        for (double rate : rates)
            QVERIFY2(rate <= 1.5 * Rate, qPrintable(QString::number(rate)));
        QVERIFY(rates.contains(0.0)); // the first readings: the start and after the stall
        QVERIFY2(qAbs(rates.last() - Rate) < 0.2 * Rate, qPrintable(QString::number(rates.last())));

        m_window.terminate();
        if (!m_window.waitForFinished(5000)) {
            m_window.kill();
            m_window.waitForFinished(2000);
        }
    }

    void cleanup()
    {
        if (m_window.state() != QProcess::NotRunning) {
            ::kill(pid_t(m_window.processId()), SIGCONT);
            m_window.kill();
            m_window.waitForFinished(2000);
        }
    }
};

QTEST_GUILESS_MAIN(TestStall)
#include "tst_stall.moc"
