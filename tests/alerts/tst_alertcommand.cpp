// The alert command: run without a shell with the alert in its environment and no secrets,
// ended with everything it started at its time limit and at exit, at most four at once, a
// failure reported once until a run works again.

#include "AlertCommand.h"
#include "AlertFixture.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <memory>
#include <unistd.h>

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

// Whether a process of that id is left (a zombie waiting to be reaped has ended).
bool processLeft(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = stat.readAll();
    const qsizetype at = text.lastIndexOf(") ");
    return at >= 0 && text.mid(at + 2, 1) != "Z";
}

// The processes left in a process group (zombies not counted).
QList<qint64> groupMembers(qint64 group)
{
    QList<qint64> members;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &entry : entries) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!number || !stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        // After the name: state, parent, process group, ...
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(") ") + 2).split(' ');
        if (fields.size() > 2 && fields[2].toLongLong() == group && fields[0] != "Z")
            members << pid;
    }
    return members;
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

    // The command and what it starts are one group: a child left behind keeps the run going
    // (it counts against the four at once) until it ends, and the time limit or the end of
    // the program ends the whole group. The script writes its own id (the group's) and its
    // child's.
    void theWholeGroupEndsAtTheTimeLimitAndAtExit_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("atExit");
        QTest::addColumn<QString>("failure");
        QTest::newRow("command waits for its child")
            << QByteArray("sleep 30 &\necho $$ $! > \"$1\"\nwait\n") << false
            << "was stopped after 0.6 s";
        QTest::newRow("command leaves its child behind")
            << QByteArray("sleep 30 &\necho $$ $! > \"$1\"\n") << false
            << "left processes running; they were stopped after 0.6 s";
        QTest::newRow("at exit: a child and its child")
            << QByteArray("sh -c 'sleep 30 & echo $$ $! > \"$1\"; sleep 30' \"$0\" \"$1\" &\n"
                          "sleep 30\n")
            << true << "";
    }
    void theWholeGroupEndsAtTheTimeLimitAndAtExit()
    {
        QFETCH(QByteArray, body);
        QFETCH(bool, atExit);
        QFETCH(QString, failure);
        QTemporaryDir dir;
        const QString pids = dir.filePath(QStringLiteral("pids"));
        const QString script = writeScript(dir, body);
        auto command = std::make_unique<AlertCommand>();
        command->setCommandLine(QStringLiteral("\"%1\" \"%2\"").arg(script, pids));
        command->setTimeLimitMs(600);
        QSignalSpy failed(command.get(), &AlertCommand::failed);
        QSignalSpy finished(command.get(), &AlertCommand::finished);
        command->run(sample());

        const auto readIds = [&] {
            QList<qint64> ids;
            QFile file(pids);
            if (file.open(QIODevice::ReadOnly) && file.readAll().endsWith('\n')) {
                file.seek(0);
                for (const QByteArray &word : file.readAll().simplified().split(' '))
                    ids << word.toLongLong();
            }
            return ids;
        };
        QTRY_COMPARE_WITH_TIMEOUT(readIds().size(), 2, 3000);
        const QList<qint64> ids = readIds();
        QCOMPARE(ids.size(), 2);
        const qint64 child = ids[1];
        QVERIFY(processLeft(child));
        QCOMPARE(command->running(), 1); // the child holds its place, the command or not
        // The group: the command's id, or (for the grandchild) its parent shell's group.
        QFile stat(QStringLiteral("/proc/%1/stat").arg(child));
        QVERIFY(stat.open(QIODevice::ReadOnly));
        const QByteArray text = stat.readAll();
        const qint64 group = text.mid(text.lastIndexOf(") ") + 2).split(' ').value(2).toLongLong();
        QVERIFY(group != ::getpgrp()); // not ours: the run has a group of its own

        if (atExit) {
            command.reset();
        } else {
            QVERIFY(finished.wait(5000));
            QCOMPARE(failed.size(), 1);
            QVERIFY2(failed[0][0].toString().contains(failure),
                     qPrintable(failed[0][0].toString()));
            QCOMPARE(command->running(), 0);
        }
        QTRY_VERIFY_WITH_TIMEOUT(!processLeft(child), 2000);
        QTRY_COMPARE_WITH_TIMEOUT(groupMembers(group), QList<qint64>(), 2000);
    }

    // A child that ends by itself within the limit ends the run, and that is no failure.
    void aChildThatEndsInTimeIsNoFailure()
    {
        QTemporaryDir dir;
        const QString script = writeScript(dir, "sleep 0.4 &\n");
        AlertCommand command;
        command.setCommandLine(QStringLiteral("\"%1\"").arg(script));
        QSignalSpy failed(&command, &AlertCommand::failed);
        QSignalSpy finished(&command, &AlertCommand::finished);
        QElapsedTimer clock;
        clock.start();
        command.run(sample());
        QTest::qWait(200);
        QCOMPARE(command.running(), 1);
        QVERIFY(finished.wait(5000));
        QVERIFY(clock.elapsed() >= 350);
        QCOMPARE(failed.size(), 0);
        QCOMPARE(command.running(), 0);
    }

    // The command sees the program's environment without anything that looks like a secret,
    // the v3 passphrases first of all, and with the alert's variables.
    void theEnvironmentCarriesNoSecrets()
    {
        const QList<QByteArray> secrets = {"OSTRALINE_AUTH_PASSPHRASE",
                                           "OSTRALINE_PRIV_PASSPHRASE",
                                           "GITHUB_TOKEN",
                                           "db_password",
                                           "MySecretKey",
                                           "AWS_SESSION_Token",
                                           "SSH_PASSPHRASE_X"};
        for (const QByteArray &name : secrets)
            qputenv(name.constData(), "hunter2-" + name);
        qputenv("OSTRALINE_HARMLESS", "kept");
        QTemporaryDir dir;
        const QString out = dir.filePath(QStringLiteral("env.txt"));
        const QString script = writeScript(dir, "env > \"$1\"\n");
        AlertCommand command;
        command.setCommandLine(QStringLiteral("\"%1\" \"%2\"").arg(script, out));
        QSignalSpy finished(&command, &AlertCommand::finished);
        command.run(sample());
        const bool done = finished.wait(5000);
        for (const QByteArray &name : secrets)
            qunsetenv(name.constData());
        qunsetenv("OSTRALINE_HARMLESS");
        QVERIFY(done);

        QFile file(out);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray env = '\n' + file.readAll();
        QVERIFY2(!env.contains("hunter2"), env.constData());
        QVERIFY(env.contains("\nOSTRALINE_HARMLESS=kept\n"));
        QVERIFY(env.contains("\nOSTRALINE_ALERT_STATE=cleared\n"));
        QVERIFY(env.contains("\nPATH="));
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
