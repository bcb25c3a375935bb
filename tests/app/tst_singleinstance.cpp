#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// Starts the real program twice, without a display, in a private settings and runtime folder.
class TestSingleInstance : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_CONFIG_HOME", m_dir.filePath("config"));
        env.insert("XDG_RUNTIME_DIR", m_dir.path());
        return env;
    }
    void start(QProcess &process) const
    {
        process.setProcessEnvironment(environment());
        process.setWorkingDirectory(m_dir.path());
        process.start(QStringLiteral(OSTRALINE_EXECUTABLE), {});
    }
    // The first copy is up once it holds the mark in the runtime folder.
    void waitUntilRunning(QProcess &first)
    {
        QVERIFY(first.waitForStarted(5000));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(m_dir.filePath("irgendwaseinmaliges")), 5000);
        QTest::qWait(300);
        QCOMPARE(first.state(), QProcess::Running);
    }

private Q_SLOTS:
    void secondCopyEndsAtOnce()
    {
        QProcess first;
        start(first);
        waitUntilRunning(first);

        QProcess second;
        QElapsedTimer clock;
        clock.start();
        start(second);
        QVERIFY(second.waitForFinished(5000));
        QVERIFY2(clock.elapsed() < 3000, "the second copy must end at once");
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(first.state(), QProcess::Running);

        // A copy that died without cleaning up does not block the next start.
        first.kill();
        QVERIFY(first.waitForFinished(5000));
        QProcess third;
        start(third);
        QVERIFY(third.waitForStarted(5000));
        QVERIFY(!third.waitForFinished(1500)); // keeps running: it holds the mark now
        third.kill();
        third.waitForFinished(5000);
    }
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
