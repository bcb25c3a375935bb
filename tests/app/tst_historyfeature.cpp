#include "GraphBoard.h"
#include "HistoryFeature.h"
#include "HistoryGraph.h"
#include "HistoryStore.h"
#include "HistoryWindow.h"
#include "MainWindowFixture.h"

#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QtTest>

using namespace Qt::StringLiterals;

// The history's place in the application: its menu items, which interface they open, and
// the poll results reaching the store.
class TestHistoryFeature : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void menusOpenTheSlotsInterface();
    void settingSwitchesTheStore_data();
    void settingSwitchesTheStore();
};

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

QTEST_MAIN(TestHistoryFeature)
#include "tst_historyfeature.moc"
