#include "InterfaceList.h"
#include "MainWindowFixture.h"
#include "SingleInstance.h"
#include "WindowHandover.h"

#include <QElapsedTimer>
#include <QLocalSocket>
#include <QProcess>
#include <QPushButton>
#include <QTest>

// A later start of the real program against a running window of this test: the window holds
// the single-instance lock and listens, in a private runtime folder, as the program does.
class TestHandover : public QObject
{
    Q_OBJECT

    QTemporaryDir m_runtime;

    // Starts the program as a second copy in folder with arguments; it must end at once.
    void secondStart(const QString &folder, const QStringList &arguments)
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
        QVERIFY(second.waitForStarted(5000));
        // The event loop runs meanwhile: this process answers the request.
        QTRY_COMPARE_WITH_TIMEOUT(second.state(), QProcess::NotRunning, 5000);
        QVERIFY2(clock.elapsed() < 3000, "the second copy must end at once");
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
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
        WindowHandoverServer server([&form](const QString &file) { form.takeOverStart(file); });
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
        WindowHandoverServer server([&handled](const QString &file) { handled << file; });
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
};

QTEST_MAIN(TestHandover)
#include "tst_handover.moc"
