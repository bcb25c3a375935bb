#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QNetworkDatagram>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>

#include <csignal>

// The run command's demo, started as a newcomer starts it: `scripts/run.sh` without arguments,
// for an "operator" whose home, settings, runtime and temporary folders are private to the
// test. The program runs unchanged; on the virtual display a probe plugin loaded into it
// reports its captions, buttons and graph positions and a picture of the screen.
namespace
{

const QString RunCommand = QStringLiteral(OSTRALINE_SOURCE_DIR "/scripts/run.sh");
const QByteArray PressLine = "Press \"Start polling\"";

// The operator's own settings: another interval, names off, a start file that is not active.
const QByteArray OperatorSettings = "[General]\n"
                                    "Show%20interface%20names=no\n"
                                    "first%20start%20file=/nowhere/routers.dev\n"
                                    "first%20start%20file%20active=no\n"
                                    "intervall=12\n";

// Whether a process exists and has not ended (a zombie has ended).
bool processAlive(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (pid <= 0 || !stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = stat.readAll();
    const qsizetype close = text.lastIndexOf(')');
    return close >= 0 && text.mid(close + 2, 1) != "Z";
}

// What the probe reported once.
struct Snapshot {
    struct Item {
        QRect rect;
        QString text;
        QList<QRgb> colours;
    };
    bool modal = true;
    QStringList enabledButtons;
    QList<Item> captions;
    QList<Item> graphs;
    QImage screen;

    const Item *caption(const QString &text) const
    {
        for (const Item &item : captions) {
            if (item.text == text)
                return &item;
        }
        return nullptr;
    }
    const Item *graphAround(const QRect &rect) const
    {
        for (const Item &item : graphs) {
            if (item.rect.contains(rect.center()))
                return &item;
        }
        return nullptr;
    }
    // Pixels inside the graph that have one of its bar colours.
    int barPixels(const Item &graph) const
    {
        int count = 0;
        const QRect area = graph.rect & screen.rect();
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x) {
                if (graph.colours.contains(screen.pixel(x, y) & RGB_MASK))
                    ++count;
            }
        }
        return count;
    }
};

// One run of the demo for a private operator.
class Demo
{
public:
    Demo()
    {
        for (const char *folder : {"home/.config/Kelvane", "run", "tmp", "probe"})
            QDir().mkpath(m_dir.filePath(folder));
        QFile::setPermissions(m_dir.filePath("run"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile settings(settingsPath());
        if (settings.open(QIODevice::WriteOnly))
            settings.write(OperatorSettings);
    }
    ~Demo()
    {
        // Ostraline first; the demo's own watcher then ends the agent and removes its folder.
        if (m_run.state() != QProcess::NotRunning) {
            m_run.kill();
            m_run.waitForFinished(5000);
        }
        QElapsedTimer clock;
        clock.start();
        while (!demoFolder().isEmpty() && clock.elapsed() < 5000)
            QTest::qWait(100);
    }

    QString settingsPath() const { return m_dir.filePath("home/.config/Kelvane/OSL.ini"); }
    QString probeFolder() const { return m_dir.filePath("probe"); }
    QProcess &process() { return m_run; }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "XAUTHORITY", "TMPDIR"})
            env.remove(name);
        env.insert("HOME", m_dir.filePath("home"));
        env.insert("XDG_CONFIG_HOME", m_dir.filePath("home/.config"));
        env.insert("XDG_RUNTIME_DIR", m_dir.filePath("run"));
        env.insert("TMPDIR", m_dir.filePath("tmp"));
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("OSTRALINE_EXECUTABLE", OSTRALINE_EXECUTABLE);
        return env;
    }

    // Starts the run command and waits for its line that says what to press.
    bool start(const QProcessEnvironment &env)
    {
        m_run.setProcessEnvironment(env);
        m_run.setWorkingDirectory(m_dir.path());
        m_run.start(RunCommand, {});
        QElapsedTimer clock;
        clock.start();
        while (!m_output.contains(PressLine) && clock.elapsed() < 30000 &&
               m_run.state() != QProcess::NotRunning) {
            m_run.waitForReadyRead(200);
            m_output += m_run.readAllStandardOutput();
        }
        return m_output.contains(PressLine);
    }
    QByteArray output()
    {
        return m_output + m_run.readAllStandardOutput() + m_run.readAllStandardError();
    }

    // The demo's temporary folder, while it exists.
    QString demoFolder() const
    {
        const QDir tmp(m_dir.filePath("tmp"));
        const QStringList found =
            tmp.entryList({"ostraline-demo.*"}, QDir::Dirs | QDir::NoDotAndDotDot);
        return found.isEmpty() ? QString() : tmp.filePath(found.first());
    }

    // Asks the probe for a report; false when it did not answer within five seconds.
    bool snapshot(Snapshot &shot)
    {
        const QDir probe(probeFolder());
        QFile request(probe.filePath("request"));
        if (!request.open(QIODevice::WriteOnly))
            return false;
        request.close();
        QElapsedTimer clock;
        clock.start();
        while (QFile::exists(request.fileName()) && clock.elapsed() < 5000)
            QTest::qWait(50);
        QFile widgets(probe.filePath("widgets.txt"));
        if (QFile::exists(request.fileName()) || !widgets.open(QIODevice::ReadOnly))
            return false;
        shot = Snapshot();
        for (const QByteArray &raw : widgets.readAll().split('\n')) {
            const QStringList f = QString::fromUtf8(raw).split(u'\t');
            if (f.at(0) == "modal" && f.size() == 2) {
                shot.modal = f.at(1) == "1";
            } else if (f.at(0) == "button" && f.size() == 3) {
                if (f.at(1) == "1")
                    shot.enabledButtons << f.at(2);
            } else if ((f.at(0) == "caption" && f.size() == 6) ||
                       (f.at(0) == "graph" && f.size() == 8)) {
                Snapshot::Item item{
                    QRect(f.at(1).toInt(), f.at(2).toInt(), f.at(3).toInt(), f.at(4).toInt()),
                    {},
                    {}};
                if (f.at(0) == "caption") {
                    item.text = f.at(5);
                    shot.captions << item;
                } else {
                    for (int i = 5; i < 8; ++i)
                        item.colours << (QColor(f.at(i)).rgb() & RGB_MASK);
                    shot.graphs << item;
                }
            }
        }
        shot.screen = QImage(probe.filePath("screen.bmp"));
        return !shot.screen.isNull();
    }

private:
    QTemporaryDir m_dir;
    QProcess m_run;
    QByteArray m_output;
};

// Datagrams from 127.0.0.1 to 127.0.0.1, about 800 kB/s, while it lives.
class LoopbackTraffic
{
public:
    LoopbackTraffic()
    {
        m_receiver.bind(QHostAddress::LocalHost, 0);
        QObject::connect(&m_receiver, &QUdpSocket::readyRead, [this] {
            while (m_receiver.hasPendingDatagrams())
                m_receiver.receiveDatagram(0);
        });
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const QByteArray payload(1000, 'x');
            for (int i = 0; i < 8; ++i)
                m_sender.writeDatagram(payload, QHostAddress::LocalHost, m_receiver.localPort());
        });
        m_timer.start(10);
    }

private:
    QUdpSocket m_receiver;
    QUdpSocket m_sender;
    QTimer m_timer;
};

// Runs a tool against the virtual display and returns its standard output.
QByteArray runTool(const QString &program, const QStringList &arguments,
                   const QProcessEnvironment &env)
{
    QProcess tool;
    tool.setProcessEnvironment(env);
    tool.start(program, arguments);
    if (!tool.waitForFinished(10000)) {
        tool.kill();
        tool.waitForFinished(1000);
    }
    return tool.readAllStandardOutput();
}

} // namespace

class TestFirstLook : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Started as a user starts it: within ten seconds of pressing "Start polling" the graph
    // named "lo" shows a bar and its caption gives input and output rates in bit/s that are
    // not zero; the operator's settings
    // stay byte for byte as they were.
    void demoShowsLoopbackTrafficOnNamedGraph()
    {
        const QString xvfb = QStandardPaths::findExecutable("Xvfb");
        const QString xdotool = QStandardPaths::findExecutable("xdotool");
        QVERIFY2(!xvfb.isEmpty() && !xdotool.isEmpty(),
                 "Xvfb and xdotool are needed (scripts/setup.sh)");

        QProcess display;
        display.start(xvfb, {"-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
        QByteArray number;
        QElapsedTimer clock;
        clock.start();
        while (!number.contains('\n') && clock.elapsed() < 20000 &&
               display.state() != QProcess::NotRunning) {
            display.waitForReadyRead(200);
            number += display.readAllStandardOutput();
        }
        QVERIFY2(number.contains('\n'), "Xvfb did not start");
        const QString displayName = ':' + QString::fromLatin1(number.trimmed());

        Demo demo;
        QProcessEnvironment env = demo.environment();
        env.insert("DISPLAY", displayName);
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.insert("QT_PLUGIN_PATH", PROBE_PLUGIN_DIR);
        env.insert("QT_QPA_GENERIC_PLUGINS", "ostralinewindowprobe");
        env.insert("OSTRALINE_PROBE_DIR", demo.probeFolder());
        QVERIFY2(demo.start(env), demo.output().constData());

        // The splash closes by itself; then "Start polling" is the one thing to press.
        Snapshot shot;
        clock.restart();
        while (!(demo.snapshot(shot) && !shot.modal &&
                 shot.enabledButtons.contains("&Start polling")) &&
               clock.elapsed() < 30000)
            QTest::qWait(200);
        QVERIFY2(!shot.modal && shot.enabledButtons.contains("&Start polling"),
                 demo.output().constData());

        LoopbackTraffic traffic;
        QByteArray window;
        clock.restart();
        while (window.isEmpty() && clock.elapsed() < 10000) {
            window = runTool(xdotool,
                             {"search", "--onlyvisible", "--name", "^Ostraline by Kelvane$"}, env)
                         .split('\n')
                         .first();
            if (window.isEmpty())
                QTest::qWait(200);
        }
        QVERIFY2(!window.isEmpty(), "no main window on the display");

        // The keyboard accelerator, pressed again should the first press not reach the window.
        QElapsedTimer sincePress;
        bool polling = false;
        for (int attempt = 0; attempt < 4 && !polling; ++attempt) {
            runTool(xdotool, {"windowfocus", QString::fromLatin1(window)}, env);
            sincePress.start();
            runTool(xdotool, {"key", "alt+s"}, env);
            while (!polling && sincePress.elapsed() < 3000) {
                polling = demo.snapshot(shot) && shot.enabledButtons.contains("Sto&p polling");
                if (!polling)
                    QTest::qWait(200);
            }
        }
        QVERIFY2(polling, "Alt+S did not start polling");

        bool bar = false;
        bool value = false;
        QString state;
        while (!(bar && value) && sincePress.elapsed() < 10000) {
            QTest::qWait(250);
            if (!demo.snapshot(shot))
                continue;
            const Snapshot::Item *name = shot.caption("lo");
            const Snapshot::Item *graph = name ? shot.graphAround(name->rect) : nullptr;
            if (!graph) {
                state = "no graph named lo";
                continue;
            }
            QString lastValues;
            for (const Snapshot::Item &caption : shot.captions) {
                if (caption.text.startsWith("IN ") && graph->rect.contains(caption.rect.center()))
                    lastValues = caption.text;
            }
            const int pixels = shot.barPixels(*graph);
            bar = pixels > 0;
            // The demo shows both directions in bit/s: loopback traffic counts both ways.
            value = lastValues.contains(
                QRegularExpression(QStringLiteral("^IN [1-9][^(]*bit/s .*OUT [1-9][^(]*bit/s")));
            state =
                QStringLiteral("lo: %1 bar pixels, last values \"%2\"").arg(pixels).arg(lastValues);
        }
        QVERIFY2(bar && value, qPrintable(state));
        qInfo("%s, %lld ms after the key press", qPrintable(state), qint64(sincePress.elapsed()));

        const QString folder = demo.demoFolder();
        demo.process().terminate();
        QVERIFY(demo.process().waitForFinished(5000));
        QTRY_VERIFY_WITH_TIMEOUT(!QDir(folder).exists(), 5000);
        QFile settings(demo.settingsPath());
        QVERIFY(settings.open(QIODevice::ReadOnly));
        QCOMPARE(settings.readAll(), OperatorSettings);

        display.terminate();
        display.waitForFinished(5000);
    }

    // However Ostraline ends, the demo agent ends with it and the demo folder goes; killing
    // the run command is killing Ostraline, as the command becomes it.
    void agentEndsWithOstraline_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("terminated") << SIGTERM;
        QTest::newRow("interrupted") << SIGINT;
        QTest::newRow("killed") << SIGKILL;
    }
    void agentEndsWithOstraline()
    {
        QFETCH(int, signal);
        Demo demo;
        QVERIFY2(demo.start(demo.environment()), demo.output().constData());
        const QString folder = demo.demoFolder();
        QVERIFY(!folder.isEmpty());
        QFile pidFile(QDir(folder).filePath("snmpd.pid"));
        QVERIFY(pidFile.open(QIODevice::ReadOnly));
        const qint64 agent = pidFile.readAll().trimmed().toLongLong();
        QVERIFY(processAlive(agent));
        QVERIFY(QFile::exists(QDir(folder).filePath("config/Kelvane/OSL.ini")));

        QVERIFY(::kill(pid_t(demo.process().processId()), signal) == 0);
        QVERIFY(demo.process().waitForFinished(5000));
        QTRY_VERIFY_WITH_TIMEOUT(!processAlive(agent) && !QDir(folder).exists(), 5000);

        QFile settings(demo.settingsPath());
        QVERIFY(settings.open(QIODevice::ReadOnly));
        QCOMPARE(settings.readAll(), OperatorSettings);
    }
};

QTEST_GUILESS_MAIN(TestFirstLook)
#include "tst_firstlook.moc"
