#include "GetStep.h"
#include "MainWindowFixture.h"

#include "Calculation.h"
#include "DeviceFile.h"
#include "ErrorBox.h"

#include "GraphBoard.h"
#include "Histograph.h"
#include "InterfaceList.h"
#include "InterfaceTable.h"
#include "MetricsScrape.h"
#include "OptionsDialog.h"
#include "PollRun.h"
#include "SnmpAgent.h"
#include "TransLabel.h"
#include "WindowPolling.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFontMetrics>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

// What the board and the window show of polls from the main window, against a real net-snmp
// agent on loopback. What the polls read, compute and log is tested without a window (poll/).
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

private Q_SLOTS:
    void initTestCase()
    {
        QLocale::setDefault(QLocale::c());
        if (!SnmpAgent::isAvailable())
            QSKIP("snmpd is not installed (the README set-up installs it)");
        m_agent = std::make_unique<SnmpAgent>();
        QVERIFY2(m_agent->start(), qPrintable(m_agent->errorString()));
    }

    // The second poll of the worked example on slot 1: its caption and its running graph.
    void workedExampleOnTheBoard()
    {
        MainWindowFixture f;
        TForm1 &w = f.create();
        w.CheckBox2->setChecked(true); // show last values
        m_agent->setCounters(1, 1000000, 500000);
        m_agent->setCounters(2, 0xFFFFFF00u, 10);
        load(f, {m_agent->deviceLine(1), m_agent->deviceLine(2, "100000000")});
        poll(w);
        m_agent->setCounters(1, 1600000, 560000);
        m_agent->setCounters(2, 0x100, 10); // wrapped past 2^32
        poll(w);
        QCOMPARE(w.board().slot(1).LastValuesCaption->Caption(),
                 QStringLiteral("Last values IN: 39; OUT: 4; COMB: 43"));
        QCOMPARE(w.board().slot(1).Graph->Value(), 43);
        QVERIFY(w.board().slot(1).Graph->Active());
        QCOMPARE(w.board().slot(1).Graph->BackgroundColor(), QColor(0, 0, 0));
        w.Button4Click();
    }

    // A failed row's slot over three polls: red with the time of the first failure in stop
    // mode, running on black without a caption in zeroes mode.
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
        QString bad = m_agent->deviceLine(9);
        if (why == "community") {
            bad = m_agent->deviceLine(1, "2048000", "wrong");
        } else if (why == "port") {
            bad = QStringLiteral("127.0.0.1:%1;1;2048000;public;down")
                      .arg(m_agent->port() == 9 ? 10 : 9);
        }
        load(f, {m_agent->deviceLine(1), bad});
        QDateTime stamp(QDate(2005, 4, 7), QTime(14, 3, 9));
        w.poller().setClock([&stamp] { return stamp; });

        for (int round = 0; round < 3; ++round) {
            poll(w);
            THistograph *graph = w.board().slot(2).Graph;
            if (stopMode) {
                QVERIFY(!graph->Active());
                QCOMPARE(graph->BackgroundColor(), QColor(255, 0, 0));
                // The caption keeps the time of the first failure.
                QCOMPARE(w.board().slot(2).ErrorCaption->Caption(),
                         QStringLiteral("Error occured: 07.Apr.2005, 14:03:09"));
            } else {
                QVERIFY(graph->Active());
                QCOMPARE(graph->BackgroundColor(), QColor(0, 0, 0));
                QVERIFY(w.board().slot(2).ErrorCaption->Caption().isEmpty());
            }
            QVERIFY(w.board().slot(1).Graph->Active()); // the good row polls on
            stamp = stamp.addSecs(6);
        }
        QVERIFY(f.errors.isEmpty());
        w.Button4Click();
    }

    // A red graph offers "Poll again" (a running one does not): it clears the error caption,
    // and from the next poll the agent, answering again, is polled, its entry is checked and
    // the graph runs.
    void pollAgainOnARedGraph()
    {
        MainWindowFixture f;
        f.store("onerrors", "stop");
        TForm1 &w = f.create();
        w.poller().setTimeoutMs(500);
        m_agent->setCounters(1, 100, 200);
        m_agent->removeInterface(9);
        load(f, {m_agent->deviceLine(1), m_agent->deviceLine(9)});
        const GraphSlot &failed = w.board().slot(2);
        poll(w);
        const auto *list = w.findChild<QListWidget *>(QStringLiteral("CheckListBox1"));
        QCOMPARE(list->item(1)->checkState(), Qt::Unchecked);
        QVERIFY(!w.board().slot(1).PollAgain->isVisible());
        QVERIFY(failed.SlotMenu->actions().contains(failed.PollAgain));
        QVERIFY(failed.PollAgain->isVisible());
        QVERIFY(!failed.ErrorCaption->Caption().isEmpty());

        m_agent->setCounters(9, 5000, 7000);
        failed.PollAgain->trigger();
        QVERIFY(failed.ErrorCaption->Caption().isEmpty());
        poll(w);
        QVERIFY(failed.Graph->Active());
        QCOMPARE(failed.Graph->BackgroundColor(), QColor(0, 0, 0));
        QVERIFY(!failed.PollAgain->isVisible());
        QCOMPARE(list->item(1)->checkState(), Qt::Checked);
        m_agent->removeInterface(9);
        w.Button4Click();
    }

    // A log that fails at every poll (its folder read-only, by the owner's write bit, so the
    // superuser is refused too) at the fastest interval: one box, the status bar carries the
    // failure, the graphs draw every poll's value. Once the folder is writable the next poll
    // clears the status bar; a new failure is reported again, into the open box.
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
        load(f, {m_agent->deviceLine(1, "800")}); // 6 octets more per 3 s are 2 % of 800 bit/s
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

        QVERIFY(
            QFile::setPermissions(logs, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        poll(w);
        QVERIFY(w.statusText(0).isEmpty());
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
    // at 50 % in, 25 % out over 12 s) and the 32-bit one beside it have their tooltips and
    // graph, and the two log check boxes give two logs named after the device file.
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
        load(f, {m_agent->deviceLine(21, "10000000000"), m_agent->deviceLine(22, "2048000")});
        const auto *list = w.findChild<QListWidget *>(QStringLiteral("CheckListBox1"));
        QVERIFY(list);
        QCOMPARE(
            list->item(0)->toolTip(),
            QStringLiteral("64-bit counters where the agent has them: chosen at the next poll"));
        for (int n = 1; n <= 3; ++n) {
            poll(w);
            m_agent->setCounters64(21, 10000000000000ULL + n * 7500000000ULL,
                                   20000000000000ULL + n * 3750000000ULL);
            m_agent->setCounters(22, 1000 + n * 600000, 2000 + n * 60000);
        }
        QCOMPARE(list->item(0)->toolTip(), QStringLiteral("64-bit counters (SNMP v2c)"));
        QCOMPARE(list->item(1)->toolTip(), QStringLiteral("32-bit counters (SNMP v1)"));
        QCOMPARE(w.board().slot(1).Graph->Value(), 75);
        QCOMPARE(
            QDir(f.folder()).entryList({QStringLiteral("*_poll.dev_*.csv")}, QDir::Files).size(),
            2);
        QVERIFY(f.errors.isEmpty());
        w.Button4Click();
    }

    // Defaults (32-bit counters, 6 s): a 10 Gbit/s link whose agent has 64-bit counters shows
    // its true rate; one whose agent has none shows no number, says why on its graph and once
    // in the status bar; a 100 Mbit/s link beside them is asked exactly as before.
    void fastLinksThroughTheWindow()
    {
        SnmpAgent agent;
        agent.setLogPackets(true);
        agent.setCounters(5, 1000, 2000);
        agent.setCounters64(5, 10000000000000ULL, 20000000000000ULL);
        agent.setCounters(6, 3000, 4000); // no 64-bit counters
        agent.setCounters(7, 1000, 2000);
        agent.setCounters64(7, 1000, 2000); // there, but a 100 Mbit/s link never asks them
        QVERIFY2(agent.start(), qPrintable(agent.errorString()));
        MainWindowFixture f;
        TForm1 &w = f.create();
        w.CheckBox2->setChecked(true); // show last values
        w.CheckBoxUtilLog->setChecked(true);
        QCOMPARE(w.pollRun().pollInterval(), 6);
        const auto device = [&](int index, const char *bandwidth) {
            return QStringLiteral("%1;%2;%3;public;if%2")
                .arg(agent.host())
                .arg(index)
                .arg(bandwidth);
        };
        load(f, {device(5, "10000000000"), device(6, "10000000000"), device(7, "100000000")});
        QSignalSpy status(&w.pollRun(), &PollRun::statusMessage);
        const qsizetype before = agent.receivedBindings().size();
        const QString message =
            QStringLiteral("Row 2: 10 Gbit/s wraps a 32-bit counter every 3.4 s, faster than the "
                           "6 s poll; use 64-bit counters or a shorter interval");
        poll(w);
        QCOMPARE(w.statusText(0), message);
        for (int n = 1; n <= 2; ++n) {
            // 9.5 Gbit/s in and 9 Gbit/s out over 6 s; 60 Mbit/s each way on the slow link.
            agent.setCounters64(5, 10000000000000ULL + n * 7125000000ULL,
                                20000000000000ULL + n * 6750000000ULL);
            agent.setCounters(6, 3000 + n * 1000000, 4000 + n * 2000000);
            agent.setCounters(7, 1000 + n * 45000000, 2000 + n * 45000000);
            poll(w);
        }
        const GraphBoard &board = w.board();
        QCOMPARE(board.slot(1).LastValuesCaption->Caption(),
                 QStringLiteral("Last values IN: 95; OUT: 90; COMB: 185"));
        QCOMPARE(board.slot(1).Graph->Value(), 185);
        QCOMPARE(board.slot(2).LastValuesCaption->Caption(),
                 QStringLiteral("Not measurable: 32-bit wraps in 3.4 s"));
        QCOMPARE(board.slot(2).Graph->Value(), 0);
        QVERIFY2(board.slot(2).Overlay->toolTip().contains(
                     "Not measurable: 10 Gbit/s wraps a 32-bit counter every 3.4 s"),
                 qPrintable(board.slot(2).Overlay->toolTip()));
        QCOMPARE(board.slot(3).LastValuesCaption->Caption(),
                 QStringLiteral("Last values IN: 60; OUT: 60; COMB: 120"));
        // In bit/s too; the caption fits its strip in either font.
        const auto fits = [&] {
            const TTransLabel *caption = board.slot(2).LastValuesCaption;
            return QFontMetrics(caption->font()).horizontalAdvance(caption->Caption()) <=
                   GraphBoard::GraphWidth;
        };
        QVERIFY(fits());
        w.action("Ratesinbits1")->trigger();
        QCOMPARE(board.slot(1).LastValuesCaption->Caption(),
                 QStringLiteral("IN 9.5 Gbit/s (95 %) \u00B7 OUT 9 Gbit/s (90 %)"));
        QCOMPARE(board.slot(2).LastValuesCaption->Caption(),
                 QStringLiteral("Not measurable: 32-bit wraps in 3.4 s"));
        QVERIFY(fits());
        w.action("Ratesinbits1")->trigger();
        // Said once, and still there after the polls that followed.
        QCOMPARE(w.statusText(0), message);
        int said = 0;
        for (const QList<QVariant> &signal : status)
            said += signal.first().toString().contains(message) ? 1 : 0;
        QCOMPARE(said, 1);

        // The table holds row 2's counters as read and nothing computed from them.
        const InterfaceTable &table = w.interfaceTable();
        QCOMPARE(table.cell(Col::OrgIn, 2), QStringLiteral("2003000"));
        for (int column :
             {Col::InDelta, Col::InDeltaPers, Col::InUtil, Col::OutUtil, Col::CombinedUtil})
            QCOMPARE(table.cell(column, 2), QStringLiteral("0"));
        const PollResult &result = w.pollRun().lastResult();
        QVERIFY(result.hasRate(1));
        QVERIFY(!result.hasRate(2));
        QCOMPARE(result.interfaces[1].outcome, InterfaceReading::Outcome::NotMeasurable);
        QCOMPARE(result.interfaces[1].reason, message);
        QVERIFY(result.hasRate(3));
        // Its log lines hold 0 for every rate and utilisation, as for a first reading.
        const QStringList logs = QDir(f.folder()).entryList({"*_poll.dev_*.csv"}, QDir::Files);
        QCOMPARE(logs.size(), 1);
        QFile log(QDir(f.folder()).filePath(logs.first()));
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QByteArray text = log.readAll();
        QCOMPARE(text.count("; 6; 10000000000; 0; 0; 0; 0; 0; 0; "), 3);
        QCOMPARE(text.count("; 7; 100000000; 7500000; 60; 7500000; 60; 15000000; 120; "), 2);

        // On the wire the 100 Mbit/s link is asked with its two v1 requests per poll, nothing
        // else; the 10 Gbit/s links asked both ways once, then their one way.
        const auto bindings = agent.receivedBindings().mid(before);
        const auto count = [&](int version, const QString &oid) {
            return bindings.count({version, QStringList{oid}});
        };
        QCOMPARE(count(0, SnmpAgent::inOctetsOid(7)), 3);
        QCOMPARE(count(0, SnmpAgent::outOctetsOid(7)), 3);
        qsizetype forSlowLink = 0;
        for (const auto &request : bindings)
            forSlowLink += request.second.first().endsWith(".7") ? 1 : 0;
        QCOMPARE(forSlowLink, 6);
        QCOMPARE(count(0, SnmpAgent::inOctetsOid(5)), 1);
        QCOMPARE(count(0, SnmpAgent::inOctetsOid(6)), 3);
        QVERIFY(f.errors.isEmpty());
        w.Button4Click();
    }

    // Twenty interfaces that never answer, in stop mode: after the poll every slot stands on
    // red and the poll cycle goes on.
    void twentySilentInterfacesStopTheirSlots()
    {
        MainWindowFixture f;
        f.store("onerrors", "stop");
        TForm1 &w = f.create();
        w.poller().setTimeoutMs(500);
        QStringList silent;
        for (int i = 1; i <= 20; ++i) // the agent ignores a wrong community
            silent << m_agent->deviceLine(i, "2048000", "wrong");
        load(f, silent);
        poll(w);
        for (int k = 1; k <= 20; ++k)
            QCOMPARE(w.board().slot(k).Graph->BackgroundColor(), QColor(255, 0, 0));
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
        load(f, {m_agent->deviceLine(1, "fast")});
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
            load(f, {m_agent->deviceLine(1)});
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

    // A device file in a Western 8-bit code page beside a UTF-8 line: the slots show each
    // description in its characters.
    void westernDeviceFileShowsItsCharacters()
    {
        MainWindowFixture f;
        TForm1 &w = f.create();
        const QString path =
            f.writeFile("west.dev", "127.0.0.1:1;1;2048000;caf\xe9;Z\xfcrich \x80\r\n"
                                    "127.0.0.1:2;2;2048000;caf\xc3\xa9;Gen\xc3\xa8ve\r\n");
        w.setDeviceFileChooser([path] { return path; });
        w.Button8Click();
        QCOMPARE(w.board().slot(1).NameCaption->Caption(), QStringLiteral("Z\u00fcrich \u20ac"));
        QCOMPARE(w.board().slot(2).NameCaption->Caption(), QStringLiteral("Gen\u00e8ve"));
        QVERIFY(f.errors.isEmpty());
    }

    // A load leaves nothing of the file before on the board or at the metrics endpoint:
    // slots beyond the new file lose their names, every slot its error time, its last values
    // and the peaks in its tooltip; /metrics keeps only interfaces still loaded (same agent,
    // ifIndex and description). The same for File > Open, the discovery dialog's load and a
    // later start's hand-over.
    void aLoadLeavesNothingOfTheFileBefore_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("File > Open") << "open";
        QTest::newRow("Load it now? of the discovery dialog") << "dialog";
        QTest::newRow("hand-over of a later start") << "handover";
    }
    void aLoadLeavesNothingOfTheFileBefore()
    {
        QFETCH(QString, how);
        MainWindowFixture f;
        f.store("onerrors", "stop");
        TForm1 &w = f.create();
        w.poller().setTimeoutMs(500);
        w.CheckBox2->setChecked(true); // show last values
        w.CheckBox3->setChecked(true); // show interface names
        w.CheckBox4->setChecked(true); // show errors
        const quint16 port = MetricsScrape::freePort();
        QCOMPARE(w.setMetricsAddress(QStringLiteral("127.0.0.1:%1").arg(port)), QString());
        m_agent->removeInterface(9);
        for (int i = 1; i <= 5; ++i)
            m_agent->setCounters(i, 1000000, 500000);
        load(f, {m_agent->deviceLine(1), m_agent->deviceLine(2), m_agent->deviceLine(3),
                 m_agent->deviceLine(9), m_agent->deviceLine(5)});
        poll(w);
        for (int i = 1; i <= 5; ++i)
            m_agent->setCounters(i, 1600000, 560000);
        poll(w);
        const QString zero = QStringLiteral("Last values IN: 0; OUT: 0; COMB: 0");
        QVERIFY(w.board().slot(5).LastValuesCaption->Caption() != zero);
        QVERIFY(w.board().slot(5).Overlay->toolTip().contains("Peak IN"));
        QVERIFY(w.board().errorCaption(4).startsWith("Error occured"));
        QVERIFY(MetricsScrape::get(port).contains("ifIndex=\"5\""));
        w.Button4Click();

        // Three lines: row 1 as before, row 2 renamed, row 3 another port.
        const QString next =
            f.writeFile("next.dev", (m_agent->deviceLine(1) + "\n" +
                                     m_agent->deviceLine(2).replace(";if2", ";renamed") + "\n" +
                                     m_agent->deviceLine(7))
                                        .toUtf8());
        if (how == "open") {
            w.setDeviceFileChooser([next] { return next; });
            w.Button8Click();
        } else if (how == "dialog") {
            w.loadDeviceFile(next);
        } else {
            w.takeOverStart(next);
        }
        QCOMPARE(w.interfaceList().count(), 3);
        for (int k = 1; k <= GraphSlotControl::SlotCount; ++k) {
            const GraphSlot &slot = w.board().slot(k);
            QVERIFY2(slot.ErrorCaption->Caption().isEmpty(), qPrintable(QString::number(k)));
            QCOMPARE(slot.LastValuesCaption->Caption(), zero);
            QVERIFY(!slot.Overlay->toolTip().contains("Peak"));
        }
        QCOMPARE(w.board().slot(2).NameCaption->Caption(), QStringLiteral("renamed"));
        QCOMPARE(w.board().slot(4).NameCaption->Caption(), QString());
        QCOMPARE(w.board().slot(5).NameCaption->Caption(), QString());
        QCOMPARE(w.board().slot(5).Overlay->toolTip(),
                 QStringLiteral("No interface loaded for this graph."));
        QVERIFY(w.board().slot(1).Overlay->toolTip().contains("Not read since Start polling."));

        const QByteArray metrics = MetricsScrape::get(port);
        QVERIFY2(metrics.contains("ifIndex=\"1\",ifDescr=\"if1\""), metrics.constData());
        for (const char *gone : {"ifDescr=\"if2\"", "ifIndex=\"5\"", "ifIndex=\"9\""})
            QVERIFY2(!metrics.contains(gone), gone);
        QVERIFY(f.errors.isEmpty());
    }

    void loadingCancelsThePollInFlight()
    {
        MainWindowFixture f;
        TForm1 &w = f.create();
        w.poller().setTimeoutMs(300);
        load(f, {m_agent->deviceLine(1, "2048000", "wrong")});
        QSignalSpy done(&w.poller(), &Poller::getFinished);
        w.Button3Click();
        QVERIFY(w.poller().inFlight());
        load(f, {m_agent->deviceLine(1)});
        QVERIFY(!w.poller().inFlight());
        QVERIFY(!w.pollCycle().isPolling());
        // A witness request to the same silent interface with the same time-out, sent after
        // the cancelled one: once it has timed out, the cancelled one would have ended too.
        InterfaceTable witnessTable;
        InterfaceList witnessList;
        QVERIFY(DeviceFile::store({m_agent->deviceLine(1, "2048000", "wrong")}, witnessTable,
                                  witnessList));
        Poller witness(witnessTable, witnessList);
        witness.setTimeoutMs(300);
        QSignalSpy witnessDone(&witness, &Poller::getFinished);
        QVERIFY(witness.start());
        QVERIFY(witnessDone.wait(5000));
        QCOMPARE(done.count(), 0);
        QCOMPARE(w.interfaceTable().cell(Col::OrgIn, 1), QStringLiteral("0"));
    }
};

QTEST_MAIN(TestPolling)
#include "tst_polling.moc"
