#include "GraphBoard.h"
#include "Histograph.h"
#include "LinkHealthDisplay.h"
#include "MainWindow.h"
#include "MainWindowFixture.h"
#include "PollResult.h"
#include "TransLabel.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QTest>

namespace
{

const QDateTime T0(QDate(2026, 12, 10), QTime(14, 3, 9));

// A poll that found interface 1 with the given states and counts; interface 2 answered up.
PollResult poll(int second, int admin, int oper, std::optional<std::uint64_t> inErrors = 0,
                bool failed = false)
{
    PollResult result;
    result.time = T0.addSecs(second);
    for (int row = 1; row <= 2; ++row) {
        InterfaceReading r;
        r.row = row;
        r.address = QStringLiteral("127.0.0.1:1161");
        r.ifIndex = QString::number(row);
        r.description = row == 1 ? QStringLiteral("uplink") : QStringLiteral("spare");
        r.polled = true;
        r.outcome = InterfaceReading::Outcome::Good;
        r.adminStatus = row == 1 ? admin : 1;
        r.operStatus = row == 1 ? oper : 1;
        r.inErrorsDelta = row == 1 ? inErrors : 0;
        r.outErrorsDelta = r.inDiscardsDelta = r.outDiscardsDelta = 0;
        if (row == 1 && failed) {
            r.outcome = InterfaceReading::Outcome::Failed;
            r.adminStatus.reset();
            r.operStatus.reset();
            r.inErrorsDelta.reset();
        }
        result.interfaces.append(r);
    }
    return result;
}

} // namespace

class TestLinkHealthBoard : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    // What a finished poll shows on the board: the down colour and caption while the graph
    // runs, the failed red kept, "Disabled", back to normal when up, and the status line
    // naming the interface that changed.
    void boardFollowsTheLink()
    {
        MainWindowFixture f;
        f.store("link health", "yes");
        const QString device = f.writeFile("two.dev", "127.0.0.1:1161;1;100000000;public;uplink\n"
                                                      "127.0.0.1:1161;2;100000000;public;spare\n");
        TForm1 &w = f.create(device);
        GraphBoard &board = w.board();
        const GraphSlot &slot = board.slot(1);
        board.setSlotRunning(1, true);
        board.setSlotRunning(2, true);

        w.showPollResult(poll(0, 1, 1));
        QCOMPARE(slot.Graph->BackgroundColor(), GraphBoard::RunningColor);
        QVERIFY(slot.HealthCaption->isHidden());
        QCOMPARE(w.statusText(0), QString());

        w.showPollResult(poll(6, 1, 2));
        QCOMPARE(slot.Graph->BackgroundColor(), GraphBoard::LinkDownColor);
        QCOMPARE(slot.HealthCaption->Caption(), QStringLiteral("Link down since 14:03:15"));
        QVERIFY(!slot.HealthCaption->isHidden());
        QCOMPARE(w.statusText(0), QStringLiteral("Link state: row 1 (uplink) down"));
        QVERIFY(
            slot.Overlay->toolTip().startsWith("Link down since 14:03:15 (admin up, oper down)"));
        QCOMPARE(board.slot(2).Graph->BackgroundColor(), GraphBoard::RunningColor);

        // The next poll's slot pass keeps the colour of a link that is still down ...
        board.setSlotRunning(1, true);
        QCOMPARE(slot.Graph->BackgroundColor(), GraphBoard::LinkDownColor);
        // ... and a failed reading keeps its red: no link state is known then.
        board.setSlotRunning(1, false);
        w.showPollResult(poll(12, 1, 2, std::nullopt, true));
        QCOMPARE(slot.Graph->BackgroundColor(), GraphBoard::FailedColor);
        QVERIFY(slot.HealthCaption->isHidden());

        board.setSlotRunning(1, true);
        w.showPollResult(poll(18, 2, 2));
        QCOMPARE(slot.Graph->BackgroundColor(), GraphBoard::DisabledColor);
        QCOMPARE(slot.HealthCaption->Caption(), QStringLiteral("Disabled"));
        QCOMPARE(w.statusText(0), QStringLiteral("Link state: row 1 (uplink) disabled"));

        w.showPollResult(poll(24, 1, 1, 3));
        QCOMPARE(slot.Graph->BackgroundColor(), GraphBoard::RunningColor);
        QCOMPARE(slot.HealthCaption->Caption(),
                 QStringLiteral("Errors 3 \u00B7 Discards 0 (last poll)"));
        QCOMPARE(w.statusText(0), QStringLiteral("Link state: row 1 (uplink) up"));

        w.showPollResult(poll(30, 1, 1, 0));
        QVERIFY(slot.HealthCaption->isHidden());
        QVERIFY(slot.Overlay->toolTip().contains("Since Start polling: in errors 3,"));

        // A description is shown as text, never as markup (it may be an agent's ifAlias).
        PollResult marked = poll(36, 1, 2);
        marked.interfaces[0].description = QStringLiteral("<img src=\"x\">up<b>link</b>");
        w.showPollResult(marked);
        const auto *panel = w.findChild<QLabel *>(QStringLiteral("StatusPanel0"));
        QVERIFY(panel);
        QCOMPARE(panel->text(),
                 QStringLiteral("Link state: row 1 (<img src=\"x\">up<b>link</b>) down"));
        QCOMPARE(panel->textFormat(), Qt::PlainText);
        QVERIFY(f.errors.isEmpty());
    }

    // The setting off: nothing on the board, in the status bar or in the log folder.
    // Switching it off clears the board.
    void settingDecidesEverything()
    {
        MainWindowFixture f;
        const QString device = f.writeFile("two.dev", "127.0.0.1:1161;1;100000000;public;uplink\n"
                                                      "127.0.0.1:1161;2;100000000;public;spare\n");
        TForm1 &w = f.create(device);
        w.CheckBoxUtilLog->setChecked(true);
        w.board().setSlotRunning(1, true);
        const QStringList before = QDir(f.folder()).entryList(QDir::Files);

        w.showPollResult(poll(0, 1, 2));
        QCOMPARE(w.board().slot(1).Graph->BackgroundColor(), GraphBoard::RunningColor);
        QVERIFY(w.board().slot(1).HealthCaption->isHidden());
        QCOMPARE(w.statusText(0), QString());
        QCOMPARE(QDir(f.folder()).entryList(QDir::Files), before);

        w.setLinkHealth(true);
        w.showPollResult(poll(6, 1, 2));
        QCOMPARE(w.board().slot(1).Graph->BackgroundColor(), GraphBoard::LinkDownColor);

        w.setLinkHealth(false);
        QCOMPARE(w.board().slot(1).Graph->BackgroundColor(), GraphBoard::RunningColor);
        QVERIFY(w.board().slot(1).HealthCaption->isHidden());
        QCOMPARE(w.board().slot(1).Overlay->toolTip(), QString());
        QVERIFY(f.errors.isEmpty());
    }
};

QTEST_MAIN(TestLinkHealthBoard)
#include "tst_linkhealthboard.moc"
