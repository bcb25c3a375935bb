// The alert command: run without a shell with the alert in its environment, killed at its
// time limit, at most four at once, a failure reported once until a run works again.

#include "AlertCommand.h"
#include "AlertFixture.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

namespace
{

AlertEvent sample()
{
    AlertEvent e;
    e.time = QDateTime(QDate(2026, 3, 2), QTime(9, 0, 5), QTimeZone(-5 * 3600));
    e.state = AlertState::Cleared;
    e.condition = AlertCondition::Silent;
    e.interfaceName = QStringLiteral("Core uplink; \"A\" side");
    e.address = QStringLiteral("[::1]:1161");
    e.ifIndex = QStringLiteral("3");
    e.value = QStringLiteral("answering");
    return e;
}

QString writeScript(const QTemporaryDir &dir, const QByteArray &body)
{
    const QString path = dir.filePath(QStringLiteral("alert hook.sh"));
    QFile script(path);
    if (!script.open(QIODevice::WriteOnly))
        return QString();
    script.write("#!/bin/sh\n" + body);
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

} // namespace

class TestAlertCommand : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void environmentAndArgumentsWithoutAShell()
    {
        QTemporaryDir dir;
        const QString script = writeScript(
            dir,
            "env | grep '^OSTRALINE_ALERT_' | sort > \"$1\"\nprintf '%s' \"$2\" > \"$1.arg\"\n");
        const QString out = dir.filePath(QStringLiteral("env.txt"));
        AlertCommand command;
        command.setCommandLine(
            QStringLiteral("\"%1\" \"%2\" \"$(touch pwned) ; x\"").arg(script, out));
        QSignalSpy finished(&command, &AlertCommand::finished);
        QSignalSpy failed(&command, &AlertCommand::failed);
        command.run(sample());
        QVERIFY(finished.wait(5000));
        QCOMPARE(failed.size(), 0);

        QFile env(out);
        QVERIFY(env.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(env.readAll()).split(u'\n', Qt::SkipEmptyParts),
                 (QStringList{"OSTRALINE_ALERT_ADDRESS=[::1]:1161",
                              "OSTRALINE_ALERT_CONDITION=silent", "OSTRALINE_ALERT_IFINDEX=3",
                              "OSTRALINE_ALERT_INTERFACE=Core uplink; \"A\" side",
                              "OSTRALINE_ALERT_STATE=cleared",
                              "OSTRALINE_ALERT_TIME=2026-03-02T09:00:05-05:00",
                              "OSTRALINE_ALERT_VALUE=answering"}));
        QFile arg(out + QStringLiteral(".arg"));
        QVERIFY(arg.open(QIODevice::ReadOnly));
        QCOMPARE(arg.readAll(), QByteArray("$(touch pwned) ; x"));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("pwned"))));
    }

    void theReadmeExampleScriptWorks()
    {
        QTemporaryDir dir;
        const QString out = dir.filePath(QStringLiteral("alerts.txt"));
        AlertCommand command;
        command.setCommandLine(QStringLiteral("\"%1/scripts/alert-example.sh\" \"%2\"")
                                   .arg(QStringLiteral(OSTRALINE_SOURCE_DIR), out));
        QSignalSpy finished(&command, &AlertCommand::finished);
        QSignalSpy failed(&command, &AlertCommand::failed);
        command.run(sample());
        QVERIFY(finished.wait(5000));
        QCOMPARE(failed.size(), 0);
        QFile file(out);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("2026-03-02T09:00:05-05:00 Core uplink; \"A\" side "
                                            "([::1]:1161 #3): silent cleared, answering\n"));
    }

    void killedAtItsTimeLimit()
    {
        AlertCommand command;
        command.setCommandLine(QStringLiteral("sleep 30"));
        command.setTimeLimitMs(300);
        QSignalSpy failed(&command, &AlertCommand::failed);
        QElapsedTimer clock;
        clock.start();
        command.run(sample());
        QVERIFY(failed.wait(5000));
        QVERIFY(clock.elapsed() < 3000);
        QVERIFY2(failed[0][0].toString().contains(u"stopped after 0.3 s"),
                 qPrintable(failed[0][0].toString()));
        QTRY_COMPARE(command.running(), 0);
    }

    void aFailureIsReportedOnceUntilARunWorks_data()
    {
        QTest::addColumn<QString>("failing");
        QTest::addColumn<QString>("words");
        QTest::newRow("non-zero status") << "false"
                                         << "ended with status 1";
        QTest::newRow("missing program") << "/nonexistent/alert-hook"
                                         << "cannot be started";
        QTest::newRow("crash") << "sh -c \"kill -SEGV $$\""
                               << "crashed";
    }

    void aFailureIsReportedOnceUntilARunWorks()
    {
        QFETCH(QString, failing);
        QFETCH(QString, words);
        AlertCommand command;
        QSignalSpy failed(&command, &AlertCommand::failed);
        QSignalSpy finished(&command, &AlertCommand::finished);
        const auto runAndWait = [&](const QString &line, int times) {
            command.setCommandLine(line);
            const qsizetype before = finished.size();
            for (int i = 0; i < times; ++i)
                command.run(sample());
            QTRY_COMPARE_WITH_TIMEOUT(finished.size(), before + times, 5000);
        };
        runAndWait(failing, 3);
        QCOMPARE(failed.size(), 1);
        QVERIFY2(failed[0][0].toString().contains(words), qPrintable(failed[0][0].toString()));
        runAndWait(QStringLiteral("true"), 1);
        runAndWait(failing, 2);
        QCOMPARE(failed.size(), 2); // once more after the run that worked
    }

    void neverMoreThanFourAtOnce()
    {
        AlertCommand command;
        command.setCommandLine(QStringLiteral("sleep 0.3"));
        int most = 0;
        QSignalSpy finished(&command, &AlertCommand::finished);
        connect(&command, &AlertCommand::finished, this,
                [&] { most = std::max(most, command.running()); });
        for (int i = 0; i < 7; ++i) {
            command.run(sample());
            most = std::max(most, command.running());
        }
        QCOMPARE(command.running(), AlertCommand::MaxRunning);
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 7, 10000);
        QCOMPARE(most, AlertCommand::MaxRunning);
        QCOMPARE(command.running(), 0);
    }

    void emptyCommandRunsNothing()
    {
        AlertCommand command;
        command.setCommandLine(QStringLiteral("   "));
        command.run(sample());
        QCOMPARE(command.running(), 0);
    }
};

QTEST_GUILESS_MAIN(TestAlertCommand)
#include "tst_alertcommand.moc"
