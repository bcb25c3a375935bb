#include "GetStep.h"
#include "MainWindowFixture.h"

#include "GraphBoard.h"
#include "Histograph.h"
#include "InterfaceTable.h"
#include "SettingsKeys.h"
#include "TransLabel.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace
{

QByteArray lines(int count, const QString &host = QStringLiteral("127.0.0.1:9"))
{
    QByteArray bytes;
    for (int i = 1; i <= count; ++i)
        bytes += QStringLiteral("%1;%2;1000000;public;if%2\r\n").arg(host).arg(i).toUtf8();
    return bytes;
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    void firstStartWritesEveryDefaultAndPollsNothing()
    {
        MainWindowFixture f;
        TForm1 &w = f.create();
        for (const auto &setting : SettingsKeys::StartupOrder) {
            QVERIFY2(f.exists(setting.name.toString()), qPrintable(setting.name.toString()));
            QCOMPARE(f.stored(setting.name.toString()), setting.defaultText.toString());
        }
        QCOMPARE(f.stored("64-bit counters"), QStringLiteral("no"));
        QVERIFY(!w.poller().counters().enabled());
        QCOMPARE(f.stored("link health"), QStringLiteral("no"));
        QVERIFY(!w.linkHealth());
        QVERIFY(f.errors.isEmpty());
        QCOMPARE(w.windowTitle(), QStringLiteral("Ostraline by Kelvane"));
        QCOMPARE(w.outerSize(), QSize(715, 550));
        QVERIFY(!w.startButton()->isEnabled());
        QVERIFY(w.intervalRadio(6)->isChecked());
        QVERIFY(w.RadioButton8->isChecked());
        QVERIFY(w.RadioButton13->isChecked());
        QVERIFY(w.RadioButton11->isChecked());
        QCOMPARE(w.interfaceTable().cell(Col::Number, 0), QStringLiteral("Number"));
        QCOMPARE(w.interfaceList().count(), 0);
        // Stored defaults replace the slot's initial thresholds; colours red, yellow, lime.
        THistograph *graph = w.board().slot(1).Graph;
        QCOMPARE(graph->HighValue(), 70);
        QCOMPARE(graph->LowValue(), 20);
        QCOMPARE(graph->GraphHighColor(), QColor(255, 0, 0));
        QCOMPARE(graph->GraphNormalColor(), QColor(255, 255, 0));
        QCOMPARE(graph->GraphLowColor(), QColor(0, 255, 0));
        QCOMPARE(graph->BackgroundColor(), QColor(128, 128, 128));
        QVERIFY(!w.pollCycle().isPolling());
        QVERIFY(w.action("N6seconds1")->isChecked());
        QVERIFY(w.action("Combined1")->isChecked());
        // The stored default "100" is applied, which checks its menu item.
        QVERIFY(w.action("N1001")->isChecked());
    }

    void storedSettingsApplyExactly_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("storedAfter");
        QTest::newRow("interval 12 runs the change") << "intervall"
                                                     << "12"
                                                     << "12";
        QTest::newRow("interval 7 leaves 6 unrewritten") << "intervall"
                                                         << "7"
                                                         << "7";
        QTest::newRow("COMB applies nothing") << "values"
                                              << "COMB"
                                              << "COMB";
        QTest::newRow("comb selects combined") << "values"
                                               << "comb"
                                               << "comb";
        QTest::newRow("IN selects input") << "values"
                                          << "IN"
                                          << "IN";
        QTest::newRow("Yes is not yes") << "Write util log"
                                        << "Yes"
                                        << "Yes";
        QTest::newRow("yes switches captions") << "Show errors"
                                               << "yes"
                                               << "yes";
        QTest::newRow("gmax 10") << "gmaxvalue"
                                 << "10"
                                 << "10";
        QTest::newRow("15 graphs") << "numbergraphs"
                                   << "15"
                                   << "15";
        QTest::newRow("64-bit counters yes") << "64-bit counters"
                                             << "yes"
                                             << "yes";
        QTest::newRow("64-bit counters Yes is not yes") << "64-bit counters"
                                                        << "Yes"
                                                        << "Yes";
        QTest::newRow("link health yes") << "link health"
                                         << "yes"
                                         << "yes";
        QTest::newRow("link health Yes is not yes") << "link health"
                                                    << "Yes"
                                                    << "Yes";
    }
    void storedSettingsApplyExactly()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(QString, storedAfter);
        MainWindowFixture f;
        f.store(name, text);
        TForm1 &w = f.create();
        QCOMPARE(f.stored(name), storedAfter);
        THistograph *graph = w.board().slot(5).Graph;
        if (name == "intervall") {
            const int seconds = text == "12" ? 12 : 6;
            QVERIFY(w.intervalRadio(seconds)->isChecked());
            QCOMPARE(w.pollCycle().pollInterval(), seconds);
            QCOMPARE(graph->VertLinesInterval(), seconds == 12 ? 120 : 60);
            QCOMPARE(graph->Interval(), seconds);
            QCOMPARE(w.action(QStringLiteral("N%1seconds1").arg(seconds))->isChecked(), true);
        } else if (name == "values") {
            QCOMPARE(w.RadioButton9->isChecked(), text == "IN");
            QCOMPARE(w.RadioButton11->isChecked(), text != "IN");
            QCOMPARE(w.action("In1")->isChecked(), text == "IN");
        } else if (name == "Write util log") {
            QVERIFY(!w.CheckBoxUtilLog->isChecked());
            QVERIFY(!w.action("Writeutillog1")->isChecked());
        } else if (name == "Show errors") {
            QVERIFY(w.CheckBox4->isChecked());
            QVERIFY(w.action("Showerrors1")->isChecked());
            QVERIFY(!w.board().slot(20).ErrorCaption->isHidden());
        } else if (name == "gmaxvalue") {
            QCOMPARE(graph->MaxValue(), 10);
            QCOMPARE(graph->HorizLinesInterval(), 2);
            QCOMPARE(w.board().slot(5).PercentLabel->text(), QStringLiteral("10%"));
            QVERIFY(w.action("N101")->isChecked());
        } else if (name == "64-bit counters") {
            QCOMPARE(w.poller().counters().enabled(), text == "yes");
        } else if (name == "link health") {
            QCOMPARE(w.linkHealth(), text == "yes");
        } else if (name == "numbergraphs") {
            QCOMPARE(w.outerSize(), QSize(1010, 550));
            QVERIFY(w.action("Show15graphs1")->isChecked());
        }
        QVERIFY(f.errors.isEmpty());
    }

    void garbledSettingsReportOnceAndStartupGoesOn()
    {
        MainWindowFixture f;
        f.store("highvalue", "abc");
        f.store("lowvaluecolor", "notacolour");
        f.store("numbergraphs", "20");
        TForm1 &w = f.create();
        QCOMPARE(f.errors.size(), 2);
        QVERIFY(f.errors.at(0).contains("abc"));
        QVERIFY(f.errors.at(1).contains("notacolour"));
        // The rest of the start-up ran: header row written, later settings applied.
        QCOMPARE(w.interfaceTable().cell(Col::Description, 0), QStringLiteral("description"));
        QCOMPARE(w.outerSize(), QSize(1190, 550));
        QCOMPARE(w.board().slot(1).Graph->HighValue(), 70); // the slot's built-in threshold
    }

    // A settings file that cannot be written, or one value in it that is not a text: one
    // report for the start, every other stored value applied, nothing stored overwritten, and
    // later choices still take effect for the run.
    void unwritableOrMistypedSettings_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("report");
        QTest::newRow("read-only file") << "readonly"
                                        << "Failed to set data for 'highvalue'. Cannot write "
                                           "settings file \"%1\". Permission denied";
        QTest::newRow("a list for highvalue") << "list"
                                              << "Invalid data type for 'highvalue'";
    }
    void unwritableOrMistypedSettings()
    {
        QFETCH(QString, kind);
        QFETCH(QString, report);
        MainWindowFixture f;
        f.store("lowvalue", "5");
        f.store("intervall", "12");
        f.store("numbergraphs", "20");
        f.store("Show errors", "yes");
        const QString ini = SettingsStore().location();
        if (kind == "list") {
            QFile file(ini);
            QVERIFY(file.open(QIODevice::Append));
            file.write("highvalue=1, 2\n");
        } else {
            QVERIFY(QFile::setPermissions(ini, QFile::ReadOwner));
        }
        const QByteArray before = [&] {
            QFile file(ini);
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        }();

        TForm1 &w = f.create();
        QCOMPARE(f.errors, QStringList{report.arg(ini)});
        QCOMPARE(w.board().slot(1).Graph->HighValue(), 70); // the slot's built-in threshold
        QCOMPARE(w.board().slot(1).Graph->LowValue(), 5);
        QVERIFY(w.intervalRadio(12)->isChecked());
        QCOMPARE(w.pollCycle().pollInterval(), 12);
        QCOMPARE(w.outerSize(), QSize(1190, 550));
        QVERIFY(w.CheckBox4->isChecked());
        QCOMPARE(w.interfaceTable().cell(Col::Number, 0), QStringLiteral("Number"));
        if (kind == "readonly") {
            // A choice made later applies for the run, without a second report.
            w.N30seconds1Click();
            QCOMPARE(w.pollCycle().pollInterval(), 30);
            QCOMPARE(w.board().slot(1).Graph->Interval(), 30);
            QCOMPARE(f.errors.size(), 1);
            QFile file(ini);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), before);
            QVERIFY(QFile::setPermissions(ini, QFile::ReadOwner | QFile::WriteOwner));
        } else {
            QCOMPARE(SettingsStore(ini).exists(u"highvalue"), true);
            QFile file(ini);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QVERIFY(file.readAll().contains("highvalue=1, 2"));
        }
    }

    void everyValueGarbled()
    {
        MainWindowFixture f;
        for (const auto &setting : SettingsKeys::StartupOrder)
            f.store(setting.name.toString(), QStringLiteral("\u00ff?garbled; \"x\"\t"));
        TForm1 &w = f.create();
        // The two thresholds and the three colours cannot be converted: each is reported once.
        QCOMPARE(f.errors.size(), 5);
        // Everything else matches no legal text and leaves the window as it was laid out.
        QVERIFY(w.intervalRadio(6)->isChecked());
        QVERIFY(w.RadioButton11->isChecked());
        QCOMPARE(w.outerSize(), QSize(715, 550));
        QVERIFY(!w.CheckBoxUtilLog->isChecked());
        QCOMPARE(w.interfaceTable().cell(Col::Number, 0), QStringLiteral("Number"));
        QCOMPARE(w.interfaceList().count(), 0); // a garbled start-file flag loads nothing
        QVERIFY(!w.startButton()->isEnabled());
        // The stored texts are left as they were: nothing rewrote them.
        QCOMPARE(f.stored("numbergraphs"), QStringLiteral("\u00ff?garbled; \"x\"\t"));
    }

    void commandLineWinsOverStartFile()
    {
        MainWindowFixture f;
        const QString startFile = f.writeFile("start.dev", lines(2));
        const QString given = f.writeFile("given.dev", lines(4));
        f.store("first start file", startFile);
        f.store("first start file active", "yes");
        TForm1 &w = f.create(given);
        QCOMPARE(w.interfaceList().count(), 4);
        QCOMPARE(w.deviceFilePath(), given);
        QVERIFY(w.startButton()->isEnabled());

        MainWindowFixture g;
        g.store("first start file", startFile);
        g.store("first start file active", "yes");
        QCOMPARE(g.create().interfaceList().count(), 2);

        // A start file that is not flagged only names the logs.
        MainWindowFixture h;
        h.store("first start file", startFile);
        TForm1 &x = h.create();
        QCOMPARE(x.interfaceList().count(), 0);
        QCOMPARE(x.deviceFilePath(), startFile);
    }

    void deviceFileLoads()
    {
        MainWindowFixture f;
        TForm1 &w = f.create();
        const QString three = f.writeFile("three.dev", lines(3));
        const QString five = f.writeFile("five.dev", lines(5));
        w.setDeviceFileChooser([&] { return five; });
        w.Button8Click();
        QVERIFY2(f.errors.isEmpty(), qPrintable(f.errors.join('\n')));
        QCOMPARE(w.interfaceList().count(), 5);
        QCOMPARE(w.board().slot(5).NameCaption->Caption(), QStringLiteral("if5"));

        w.setDeviceFileChooser([&] { return three; });
        w.Button8Click();
        QCOMPARE(w.interfaceList().count(), 3);
        QCOMPARE(w.deviceFilePath(), three);
        QVERIFY(w.statusText(0).isEmpty());
        QVERIFY(w.interfaceTable().cell(Col::IP, 4).isEmpty());
        // The previous file's description stays beyond the new file's lines.
        QCOMPARE(w.interfaceTable().cell(Col::Description, 5), QStringLiteral("if5"));
        QCOMPARE(w.board().slot(3).Graph->BackgroundColor(), QColor(0, 0, 0));
        QCOMPARE(w.board().slot(4).Graph->BackgroundColor(), QColor(128, 128, 128));
        QVERIFY(!w.pollCycle().isPolling());

        // Cancel: interfaces unloaded, the last chosen name kept, Start disabled.
        w.setDeviceFileChooser([] { return QString(); });
        w.Button8Click();
        QCOMPARE(w.interfaceList().count(), 0);
        QCOMPARE(w.statusText(0), QStringLiteral("No device file selected!"));
        QVERIFY(!w.startButton()->isEnabled());
        QCOMPARE(w.deviceFilePath(), three);
        QVERIFY(f.errors.isEmpty());
    }

    // Rows whose agent is a group address load (the file is the user's), and the status bar
    // names them: the poll sends nothing to such an address.
    void groupAddressesNamedAtLoad()
    {
        MainWindowFixture f;
        TForm1 &w = f.create();
        const QString file =
            f.writeFile("groups.dev", "127.0.0.1;1;1000;public;a\n224.0.0.9;1;1000;public;b\n"
                                      "[ff02::1];2;1000;public;c\n192.0.2.255;3;1000;public;d\n");
        w.setDeviceFileChooser([&] { return file; });
        w.Button8Click();
        QCOMPARE(w.interfaceList().count(), 4);
        QCOMPARE(w.statusText(0), QStringLiteral("Rows 2, 3: 224.0.0.9 is a multicast address, "
                                                 "not an agent's address; nothing is sent to it."));
        QVERIFY(f.errors.isEmpty());
    }

    // Twenty lines and more load alike: the first 20 interfaces, the board set up for them
    // and Start enabled; the status bar says when lines were left out.
    void moreThanTwentyLinesAndUnreadableFiles_data()
    {
        QTest::addColumn<int>("fileLines");
        QTest::addColumn<QString>("status");
        QTest::newRow("20 lines") << 20 << "";
        QTest::newRow("25 lines") << 25 << "Only the first 20 lines of the device file are used.";
    }
    void moreThanTwentyLinesAndUnreadableFiles()
    {
        QFETCH(int, fileLines);
        QFETCH(QString, status);
        MainWindowFixture f;
        TForm1 &w = f.create();
        w.Show20graphs1Click();
        const QString many = f.writeFile("many.dev", lines(fileLines));
        w.setDeviceFileChooser([&] { return many; });
        w.Button8Click();
        QCOMPARE(w.interfaceList().count(), 20);
        QVERIFY(w.startButton()->isEnabled());
        QCOMPARE(w.statusText(0), status);
        for (const int k : {1, 20}) {
            QCOMPARE(w.board().slot(k).Graph->BackgroundColor(), QColor(0, 0, 0));
            QCOMPARE(w.board().slot(k).Graph->Interval(), w.pollCycle().pollInterval());
            QCOMPARE(w.board().slot(k).NameCaption->Caption(), QStringLiteral("if%1").arg(k));
        }

        const QString missing = f.folder() + "/missing.dev";
        w.setDeviceFileChooser([&] { return missing; });
        w.Button8Click();
        QCOMPARE(f.errors.size(), 1);
        QVERIFY(f.errors.first().contains(missing));
        QCOMPARE(w.interfaceList().count(), 0);
        QVERIFY(w.isEnabled());
    }

#ifdef Q_OS_UNIX
    // A device file that never ends or never starts, chosen or as the start file: a clear
    // message, and the window stays up and usable.
    void deviceFileThatIsNoRegularFile_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("startFile");
        for (const bool startFile : {false, true}) {
            const char *how = startFile ? "start file" : "chosen";
            QTest::addRow("endless device, %s", how) << "/dev/zero" << startFile;
            QTest::addRow("pipe, %s", how) << "fifo" << startFile;
            QTest::addRow("folder, %s", how) << "folder" << startFile;
        }
    }
    void deviceFileThatIsNoRegularFile()
    {
        QFETCH(QString, kind);
        QFETCH(bool, startFile);
        MainWindowFixture f;
        QString path = kind;
        if (kind == "fifo") {
            path = f.folder() + "/pipe.dev";
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else if (kind == "folder") {
            path = f.folder();
        }
        if (startFile) {
            f.store("first start file", path);
            f.store("first start file active", "yes");
        }
        TForm1 &w = f.create();
        if (!startFile) {
            w.setDeviceFileChooser([&] { return path; });
            w.Button8Click();
        }
        QCOMPARE(f.errors,
                 QStringList{"Cannot open file \"" + path + "\". It is not a regular file."});
        QCOMPARE(w.interfaceList().count(), 0);
        QVERIFY(!w.startButton()->isEnabled());

        // The window goes on: a regular file loads.
        const QString good = f.writeFile("good.dev", lines(2));
        w.setDeviceFileChooser([&] { return good; });
        w.Button8Click();
        QCOMPARE(w.interfaceList().count(), 2);
        QVERIFY(w.startButton()->isEnabled());
    }
#endif

    void boardChoices()
    {
        MainWindowFixture f;
        TForm1 &w = f.create();
        w.action("Show15graphs1")->trigger();
        QCOMPARE(w.outerSize(), QSize(1010, 550));
        w.Button9Clickr();
        QCOMPARE(w.outerSize(), QSize(1010, 755));
        // The table opens below the lowest row of graphs, not over it.
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const auto *tabs = w.findChild<QTabWidget *>("PageControl1");
        const QWidget *lowest = w.board().slot(9).Graph;
        QVERIFY(tabs->geometry().top() >=
                lowest->mapTo(w.centralWidget(), QPoint(0, lowest->height())).y());
        QVERIFY(tabs->height() > 150);
        QCOMPARE(w.action("ShowMore1")->text(), QStringLiteral("Show &less"));
        w.action("Show10graphs1")->trigger();
        QCOMPARE(w.outerSize(), QSize(715, 755));
        w.Button9Clickr();
        QCOMPARE(w.outerSize(), QSize(715, 550));
        w.Button9Clickr();
        QCOMPARE(w.outerSize(), QSize(845, 755));
        QCOMPARE(f.stored("numbergraphs"), QStringLiteral("10"));

        // Board maximum, then one slot's own maximum, then the board item again.
        w.action("N101")->trigger();
        for (int k = 1; k <= 20; ++k)
            QCOMPARE(w.board().slot(k).PercentLabel->text(), QStringLiteral("10%"));
        w.board().slot(3).MaxValue100->trigger();
        QCOMPARE(w.board().slot(3).Graph->MaxValue(), 100);
        QCOMPARE(w.board().slot(4).Graph->MaxValue(), 10);
        w.action("N101")->trigger();
        QCOMPARE(w.board().slot(3).Graph->MaxValue(), 10);
        QCOMPARE(f.stored("gmaxvalue"), QStringLiteral("10"));

        // A slot's own maximum survives reset, a shown-value change and a reload.
        w.board().slot(20).MaxValue50->trigger();
        const QString file = f.writeFile("two.dev", lines(2));
        w.setDeviceFileChooser([&] { return file; });
        w.Button6Click();
        w.action("Out1")->trigger();
        w.Button8Click();
        QCOMPARE(w.board().slot(20).Graph->MaxValue(), 50);
        QCOMPARE(w.board().slot(20).PercentLabel->text(), QStringLiteral("50%"));

        // "Out" stored OUT; choosing it again changes nothing. Another choice clears the
        // graphs and zeroes the values, but the descriptions stay.
        QCOMPARE(f.stored("values"), QStringLiteral("OUT"));
        w.interfaceTable().setCell(Col::Description, 9, "kept");
        w.action("Out1")->trigger();
        QCOMPARE(w.interfaceTable().cell(Col::Description, 9), QStringLiteral("kept"));
        QVERIFY(w.action("Out1")->isChecked());
        QVERIFY(!w.action("Combined1")->isChecked());
        w.interfaceTable().setCell(Col::InUtil, 1, QStringLiteral("12.5"));
        w.action("In1")->trigger();
        QCOMPARE(w.interfaceTable().cell(Col::Description, 1), QStringLiteral("if1"));
        QCOMPARE(w.interfaceTable().cell(Col::InUtil, 1), QStringLiteral("0"));
    }

    // The graphs stand at y = 4 of the client area below the menu whether or not the table
    // is shown; the status bar's panel 0 is 550 wide and panel 1 starts at x = 550.
    void graphsAndStatusPanelsStayInPlace()
    {
        MainWindowFixture f;
        TForm1 &w = f.create();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QWidget *client = w.centralWidget();
        QCOMPARE(client->y(), w.menuBar()->geometry().bottom() + 1);
        for (const bool expanded : {false, true, false}) {
            if (w.isExpanded() != expanded)
                w.Button9Clickr();
            QTRY_COMPARE(w.height(), expanded ? 755 : 550);
            for (const int k : {1, 2, 9})
                QCOMPARE(w.board().slot(k).Graph->mapTo(client, QPoint()).y(),
                         4 + 96 * ((k - 1) / 2));
        }

        const auto *panel0 = w.findChild<QLabel *>("StatusPanel0");
        const auto *panel1 = w.findChild<QLabel *>("StatusPanel1");
        QCOMPARE(panel0->geometry().x(), 0);
        QCOMPARE(panel0->width(), 550);
        QCOMPARE(panel1->x(), 550);
        QCOMPARE(panel1->geometry().right(), w.statusBar()->width() - 1);
        QCOMPARE(w.statusBar()->width(), w.width());
    }

    void captionSwitchesAndLogSwitches()
    {
        MainWindowFixture f;
        TForm1 &w = f.create();
        w.action("Showlastvalues1")->trigger();
        QVERIFY(w.CheckBox2->isChecked());
        QVERIFY(!w.board().slot(7).LastValuesCaption->isHidden());
        QCOMPARE(f.stored("Show last values"), QStringLiteral("yes"));
        w.action("Showlastvalues1")->trigger();
        QVERIFY(w.board().slot(7).LastValuesCaption->isHidden());
        QCOMPARE(f.stored("Show last values"), QStringLiteral("no"));
        w.action("Writeanalysislog1")->trigger();
        QVERIFY(w.CheckBoxAnalysisLog->isChecked());
        QCOMPARE(f.stored("Write analysis log"), QStringLiteral("yes"));
        w.action("Doubleupdatespeed1")->trigger();
        QVERIFY(w.action("Doubleupdatespeed1")->isChecked());
        QCOMPARE(f.stored("double update speed"), QStringLiteral("yes"));
        QCOMPARE(w.board().slot(1).Graph->Interval(), 3);
    }

    void startAndStopWithoutInterfaces()
    {
        MainWindowFixture f;
        TForm1 &w = f.create();
        w.action("Startpolling1")->trigger();
        QVERIFY(w.stopButton()->isVisibleTo(&w));
        QVERIFY(!w.startButton()->isVisibleTo(&w));
        QVERIFY(!w.pollCycle().isPolling());
        w.action("Stoppolling1")->trigger();
        QVERIFY(w.startButton()->isVisibleTo(&w));
        QCOMPARE(w.statusText(0), QStringLiteral("Polling stopped by user."));
    }

    void countdownAndIntervalChange()
    {
        MainWindowFixture f;
        f.store("intervall", "3");
        TForm1 &w = f.create();
        const QString file = f.writeFile("one.dev", lines(1, "127.0.0.1:9"));
        w.setDeviceFileChooser([&] { return file; });
        w.Button8Click();
        w.Button3Click();
        QCOMPARE(w.statusText(1), QStringLiteral("Next poll in 3 seconds"));
        QVERIFY(w.statusText(0).isEmpty());
        w.Timer2Timer();
        QCOMPARE(w.statusText(1), QStringLiteral("Next poll in 2 seconds"));
        w.Timer2Timer();
        QCOMPARE(w.statusText(1), QStringLiteral("Next poll in 1 seconds"));
        QVERIFY(!w.pollCycle().countdownTimer().isActive());
        w.poller().cancel();
        w.Timer1Timer();
        QCOMPARE(w.statusText(1), QStringLiteral("Next poll in 3 seconds"));
        QVERIFY(w.pollCycle().countdownTimer().isActive());

        // Changing the interval while polling: the timer keeps its period until its next event.
        // (A change during a poll in flight waits for the poll's steps; none is in flight here.)
        w.poller().cancel();
        w.interfaceTable().setCell(Col::InUtil, 1, "55");
        w.action("N30seconds1")->trigger();
        QCOMPARE(w.pollCycle().pollTimer().interval(), 3000);
        QCOMPARE(w.interfaceTable().cell(Col::InUtil, 1), QStringLiteral("0"));
        QVERIFY(w.action("N30seconds1")->isChecked());
        QVERIFY(!w.action("N3seconds1")->isChecked());
        QCOMPARE(f.stored("intervall"), QStringLiteral("30"));
        w.poller().cancel();
        w.Timer1Timer();
        QCOMPARE(w.pollCycle().pollTimer().interval(), 30000);

        w.Button4Click();
        QCOMPARE(w.statusText(0), QStringLiteral("Polling stopped by user."));
        QCOMPARE(w.statusText(1), QStringLiteral("Next poll in 30 seconds"));
        QVERIFY(!w.pollCycle().isPolling());
        QVERIFY(!w.board().slot(1).Graph->Active());
    }

    void stayOnTopToggles()
    {
        MainWindowFixture f;
        TForm1 &w = f.create();
        w.Stayontop1Click();
        QVERIFY(w.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(w.action("Stayontop1")->isChecked());
        w.Stayontop1Click();
        QVERIFY(!w.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(!w.action("Stayontop1")->isChecked());
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
