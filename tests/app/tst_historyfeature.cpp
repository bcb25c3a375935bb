#include "GraphBoard.h"
#include "Heartbeat.h"
#include "HistoryFeature.h"
#include "HistoryGraph.h"
#include "HistoryStore.h"
#include "HistoryWindow.h"
#include "MainWindowFixture.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <dlfcn.h>
#include <thread>

#include "UnderSanitizer.h"
#ifdef OSTRALINE_TEST_UNDER_ASAN
constexpr qint64 LongestGapMs = 150;
#else
constexpr qint64 LongestGapMs = 50;
#endif

using namespace Qt::StringLiterals;

// The history's place in the application: its menu items, which interface they open, and
// the poll results reaching the store.
class TestHistoryFeature : public QObject
{
    Q_OBJECT

private:
    // The file whose presence makes the preloaded librrd stand-in hang (see RrdShim.cpp).
    QTemporaryDir m_markers;
    QString hangMarker() const { return m_markers.filePath(u"hang"_s); }

private Q_SLOTS:
    void initTestCase();
    void menusOpenTheSlotsInterface();
    void hangingDiskNeverHoldsTheWindow();
    void settingSwitchesTheStore_data();
    void settingSwitchesTheStore();
};

void TestHistoryFeature::initTestCase()
{
    // Before any thread starts: the stand-in reads it at each call.
    qputenv("OSTRALINE_TEST_RRD_HANG", QFile::encodeName(hangMarker()));
}

void TestHistoryFeature::menusOpenTheSlotsInterface()
{
    MainWindowFixture f;
    TForm1 &w = f.create();
    QByteArray device;
    for (int i = 1; i <= 3; ++i)
        device += QStringLiteral("127.0.0.1:9;%1;1000000;public;port %1\r\n").arg(i + 10).toUtf8();
    const QString file = f.writeFile(u"three.dev"_s, device);
    w.setDeviceFileChooser([&] { return file; });
    w.Button8Click();
    auto *history = new HistoryFeature(w, f.folder() + u"/history"_s);

    QAction *tools = w.findChild<QAction *>(u"History1"_s);
    QVERIFY(tools);
    QCOMPARE(tools->text().remove(u'&'), u"History..."_s); // with its underlined letter
    QVERIFY(!history->window());
    QAction *slotItem = w.findChild<QAction *>(u"History2"_s);
    QVERIFY(slotItem);
    QVERIFY(w.board().slot(2).SlotMenu->actions().contains(slotItem));

    slotItem->trigger();
    HistoryWindow *window = history->window();
    QVERIFY(window);
    QVERIFY(window->isVisible());
    auto *list = window->findChild<QComboBox *>();
    QCOMPARE(list->count(), 3);
    QCOMPARE(list->currentText(), u"port 12 (127.0.0.1:9, ifIndex 12)"_s);

    // A finished poll reaches the file and the open window.
    PollResult poll;
    poll.time = QDateTime::currentDateTime();
    poll.pollIntervalSeconds = 6;
    for (int i = 1; i <= 3; ++i) {
        InterfaceReading r;
        r.row = i;
        r.address = u"127.0.0.1:9"_s;
        r.ifIndex = QString::number(i + 10);
        r.polled = true;
        r.outcome = InterfaceReading::Outcome::First;
        poll.interfaces.append(r);
    }
    history->onPollFinished(poll);
    history->store().flush();
    QCOMPARE(QDir(f.folder() + u"/history"_s).entryList(QDir::Files).size(), 3);
    QCOMPARE(window->graph()->now(), poll.time.toSecsSinceEpoch());

    tools->trigger(); // Tools > History... shows the same window
    QCOMPARE(history->window(), window);
    QVERIFY(f.errors.isEmpty());
}

void TestHistoryFeature::settingSwitchesTheStore_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("absent") << QString() << true;
    QTest::newRow("no") << "no" << false;
}

void TestHistoryFeature::settingSwitchesTheStore()
{
    QFETCH(QString, stored);
    QFETCH(bool, enabled);
    MainWindowFixture f;
    if (!stored.isNull())
        f.store(HistoryStore::SettingName.toString(), stored);
    TForm1 &w = f.create();
    auto *history = new HistoryFeature(w, f.folder() + u"/history"_s);
    QCOMPARE(history->store().isEnabled(), enabled);
}

void TestHistoryFeature::hangingDiskNeverHoldsTheWindow()
{
    const auto mainThreadCalls =
        reinterpret_cast<int (*)()>(::dlsym(RTLD_DEFAULT, "ostraline_rrd_shim_main_thread_calls"));
    QVERIFY2(mainThreadCalls, "run it through ctest, which preloads the librrd stand-in");
    MainWindowFixture f;
    TForm1 &w = f.create();
    QByteArray device;
    for (int i = 1; i <= 3; ++i)
        device += QStringLiteral("127.0.0.1:9;%1;1000000;public;port %1\r\n").arg(i).toUtf8();
    const QString file = f.writeFile(u"three.dev"_s, device);
    w.setDeviceFileChooser([&] { return file; });
    w.Button8Click();
    auto *history = new HistoryFeature(w, f.folder() + u"/history"_s);
    std::int64_t clock = QDateTime::currentSecsSinceEpoch();
    const auto pollNow = [&] {
        clock += 6;
        PollResult poll;
        poll.time = QDateTime::fromSecsSinceEpoch(clock);
        poll.pollIntervalSeconds = 6;
        for (int i = 1; i <= 3; ++i) {
            InterfaceReading r;
            r.row = i;
            r.address = u"127.0.0.1:9"_s;
            r.ifIndex = QString::number(i);
            r.bandwidth = 1000000;
            r.polled = true;
            r.outcome = InterfaceReading::Outcome::Good;
            r.inOctetsPerSecond = 1000;
            r.outOctetsPerSecond = 500;
            poll.interfaces.append(r);
        }
        history->onPollFinished(poll);
    };
    pollNow();
    history->store().flush();
    QAction *tools = w.findChild<QAction *>(u"History1"_s);
    tools->trigger(); // the window made once, then closed
    QTRY_VERIFY(!history->window()->isReading());
    history->window()->hide();

    // The disk hangs in every update and fetch; polls go on and History opens.
    QFile marker(hangMarker());
    QVERIFY(marker.open(QIODevice::WriteOnly));
    marker.close();
    // Should the GUI thread wait for the disk after all, the disk recovers after 8 s and
    // the test fails on the gap instead of hanging.
    std::atomic<bool> over{false};
    std::thread recovery([&] {
        for (int i = 0; i < 800 && !over; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        QFile::remove(hangMarker());
    });
    auto unhang = qScopeGuard([&] {
        over = true;
        recovery.join();
    });
    QTimer polls;
    connect(&polls, &QTimer::timeout, this, pollNow);
    polls.start(150);
    QTest::qWait(300);
    Heartbeat beat(5);
    tools->trigger();
    HistoryWindow *window = history->window();
    QVERIFY(window->isVisible());
    const auto message = [&] {
        for (QLabel *label : window->findChildren<QLabel *>()) {
            if (label->text() == HistoryWindow::ReadingText ||
                label->text() == HistoryWindow::SilentText)
                return label->text();
        }
        return QString();
    };
    QTRY_COMPARE_WITH_TIMEOUT(message(), HistoryWindow::SilentText.toString(),
                              HistoryWindow::SilentAfterMs + 1000);
    QTest::qWait(500);
    QVERIFY(window->isReading());
    beat.stop();
    QVERIFY2(beat.longestGapMs() < LongestGapMs, qPrintable(QString::number(beat.longestGapMs())));

    // The disk answers: the polls are written, the window reads and shows them.
    polls.stop();
    unhang.dismiss();
    over = true;
    recovery.join();
    QTRY_VERIFY_WITH_TIMEOUT(!window->isReading(), 10000);
    QCOMPARE(message(), QString());
    QVERIFY(!window->graph()->series().isEmpty());
    QCOMPARE(mainThreadCalls(), 0); // no librrd call on the GUI thread, ever
}

QTEST_MAIN(TestHistoryFeature)
#include "tst_historyfeature.moc"
