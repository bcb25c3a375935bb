#include "GetStep.h"
#include "MainWindowFixture.h"

#include "Calculation.h"
#include "ErrorBox.h"

#include "GraphBoard.h"
#include "Heartbeat.h"
#include "Histograph.h"
#include "InterfaceTable.h"
#include "HostileAgent.h"
#include "OptionsDialog.h"
#include "SnmpAgent.h"
#include "TransLabel.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

// Polls from the main window against a real net-snmp agent on loopback.
class TestPolling : public QObject
{
    Q_OBJECT

    std::unique_ptr<SnmpAgent> m_agent;

    // Loads a device file of the given lines and answers the file chooser with it.
    void load(MainWindowFixture &f, const QStringList &deviceLines)
    {
        const QString path = f.writeFile("poll.dev", deviceLines.join("\n").toUtf8());
        f.form->setDeviceFileChooser([path] { return path; });
        f.form->Button8Click();
    }
    QString line(int ifIndex, const QString &bandwidth = "2048000",
                 const QString &community = SnmpAgent::community())
    {
        return QStringLiteral("%1;%2;%3;%4;if%2")
            .arg(m_agent->host())
            .arg(ifIndex)
            .arg(bandwidth, community);
    }
    // Runs one poll (Start for the first, the poll timer's event after) and waits for it.
    static void poll(TForm1 &w)
    {
        QSignalSpy done(&w.poller(), &Poller::getFinished);
        if (w.pollCycle().isPolling())
            w.Timer1Timer();
        else
            w.Button3Click();
        QVERIFY(done.wait(5000));
    }

private Q_SLOTS:
    void initTestCase()
    {
        QLocale::setDefault(QLocale::c());
        if (!SnmpAgent::isAvailable())
            QSKIP("snmpd is not installed (the README set-up installs it)");
        m_agent = std::make_unique<SnmpAgent>();
        QVERIFY2(m_agent->start(), qPrintable(m_agent->errorString()));
    }

    void workedExampleThroughTheWindow()
    {
        MainWindowFixture f;
        TForm1 &w = f.create();
        w.CheckBox2->setChecked(true); // show last values
        m_agent->setCounters(1, 1000000, 500000);
        m_agent->setCounters(2, 0xFFFFFF00u, 10);
        load(f, {line(1), line(2, "100000000")});
        poll(w);
        const InterfaceTable &t = w.interfaceTable();
        QCOMPARE(t.cell(Col::OrgIn, 1), QStringLiteral("1000000"));
        QCOMPARE(t.cell(Col::OrgIn, 2), QStringLiteral("4294967040")); // at or above 2^31
        QCOMPARE(t.cell(Col::CombinedUtil, 1), QStringLiteral("0"));

        m_agent->setCounters(1, 1600000, 560000);
        m_agent->setCounters(2, 0x100, 10); // wrapped past 2^32
        poll(w);
        QCOMPARE(t.cell(Col::InDelta, 1), QStringLiteral("600000"));
        QCOMPARE(t.cell(Col::InUtil, 1), QStringLiteral("39.0625"));
        QCOMPARE(t.cell(Col::OutUtil, 1), QStringLiteral("3.90625"));
        QCOMPARE(t.cell(Col::CombinedUtil, 1), QStringLiteral("42.96875"));
        QCOMPARE(w.board().slot(1).LastValuesCaption->Caption(),
                 QStringLiteral("Last values IN: 39; OUT: 4; COMB: 43"));
        QCOMPARE(w.board().slot(1).Graph->Value(), 43);
        QVERIFY(w.board().slot(1).Graph->Active());
        QCOMPARE(w.board().slot(1).Graph->BackgroundColor(), QColor(0, 0, 0));
        QCOMPARE(t.cell(Col::InDelta, 2), QStringLiteral("512"));
        w.Button4Click();
    }

    void failuresInStopAndZeroesModes_data()
    {
        QTest::addColumn<bool>("stopMode");
        QTest::addColumn<QString>("why"); // unknown index, wrong community, nothing listening
        QTest::newRow("stop, unknown index") << true << "index";
        QTest::newRow("stop, wrong community") << true << "community";
        QTest::newRow("stop, nothing listening") << true << "port";
        QTest::newRow("zeroes, unknown index") << false << "index";
        QTest::newRow("zeroes, wrong community") << false << "community";
    }
    void failuresInStopAndZeroesModes()
    {
        QFETCH(bool, stopMode);
        QFETCH(QString, why);
        MainWindowFixture f;
        f.store("onerrors", stopMode ? "stop" : "zeroes");
        TForm1 &w = f.create();
        w.poller().setTimeoutMs(500); // the silent cases end at the deadline
        m_agent->setCounters(1, 100, 200);
        m_agent->removeInterface(9);
        QString bad = line(9);
        if (why == "community") {
            bad = line(1, "2048000", "wrong");
        } else if (why == "port") {
            bad = QStringLiteral("127.0.0.1:%1;1;2048000;public;down")
                      .arg(m_agent->port() == 9 ? 10 : 9);
        }
        load(f, {line(1), bad});
        QDateTime stamp(QDate(2005, 4, 7), QTime(14, 3, 9));
        w.poller().setClock([&stamp] { return stamp; });

        for (int round = 0; round < 3; ++round) {
            poll(w);
            const InterfaceTable &t = w.interfaceTable();
            QCOMPARE(t.cell(Col::OrgIn, 1), QStringLiteral("100")); // the good row polls on
            QCOMPARE(t.cell(Col::InBitNew, 2), QStringLiteral("0"));
            QCOMPARE(t.cell(Col::InBitOld, 2), QStringLiteral("0"));
            THistograph *graph = w.board().slot(2).Graph;
            if (stopMode) {
                QVERIFY(!w.interfaceList().isChecked(1));
                QVERIFY(!graph->Active());
                QCOMPARE(graph->BackgroundColor(), QColor(255, 0, 0));
                // The caption keeps the time of the first failure.
                QCOMPARE(w.board().slot(2).ErrorCaption->Caption(),
                         QStringLiteral("Error occured: 07.Apr.2005, 14:03:09"));
            } else {
                QVERIFY(w.interfaceList().isChecked(1));
                for (int column : {Col::OrgIn, Col::OrgOut, Col::OutBitNew, Col::OutBitOld})
                    QCOMPARE(t.cell(column, 2), QStringLiteral("0"));
                QVERIFY(graph->Active());
                QCOMPARE(graph->BackgroundColor(), QColor(0, 0, 0));
                QVERIFY(w.board().slot(2).ErrorCaption->Caption().isEmpty());
            }
            stamp = stamp.addSecs(6);
        }
        QVERIFY(w.interfaceList().isChecked(0));
        QVERIFY(f.errors.isEmpty());
        w.Button4Click();
    }

    // A red graph offers "Poll again" (a running one does not): it clears the error caption,
    // and from the next poll the agent, answering again, is polled and the graph runs.
    void pollAgainOnARedGraph()
    {
        MainWindowFixture f;
        f.store("onerrors", "stop");
        TForm1 &w = f.create();
        w.poller().setTimeoutMs(500);
        m_agent->setCounters(1, 100, 200);
        m_agent->removeInterface(9);
        load(f, {line(1), line(9)});
        const GraphSlot &failed = w.board().slot(2);
        poll(w);
        QVERIFY(!w.interfaceList().isChecked(1));
        QVERIFY(!w.board().slot(1).PollAgain->isVisible());
        QVERIFY(failed.SlotMenu->actions().contains(failed.PollAgain));
        QVERIFY(failed.PollAgain->isVisible());
        QVERIFY(!failed.ErrorCaption->Caption().isEmpty());

        m_agent->setCounters(9, 5000, 7000);
        failed.PollAgain->trigger();
        QVERIFY(failed.ErrorCaption->Caption().isEmpty());
        poll(w);
        QVERIFY(w.interfaceList().isChecked(1));
        QVERIFY(failed.Graph->Active());
        QCOMPARE(failed.Graph->BackgroundColor(), QColor(0, 0, 0));
        QVERIFY(!failed.PollAgain->isVisible());
        QCOMPARE(w.interfaceTable().cell(Col::OrgIn, 2), QStringLiteral("5000"));
        QCOMPARE(w.interfaceTable().cell(Col::InDelta, 2), QStringLiteral("0")); // first reading
        const auto *list = w.findChild<QListWidget *>(QStringLiteral("CheckListBox1"));
        QCOMPARE(list->item(1)->checkState(), Qt::Checked);
        m_agent->removeInterface(9);
        w.Button4Click();
    }

    void logsAreWrittenEachPoll()
    {
        MainWindowFixture f;
        TForm1 &w = f.create();
        w.CheckBoxUtilLog->setChecked(true);
        w.CheckBoxAnalysisLog->setChecked(true);
        m_agent->setCounters(1, 5, 6);
        load(f, {line(1)});
        poll(w);
        poll(w);
        const QStringList logs =
            QDir(f.folder())
                .entryList({QStringLiteral("*_poll.dev_*.csv")}, QDir::Files, QDir::Name);
        QCOMPARE(logs.size(), 2);
        for (const QString &name : logs) {
            QFile file(QDir(f.folder()).filePath(name));
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll().count("\r\n"), 3); // header and two data lines
        }
        w.Button4Click();
    }

    // A log that fails at every poll (its folder read-only, by the owner's write bit, so the
    // superuser is refused too) at the fastest interval: one report and one box, the status
    // bar carries the failure, the graphs get every poll's value. Once the folder is writable
    // the next poll writes the log and the report clears; a new failure is reported again.
    void failingLogIsReportedOnceAndTheGraphsGoOn()
    {
        MainWindowFixture f;
        ErrorReport::setHandler([&f](const QString &message) {
            f.errors << message;
            ErrorBox::show(message);
        });
        TForm1 &w = f.create();
        w.N3seconds1Click();
        QCOMPARE(w.pollCycle().pollInterval(), 3);
        w.CheckBoxUtilLog->setChecked(true);
        const QString logs = f.folder() + "/logs";
        QVERIFY(QDir().mkpath(logs));
        QVERIFY(QFile::setPermissions(logs, QFile::ReadOwner | QFile::ExeOwner));
        w.logEnvironment().programFolder = logs;
        m_agent->setCounters(1, 0, 0);
        load(f, {line(1, "800")}); // 6 octets more per 3 s are 2 % of 800 bit/s
        const auto boxes = [] {
            int open = 0;
            for (QWidget *widget : QApplication::topLevelWidgets())
                open += qobject_cast<QMessageBox *>(widget) && widget->isVisible();
            return open;
        };

        quint32 in = 0;
        int previous = -1;
        for (int round = 1; round <= 20; ++round) {
            in += quint32(6 * round);
            m_agent->setCounters(1, in, 0);
            poll(w);
            QCOMPARE(f.errors.size(), 1);
            QCOMPARE(boxes(), 1);
            QVERIFY2(w.statusText(0).startsWith("Utilisation log: Cannot create log file \"" +
                                                logs + "/"),
                     qPrintable(w.statusText(0)));
            QVERIFY(w.statusText(0).endsWith(". Permission denied"));
            const int value = w.board().slot(1).Graph->Value();
            if (round > 1) {
                QVERIFY2(value > previous, qPrintable(QString::number(value)));
                QCOMPARE(value,
                         Calculation::shownValue(w.interfaceTable().cell(Col::CombinedUtil, 1)));
            }
            previous = value;
        }
        QCOMPARE(f.errors.first(), w.statusText(0));
        QCOMPARE(ErrorBox::current()->text(), f.errors.first());
        QVERIFY(QDir(logs).isEmpty());

        QVERIFY(
            QFile::setPermissions(logs, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        poll(w);
        QCOMPARE(QDir(logs).entryList(QDir::Files).size(), 1);
        QVERIFY(w.statusText(0).isEmpty());
        QVERIFY(!ErrorReport::isFailing("Utilisation log"));
        QCOMPARE(f.errors.size(), 1);

        // Worked once in between: the next failure is reported again (into the open box).
        w.logEnvironment().programFolder = logs + "/gone";
        poll(w);
        QCOMPARE(f.errors.size(), 2);
        QCOMPARE(boxes(), 1);
        w.Button4Click();
        ErrorBox::current()->close();
        QTRY_COMPARE(boxes(), 0);
    }

    // Options > "Use 64-bit counters" on, Start, three polls: the 64-bit interface (10 Gbit/s
    // at 50 % in, 25 % out over 12 s) and the 32-bit one beside it are right in the table,
    // the tooltips and both logs.
    void counters64ThroughTheWindow()
    {
        MainWindowFixture f;
        TForm1 &w = f.create();
        TForm3 options(w, &w);
        w.attachWindows(nullptr, &options, nullptr);
        options.show();
        options.CheckBox64->setChecked(true);
        options.Button1->click();
        QCOMPARE(f.stored("64-bit counters"), QStringLiteral("yes"));
        w.N12seconds1Click();
        w.CheckBoxUtilLog->setChecked(true);
        w.CheckBoxAnalysisLog->setChecked(true);
        m_agent->setCounters(21, 7, 7);
        m_agent->setCounters64(21, 10000000000000ULL, 20000000000000ULL);
        m_agent->setCounters(22, 1000, 2000);
        load(f, {line(21, "10000000000"), line(22, "2048000")});
        const auto *list = w.findChild<QListWidget *>(QStringLiteral("CheckListBox1"));
        QVERIFY(list);
        QCOMPARE(
            list->item(0)->toolTip(),
            QStringLiteral("64-bit counters where the agent has them: chosen at the next poll"));
        const InterfaceTable &t = w.interfaceTable();
        for (int n = 1; n <= 3; ++n) {
            poll(w);
            m_agent->setCounters64(21, 10000000000000ULL + n * 7500000000ULL,
                                   20000000000000ULL + n * 3750000000ULL);
            m_agent->setCounters(22, 1000 + n * 600000, 2000 + n * 60000);
        }
        QCOMPARE(list->item(0)->toolTip(), QStringLiteral("64-bit counters (SNMP v2c)"));
        QCOMPARE(list->item(1)->toolTip(), QStringLiteral("32-bit counters (SNMP v1)"));
        QCOMPARE(t.cell(Col::OrgIn, 1), QStringLiteral("10015000000000"));
        QCOMPARE(t.cell(Col::InDelta, 1), QStringLiteral("7500000000"));
        QCOMPARE(t.cell(Col::InUtil, 1), QStringLiteral("50"));
        QCOMPARE(t.cell(Col::OutUtil, 1), QStringLiteral("25"));
        QCOMPARE(t.cell(Col::CombinedUtil, 1), QStringLiteral("75"));
        QCOMPARE(t.cell(Col::InDelta, 2), QStringLiteral("600000"));
        QCOMPARE(t.cell(Col::InUtil, 2), QStringLiteral("19.53125"));
        QCOMPARE(w.board().slot(1).Graph->Value(), 75);

        const QStringList logs =
            QDir(f.folder())
                .entryList({QStringLiteral("*_poll.dev_*.csv")}, QDir::Files, QDir::Name);
        QCOMPARE(logs.size(), 2);
        // Analysis log first (name order): raw, new, old, delta, rate, utilisation per side.
        const QList<QByteArrayList> expected = {
            {"; 10015000000000; 10015000000000; 10007500000000; 7500000000; 625000000; 50; "
             "20007500000000; 20007500000000; 20003750000000; 3750000000; 312500000; 25; "
             "937500000; 75; if21; ",
             "; 1201000; 1201000; 601000; 600000; 50000; 19.53125; "},
            {"; 21; 10000000000; 625000000; 50; 312500000; 25; 937500000; 75; ",
             "; 22; 2048000; 50000; 19.53125; 5000; 1.953125; 55000; 21.484375; "}};
        for (qsizetype i = 0; i < logs.size(); ++i) {
            QFile file(QDir(f.folder()).filePath(logs[i]));
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QList<QByteArray> rows = file.readAll().split('\n');
            QCOMPARE(rows.size(), 5); // header, three data lines, the end
            for (const QByteArray &part : expected[i])
                QVERIFY2(rows.at(3).contains(part), rows.at(3).constData());
        }
        w.Button4Click();
    }

    void twentySilentInterfacesCostOneWait()
    {
        MainWindowFixture f;
        f.store("onerrors", "stop");
        TForm1 &w = f.create();
        QStringList silent;
        for (int i = 1; i <= 20; ++i)
            silent << line(i, "2048000", "wrong"); // the agent ignores a wrong community
        load(f, silent);

        QElapsedTimer clock;
        clock.start();
        Heartbeat heartbeat(10);
        poll(w);
        heartbeat.stop();
        QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY2(heartbeat.longestGapMs() < 200,
                 qPrintable(QString::number(heartbeat.longestGapMs())));
        for (int p = 0; p < 20; ++p)
            QVERIFY(!w.interfaceList().isChecked(p));
        QCOMPARE(w.board().slot(20).Graph->BackgroundColor(), QColor(255, 0, 0));
        QVERIFY(w.pollCycle().isPolling()); // the cycle goes on with nothing left to query
        QVERIFY(f.errors.isEmpty());
        w.Button4Click();
    }

    // A calculation fault is shown until a poll finds no row faulty; another message of the
    // first panel is left alone.
    void faultMessageLastsAsLongAsTheFault()
    {
        MainWindowFixture f;
        TForm1 &w = f.create();
        m_agent->setCounters(1, 1000000, 500000);
        load(f, {line(1, "fast")});
        poll(w);
        QVERIFY2(w.statusText(0).startsWith("Row 1: "), qPrintable(w.statusText(0)));
        poll(w);
        QVERIFY(w.statusText(0).startsWith("Row 1: "));
        w.interfaceTable().setCell(Col::Bandwidth, 1, "2048000");
        poll(w);
        QCOMPARE(w.statusText(0), QString());

        // A poll without faults does not take away a message that is not the fault's.
        w.interfaceTable().setCell(Col::Bandwidth, 1, "fast");
        poll(w);
        QVERIFY(w.statusText(0).startsWith("Row 1: "));
        w.interfaceTable().setCell(Col::Bandwidth, 1, "2048000");
        const QString other = QStringLiteral("Log file is read only. Cannot write, aborted!");
        w.logEnvironment().status(other);
        poll(w);
        QCOMPARE(w.statusText(0), other);
        w.Button4Click();
    }

    // A handler that resets or re-bases the graphs or the table, used while a poll is in
    // flight, ends in the state it has when used right after the poll's steps.
    void handlersDuringAPollEndAsAfterIt_data()
    {
        QTest::addColumn<QString>("item"); // the menu item used
        QTest::newRow("reset graphs") << "Resetgraphs1";
        QTest::newRow("shown value") << "Out1";
        QTest::newRow("graph maximum") << "N501";
        QTest::newRow("number of graphs") << "Show15graphs1";
        QTest::newRow("interval") << "N3seconds1";
    }
    void handlersDuringAPollEndAsAfterIt()
    {
        QFETCH(QString, item);
        const auto run = [&](bool duringPoll) {
            MainWindowFixture f;
            TForm1 &w = f.create();
            m_agent->setCounters(1, 1000000, 500000);
            load(f, {line(1)});
            poll(w);
            m_agent->setCounters(1, 1600000, 560000);
            QSignalSpy done(&w.poller(), &Poller::getFinished);
            w.Timer1Timer();
            [&] { QVERIFY(w.poller().inFlight()); }();
            if (duringPoll)
                w.action(item)->trigger();
            [&] { QVERIFY(done.wait(5000)); }();
            if (!duringPoll)
                w.action(item)->trigger();

            QStringList state;
            const InterfaceTable &t = w.interfaceTable();
            for (int c = 0; c < Col::Unnamed; ++c)
                state << t.headerText(c) + "=" + t.cell(c, 1);
            const THistograph &g = *w.board().slot(1).Graph;
            state << QStringLiteral("graph active=%1 value=%2 max=%3 interval=%4")
                         .arg(g.Active())
                         .arg(g.Value())
                         .arg(g.MaxValue())
                         .arg(g.Interval());
            state << QStringLiteral("checked=%1 interval=%2 size=%3x%4")
                         .arg(w.interfaceList().isChecked(0))
                         .arg(w.pollCycle().pollInterval())
                         .arg(w.outerSize().width())
                         .arg(w.outerSize().height());
            state << f.errors;
            w.Button4Click();
            return state;
        };
        const QStringList after = run(false);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(run(true), after);
    }

    // A device file in a Western 8-bit code page: each community goes out in the bytes of its
    // line, the descriptions show their characters and are logged in their line's bytes.
    void westernDeviceFileKeepsItsBytes()
    {
        HostileAgent western, utf8;
        QVERIFY(western.listen());
        QVERIFY(utf8.listen());
        western.setValue(1000);
        utf8.setValue(1000);
        MainWindowFixture f;
        TForm1 &w = f.create();
        w.CheckBoxUtilLog->setChecked(true);
        const QString path = f.writeFile(
            "west.dev", western.host().toLatin1() + ";1;2048000;caf\xe9;Z\xfcrich \x80\r\n" +
                            utf8.host().toLatin1() + ";2;2048000;caf\xc3\xa9;Gen\xc3\xa8ve\r\n");
        w.setDeviceFileChooser([path] { return path; });
        w.Button8Click();
        QCOMPARE(w.board().slot(1).NameCaption->Caption(), QStringLiteral("Z\u00fcrich \u20ac"));
        QCOMPARE(w.board().slot(2).NameCaption->Caption(), QStringLiteral("Gen\u00e8ve"));
        poll(w);
        QCOMPARE(western.lastCommunity(), QByteArray("caf\xe9"));
        QCOMPARE(utf8.lastCommunity(), QByteArray("caf\xc3\xa9"));
        QCOMPARE(w.interfaceTable().cell(Col::OrgIn, 1), QStringLiteral("1000"));

        const QStringList logs = QDir(f.folder()).entryList({"*_west.dev_utilisation.csv"});
        QCOMPARE(logs.size(), 1);
        QFile log(QDir(f.folder()).filePath(logs.first()));
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QByteArray bytes = log.readAll();
        QVERIFY(bytes.contains("; Z\xfcrich \x80; "));
        QVERIFY(bytes.contains("; Gen\xc3\xa8ve; "));
        QVERIFY(f.errors.isEmpty());
        w.Button4Click();
    }

    void loadingCancelsThePollInFlight()
    {
        MainWindowFixture f;
        TForm1 &w = f.create();
        w.poller().setTimeoutMs(300);
        load(f, {line(1, "2048000", "wrong")});
        QSignalSpy done(&w.poller(), &Poller::getFinished);
        w.Button3Click();
        QVERIFY(w.poller().inFlight());
        load(f, {line(1)});
        QVERIFY(!w.poller().inFlight());
        QVERIFY(!w.pollCycle().isPolling());
        QTest::qWait(500);
        QCOMPARE(done.count(), 0);
        QCOMPARE(w.interfaceTable().cell(Col::OrgIn, 1), QStringLiteral("0"));
    }
};

QTEST_MAIN(TestPolling)
#include "tst_polling.moc"
