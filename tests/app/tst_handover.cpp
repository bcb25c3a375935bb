#include "Heartbeat.h"
#include "InterfaceList.h"
#include "MainWindowFixture.h"
#include "SingleInstance.h"
#include "WindowHandover.h"
#include "WindowRaiser.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLocalServer>
#include <QLocalSocket>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QUrl>

#include <algorithm>
#include <atomic>
#include <memory>
#include <vector>

#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

// A later start of the real program against a running window of this test: the window holds
// the single-instance lock and listens, in a private runtime folder, as the program does.
class TestHandover : public QObject
{
    Q_OBJECT

    QTemporaryDir m_runtime;

    // Starts the program as a second copy in folder with arguments; it must end at once.
    // Returns its exit code; what it said on standard error goes to errorText.
    int runSecond(const QString &folder, const QStringList &arguments, QString *errorText = nullptr)
    {
        QProcess second;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_RUNTIME_DIR", m_runtime.path());
        env.insert("XDG_CONFIG_HOME", m_runtime.filePath("config"));
        second.setProcessEnvironment(env);
        second.setWorkingDirectory(folder);
        QElapsedTimer clock;
        clock.start();
        second.start(QStringLiteral(OSTRALINE_EXECUTABLE), arguments);
        if (!second.waitForStarted(5000))
            return -1;
        // The event loop runs meanwhile: this process answers the request.
        if (!QTest::qWaitFor([&] { return second.state() == QProcess::NotRunning; }, 5000) ||
            clock.elapsed() > 3500 || second.exitStatus() != QProcess::NormalExit)
            return -1; // the second copy must end at once, by itself
        if (errorText)
            *errorText = QString::fromLocal8Bit(second.readAllStandardError());
        return second.exitCode();
    }
    void secondStart(const QString &folder, const QStringList &arguments)
    {
        QCOMPARE(runSecond(folder, arguments), 0);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_runtime.isValid());
        QVERIFY(QFile::setPermissions(m_runtime.path(),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
        qputenv("OSTRALINE_NO_SPLASH", "1");
    }

    // With a file: the window loads it as File > Open does (a relative name is the second
    // copy's), and comes to the front. Without one: it only comes to the front.
    void secondStartRaisesTheWindow_data()
    {
        QTest::addColumn<bool>("withFile");
        QTest::newRow("with a device file") << true;
        QTest::newRow("without a file") << false;
    }
    void secondStartRaisesTheWindow()
    {
        QFETCH(bool, withFile);
        const SingleInstance guard(QStringLiteral("irgendwaseinmaliges"));
        QVERIFY(!guard.anotherIsRunning());
        MainWindowFixture f;
        TForm1 &form = f.create();
        WindowHandoverServer server(
            [&form](const QString &file) { return form.takeOverStart(file); });
        QVERIFY(server.listen());
        form.showMinimized();
        QVERIFY(form.isMinimized());

        const QString device = f.writeFile(
            "routers.dev", "127.0.0.1:9;1;1000;public;one\n127.0.0.1:9;2;1000;public;two\n");
        secondStart(f.folder(), withFile ? QStringList{"routers.dev"} : QStringList{});

        QTRY_VERIFY(!form.isMinimized());
        QVERIFY(form.isVisible());
        QTest::qWait(50);
        if (withFile) {
            QCOMPARE(form.deviceFilePath(), device);
            QCOMPARE(form.interfaceList().count(), 2);
            QVERIFY(form.startButton()->isEnabled()); // "Start polling", as after File > Open
        } else {
            QCOMPARE(form.deviceFilePath(), QString());
            QCOMPARE(form.interfaceList().count(), 0);
        }
        QVERIFY(f.errors.isEmpty());
    }

    // The socket takes requests only in their form and size; a client that floods it or
    // says nothing is dropped, and the next one is served.
    void badRequestsAreDropped_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::newRow("flood without an end of line") << QByteArray(64 * 1024, 'x');
        QTest::newRow("unknown request") << QByteArray("delete everything\n");
        QTest::newRow("relative path") << QByteArray("open routers.dev\n");
        QTest::newRow("silence") << QByteArray();
    }
    void badRequestsAreDropped()
    {
        QFETCH(QByteArray, request);
        const QString path = m_runtime.filePath("probe-socket");
        QStringList handled;
        WindowHandoverServer server([&handled](const QString &file) {
            handled << file;
            return true;
        });
        QVERIFY(server.listen(path));

        QLocalSocket client;
        client.connectToServer(path);
        QVERIFY(client.waitForConnected(2000));
        client.write(request);
        QTRY_COMPARE_WITH_TIMEOUT(client.state(), QLocalSocket::UnconnectedState, 4000);
        QVERIFY(!client.readAll().startsWith("ok"));
        QVERIFY(handled.isEmpty());

        QLocalSocket next;
        next.connectToServer(path);
        QVERIFY(next.waitForConnected(2000));
        next.write("open /tmp/a%0Ab.dev\n");
        QTRY_VERIFY(next.bytesAvailable() > 0 || next.state() == QLocalSocket::UnconnectedState);
        QTRY_COMPARE(handled, QStringList{"/tmp/a\nb.dev"});
    }

    // 3,000 requests while a modal box is open: the window stays responsive, at most one
    // request waits (the newest), no error box per request, nothing is re-armed per
    // request, every client gets an answer ("ok", or "busy" for one replaced before it was
    // handed over), and once the box is closed the newest file is the one loaded.
    void aFloodWhileADialogIsOpenCostsOneHandOver()
    {
        const SingleInstance guard(QStringLiteral("irgendwaseinmaliges"));
        MainWindowFixture f;
        TForm1 &form = f.create();
        std::atomic<int> calls{0};
        WindowHandoverServer server([&form, &calls](const QString &file) {
            ++calls;
            return form.takeOverStart(file);
        });
        const QString path = m_runtime.filePath("flood-socket");
        QVERIFY(server.listen(path));
        form.show();
        QMessageBox box(QMessageBox::Warning, "Ostraline", "Something went wrong", QMessageBox::Ok,
                        &form);
        box.setWindowModality(Qt::ApplicationModal);
        box.show();
        QTRY_COMPARE(QApplication::activeModalWidget(), &box);
        const QString newest = f.writeFile(
            "newest.dev", "127.0.0.1:9;1;1000;public;one\n127.0.0.1:9;2;1000;public;two\n");

        // Four clients at a time, as many starts of a script would be; the last request,
        // after all others were answered, is the newest.
        constexpr int Clients = 4;
        constexpr int PerClient = 750;
        std::atomic<int> ok{0}, busy{0}, silent{0};
        // Plain blocking socket calls, as a script's client would make them.
        const QByteArray socketPath = QFile::encodeName(path);
        const auto request = [&](const QByteArray &line) {
            const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            std::memcpy(address.sun_path, socketPath.constData(), size_t(socketPath.size()));
            QByteArray reply;
            if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 &&
                ::write(fd, line.constData(), size_t(line.size())) == line.size()) {
                pollfd wait{fd, POLLIN, 0};
                char buffer[16];
                while (!reply.contains('\n') && ::poll(&wait, 1, 2000) == 1) {
                    const ssize_t n = ::read(fd, buffer, sizeof buffer);
                    if (n <= 0)
                        break;
                    reply.append(buffer, n);
                }
            }
            ::close(fd);
            if (reply == "ok\n")
                ++ok;
            else if (reply == "busy\n")
                ++busy;
            else
                ++silent;
        };
        std::vector<std::unique_ptr<QThread>> threads;
        for (int c = 0; c < Clients; ++c) {
            threads.emplace_back(QThread::create([&, c] {
                for (int i = 0; i < PerClient; ++i)
                    request("open " +
                            QUrl::toPercentEncoding(
                                f.folder() + QStringLiteral("/missing-%1-%2.dev").arg(c).arg(i)) +
                            "\n");
            }));
        }
        const auto cpuMs = [] {
            rusage usage{};
            ::getrusage(RUSAGE_SELF, &usage);
            return qint64(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000 +
                   (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000;
        };
        // The event loop runs as the program's does (QTest::qWaitFor would sleep between
        // rounds): it ends when the threads have ended, or after a minute.
        const auto runUntilFinished = [](const std::vector<QThread *> &running) {
            QEventLoop loop;
            int open = int(running.size());
            for (QThread *thread : running) {
                QObject::connect(thread, &QThread::finished, &loop, [&] {
                    if (--open == 0)
                        loop.quit();
                });
                thread->start();
            }
            QTimer::singleShot(60000, &loop, &QEventLoop::quit);
            loop.exec();
            return std::all_of(running.begin(), running.end(),
                               [](QThread *t) { return t->isFinished(); });
        };
        const qint64 cpuBefore = cpuMs();
        QElapsedTimer clock;
        clock.start();
        Heartbeat beat(5);
        std::vector<QThread *> running;
        for (auto &thread : threads)
            running.push_back(thread.get());
        QVERIFY(runUntilFinished(running));
        std::unique_ptr<QThread> last(
            QThread::create([&] { request("open " + QUrl::toPercentEncoding(newest) + "\n"); }));
        QVERIFY(runUntilFinished({last.get()}));
        beat.stop();
        // The clients' side included: a few seconds at most, where a timer per request and a
        // raise per request kept a core busy.
        const qint64 floodCpuMs = cpuMs() - cpuBefore;
        qDebug("3,001 requests: %lld ms, %lld ms of processor time, longest gap %lld ms",
               clock.elapsed(), floodCpuMs, beat.longestGapMs());

        QCOMPARE(ok + busy + silent, Clients * PerClient + 1);
        QCOMPARE(silent.load(), 0);
        QVERIFY2(beat.longestGapMs() < 50, qPrintable(QString::number(beat.longestGapMs())));
        QVERIFY2(floodCpuMs < 3000, qPrintable(QString::number(floodCpuMs)));
        QVERIFY(server.hasWaiting());
        QVERIFY(f.errors.isEmpty());
        QVERIFY(box.isVisible());

        // Waiting costs one offer every half second, not one per request.
        const int before = calls;
        QTest::qWait(1100);
        QVERIFY2(calls - before <= 3, qPrintable(QString::number(calls - before)));

        box.accept();
        QTRY_COMPARE(form.deviceFilePath(), newest);
        QVERIFY(!server.hasWaiting());
        QCOMPARE(form.interfaceList().count(), 2);
        QVERIFY(f.errors.isEmpty());
    }

    // Clients beyond 8 at once are answered "busy" at once, not left to wait.
    void aClientBeyondTheLimitIsAnsweredBusy()
    {
        const QString path = m_runtime.filePath("busy-socket");
        WindowHandoverServer server([](const QString &) { return true; });
        QVERIFY(server.listen(path));
        std::vector<std::unique_ptr<QLocalSocket>> quiet;
        for (int i = 0; i < 8; ++i) {
            quiet.push_back(std::make_unique<QLocalSocket>());
            quiet.back()->connectToServer(path);
            QVERIFY(quiet.back()->waitForConnected(2000));
        }
        QTest::qWait(100);
        QLocalSocket ninth;
        ninth.connectToServer(path);
        QVERIFY(ninth.waitForConnected(2000));
        ninth.write("raise\n");
        QTRY_VERIFY(ninth.bytesAvailable() >= 5 || ninth.state() == QLocalSocket::UnconnectedState);
        QCOMPARE(ninth.readAll(), QByteArray("busy\n"));
    }

    // A later start whose hand-over fails says why on standard error and exits 1: the running
    // copy does not answer (a fake first copy: a socket that takes the connection and never
    // answers), is busy, or does not listen at all.
    void aFailedHandOverSaysSoAndExits1_data()
    {
        QTest::addColumn<QString>("firstCopy");
        QTest::addColumn<QString>("message");
        QTest::newRow("never answers") << "silent"
                                       << "did not answer within 2 seconds";
        QTest::newRow("busy") << "busy"
                              << "busy with another start";
        QTest::newRow("not listening") << "none"
                                       << "cannot be reached at";
    }
    void aFailedHandOverSaysSoAndExits1()
    {
        QFETCH(QString, firstCopy);
        QFETCH(QString, message);
        const SingleInstance guard(QStringLiteral("irgendwaseinmaliges"));
        QVERIFY(!guard.anotherIsRunning());
        QLocalServer fake;
        std::vector<QLocalSocket *> kept;
        if (firstCopy != u"none") {
            QLocalServer::removeServer(WindowHandover::socketPath());
            QVERIFY(fake.listen(WindowHandover::socketPath()));
            connect(&fake, &QLocalServer::newConnection, this, [&] {
                while (QLocalSocket *s = fake.nextPendingConnection()) {
                    kept.push_back(s);
                    if (firstCopy == u"busy")
                        s->write("busy\n");
                }
            });
        } else {
            QLocalServer::removeServer(WindowHandover::socketPath());
        }
        QTemporaryDir folder;
        const QString device = folder.filePath("routers.dev");
        QFile(device).open(QIODevice::WriteOnly);

        QString errorText;
        QCOMPARE(runSecond(folder.path(), {"routers.dev"}, &errorText), 1);
        QVERIFY2(errorText.contains(message), qPrintable(errorText));
        QVERIFY2(errorText.contains(device + " was not handed to it."), qPrintable(errorText));
    }

    // Requests from other programs bring the window forward at most once a second.
    void theWindowIsRaisedAtMostOnceASecond()
    {
        QWidget window;
        window.showMinimized();
        WindowRaiser &raiser = WindowRaiser::of(window);
        QCOMPARE(&WindowRaiser::of(window), &raiser);
        QVERIFY(raiser.raise());
        QVERIFY(!window.isMinimized());
        window.showMinimized();
        for (int i = 0; i < 1000; ++i)
            QVERIFY(!raiser.raise());
        QVERIFY(window.isMinimized());
        QTest::qWait(WindowRaiser::MinGapMs + 50);
        QVERIFY(raiser.raise());
        QVERIFY(!window.isMinimized());
    }
};

QTEST_MAIN(TestHandover)
#include "tst_handover.moc"
