#include "HistoryReader.h"
#include "SnmpAgent.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <csignal>
#include <memory>
#include <sys/types.h>

// The unchanged program polls a loopback agent every 3 s and writes its utilisation log; the
// test stops the whole process for 20 s (as a suspend or a stall would), or keeps its thread
// busy, and lets it go on. The stall must not come out as a rate: the first poll after it is a
// first reading named in the status bar, and the polls after it show the agent's real rate
// again.
class TestStall : public QObject
{
    Q_OBJECT

    static constexpr double Rate = 100000; // octets per second the agent counts, each way

    QTemporaryDir m_dir;
    QString m_root; // the folder of this test function's run, in m_dir
    QProcess m_window;

    QString path(const QString &name) const { return QDir(m_root).filePath(name); }

    QString probeDir() const { return path("probe"); }

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
        const QStringList logs = QDir(path("bin")).entryList({"*_utilisation.csv"}, QDir::Files);
        if (logs.isEmpty())
            return rates;
        QFile log(QDir(path("bin")).filePath(logs.first()));
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
        return QTest::qWaitFor([&] { return loggedRates().size() >= count; }, timeoutMs);
    }

    // Waits for a line, at least the count-th, that logs the agent's rate again (within 20 %):
    // the rate is back once a poll read on either side of its interval while the program ran
    // freely, however late the polls around a stall came.
    bool waitForSteadyRate(int count, int timeoutMs)
    {
        return QTest::qWaitFor(
            [&] {
                const QList<double> rates = loggedRates();
                return rates.size() >= count && qAbs(rates.last() - Rate) < 0.2 * Rate;
            },
            timeoutMs);
    }

    std::unique_ptr<SnmpAgent> m_agent;
    QElapsedTimer m_counting;
    QTimer m_counter;

    // Starts a copy of the program polling a loopback agent every 3 s, its agent counting
    // Rate octets per second each way (in this process, so it goes on while the program does
    // not), and waits for its first two utilisation log lines.
    void launch()
    {
        QVERIFY(m_dir.isValid());
        m_root = m_dir.filePath(QString::fromLatin1(QTest::currentTestFunction()));
        for (const char *folder : {"bin", "home/.config/Kelvane", "run", "tmp", "probe"})
            QVERIFY(QDir(m_root).mkpath(folder));
        QFile::setPermissions(path("run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        // A copy of the program, so that its logs go to a folder of this test alone.
        const QString program = path("bin/ostraline");
        QVERIFY(QFile::copy(OSTRALINE_EXECUTABLE, program));
        QFile settings(path("home/.config/Kelvane/OSL.ini"));
        QVERIFY(settings.open(QIODevice::WriteOnly));
        settings.write("[General]\nintervall=3\nWrite%20util%20log=yes\nonerrors=zeroes\n");
        settings.close();

        m_agent = std::make_unique<SnmpAgent>();
        m_counting.start();
        const auto count = [this] {
            const double seconds = double(m_counting.elapsed()) / 1000;
            m_agent->setCounters(1, quint32(1000 + Rate * seconds), quint32(1000 + Rate * seconds));
        };
        count();
        QVERIFY2(m_agent->start(), qPrintable(m_agent->errorString()));
        connect(&m_counter, &QTimer::timeout, this, count);
        m_counter.start(50);

        const QString deviceFile = path("stall.dev");
        QFile device(deviceFile);
        QVERIFY(device.open(QIODevice::WriteOnly));
        device.write((m_agent->host() + ";1;8000000;public;stall\n").toUtf8()); // 1E6 octets/s
        device.close();

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "XAUTHORITY", "TMPDIR"})
            env.remove(name);
        env.insert("HOME", path("home"));
        env.insert("XDG_CONFIG_HOME", path("home/.config"));
        env.insert("XDG_DATA_HOME", path("home/.local/share"));
        env.insert("XDG_RUNTIME_DIR", path("run"));
        env.insert("TMPDIR", path("tmp"));
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
    }

private Q_SLOTS:
    void stalledWindowLogsNoSpike()
    {
        if (!SnmpAgent::isAvailable())
            QSKIP("snmpd is not installed");
        launch();
        if (QTest::currentTestFailed())
            return;
        const qint64 pid = m_window.processId();
        QElapsedTimer clock;
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
        QVERIFY2(waitForSteadyRate(before + 2, 9000),
                 qPrintable(QString::number(loggedRates().last())));

        const QList<double> rates = loggedRates();
        for (double rate : rates)
            QVERIFY2(rate <= 1.5 * Rate, qPrintable(QString::number(rate)));
        QVERIFY(rates.contains(0.0)); // the first readings: the start and after the stall

        m_window.terminate();
        if (!m_window.waitForFinished(5000)) {
            m_window.kill();
            m_window.waitForFinished(2000);
        }
    }

    // The program's own thread kept busy for 9 s between two polls at 3 s (a loaded machine,
    // a long piece of work): the poll timer is late and the readings on either side of the
    // wait are 9 s apart. That poll is a first reading for the rates, the logs and the history
    // alike: no spike in the log nor in the history, which keeps the wait unknown.
    void busyWindowLogsNoSpike()
    {
        if (!SnmpAgent::isAvailable())
            QSKIP("snmpd is not installed");
        launch();
        if (QTest::currentTestFailed())
            return;
        const int before = loggedRates().size();
        probe("busy 9000");
        QString message;
        QElapsedTimer clock;
        clock.start();
        while (message.isEmpty() && clock.elapsed() < 20000) {
            for (const QString &line : probe()) {
                if (line.startsWith("status\t") && line.contains("since its last reading"))
                    message = line.mid(7);
            }
        }
        QVERIFY2(message.startsWith("Row 1: ") && message.endsWith("; counted as a first reading"),
                 qPrintable(message));
        QVERIFY2(waitForLines(before + 3, 12000), "no lines after the busy wait");
        QVERIFY2(waitForSteadyRate(before + 3, 9000),
                 qPrintable(QString::number(loggedRates().last())));
        const QList<double> rates = loggedRates();
        for (double rate : rates)
            QVERIFY2(rate <= 1.5 * Rate, qPrintable(QString::number(rate)));
        QVERIFY(rates.mid(before).contains(0.0));

        m_window.terminate(); // the history is written by the time the program has ended
        if (!m_window.waitForFinished(5000)) {
            m_window.kill();
            m_window.waitForFinished(2000);
        }
        QDirIterator files(path("home/.local/share"), {"*.rrd"},
                           QDir::Files | QDir::AllDirs | QDir::NoDotAndDotDot,
                           QDirIterator::Subdirectories);
        QStringList history;
        while (files.hasNext()) {
            const QString file = files.next();
            if (file.endsWith(".rrd"))
                history << file;
        }
        QCOMPARE(history.size(), 1);
        const std::int64_t now = QDateTime::currentSecsSinceEpoch();
        QString error;
        const HistorySeries s = HistoryReader::fetch(history.first(), now - 120, now, &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        qsizetype firstKnown = -1, lastKnown = -1, unknownBetween = 0;
        for (qsizetype i = 0; i < s.size(); ++i) {
            if (std::isnan(s.inAverage[i]))
                continue;
            QVERIFY2(s.inAverage[i] / 8 <= 1.5 * Rate, qPrintable(QString::number(s.inAverage[i])));
            if (firstKnown < 0)
                firstKnown = i;
            else
                unknownBetween += i - lastKnown - 1;
            lastKnown = i;
        }
        QVERIFY2(unknownBetween >= 2, qPrintable(QString::number(unknownBetween))); // the wait
    }

    void cleanup()
    {
        m_counter.stop();
        if (m_window.state() != QProcess::NotRunning) {
            ::kill(pid_t(m_window.processId()), SIGCONT);
            m_window.kill();
            m_window.waitForFinished(2000);
        }
    }
};

QTEST_GUILESS_MAIN(TestStall)
#include "tst_stall.moc"
