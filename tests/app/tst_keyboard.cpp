#include "AgentsDialog.h"
#include "AlertsFeature.h"
#include "DiscoveryDialog.h"
#include "GraphBoard.h"
#include "Histograph.h"
#include "HistoryFeature.h"
#include "MainWindowFixture.h"
#include "OptionsDialog.h"
#include "SlotKeyboard.h"
#include "TransLabel.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

namespace
{

// The text as shown: without the mnemonic's ampersand ("&&" stays one "&").
QString shown(QString text)
{
    return text.replace(QLatin1String("&&"), QStringLiteral("\x01"))
        .remove(u'&')
        .replace(u'\x01', u'&');
}

QChar mnemonic(const QString &text)
{
    const qsizetype at =
        QString(text).replace(QLatin1String("&&"), QLatin1String("__")).indexOf(u'&');
    return at < 0 || at + 1 >= text.size() ? QChar() : text.at(at + 1).toLower();
}

// Every item of these actions (and of their submenus) has a mnemonic unique among its
// neighbours; the failures, in words.
void checkMnemonics(const QList<QAction *> &actions, const QString &where, QStringList *faults)
{
    QMap<QChar, QString> taken;
    for (QAction *action : actions) {
        if (action->isSeparator())
            continue;
        const QChar letter = mnemonic(action->text());
        if (letter.isNull())
            *faults << where + QLatin1String(": no mnemonic on ") + action->text();
        else if (taken.contains(letter))
            *faults << where + QLatin1String(": ") + action->text() + QLatin1String(" and ") +
                           taken.value(letter);
        taken.insert(letter, action->text());
        if (action->menu())
            checkMnemonics(action->menu()->actions(), where + u'>' + shown(action->text()), faults);
    }
}

QWidget *focusedSlot(TForm1 &form)
{
    for (int k = 1; k <= GraphSlotControl::SlotCount; ++k) {
        if (form.board().slot(k).Overlay->hasFocus())
            return form.board().slot(k).Overlay;
    }
    return nullptr;
}

} // namespace

class TestKeyboard : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { qputenv("OSTRALINE_NO_SPLASH", "1"); }

    // Each menu title and item carries an underlined letter, unique in its menu, and still
    // shows its own text; so do the items the history and the alerts add (as the program
    // entry adds them, after the window).
    void everyMenuItemHasAMnemonic()
    {
        MainWindowFixture f;
        TForm1 &form = f.create();
        TForm3 options(form, &form);
        new HistoryFeature(form, f.folder() + QStringLiteral("/history")); // owned by form
        AlertsFeature alerts(form, options, f.folder() + QStringLiteral("/alerts.csv"),
                             QDBusConnection(QStringLiteral("no session bus")));
        QStringList faults;
        checkMnemonics(form.menuBar()->actions(), QStringLiteral("menu bar"), &faults);
        checkMnemonics(form.board().slot(1).SlotMenu->actions(), QStringLiteral("graph 1"),
                       &faults);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u'\n')));

        QStringList titles;
        for (QAction *action : form.menuBar()->actions())
            titles << shown(action->text());
        QCOMPARE(titles, (QStringList{"File", "View", "Tools", "?"}));
        QCOMPARE(form.menuBar()->actions().at(1)->text(), QStringLiteral("&View"));
        for (const char *name : {"Opendevicefile1", "Stayontop1", "ShowMore1", "OSLHelp1",
                                 "History1", "Alerts1", "History2"}) {
            const QAction *item = form.findChild<QAction *>(QLatin1String(name));
            QVERIFY(item);
            QVERIFY2(!mnemonic(item->text()).isNull(), name);
        }
        QCOMPARE(shown(form.findChild<QAction *>("Opendevicefile1")->text()),
                 QStringLiteral("Open device file"));
        QCOMPARE(shown(form.findChild<QAction *>("Stayontop1")->text()),
                 QStringLiteral("Stay on top"));
        QCOMPARE(shown(form.findChild<QAction *>("History1")->text()),
                 QStringLiteral("History..."));
        QCOMPARE(shown(form.findChild<QAction *>("Alerts1")->text()), QStringLiteral("Alerts..."));
        QVERIFY(form.findChild<QAction *>("Stayontop1")->toolTip().contains("Wayland"));
    }

    // Tab reaches the shown graphs; Shift+F10 or the Menu key opens the focused graph's menu
    // at the graph, and Escape closes it again.
    void slotMenuFromTheKeyboard_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::newRow("Shift+F10") << int(Qt::Key_F10) << int(Qt::ShiftModifier);
        QTest::newRow("Menu key") << int(Qt::Key_Menu) << int(Qt::NoModifier);
    }
    void slotMenuFromTheKeyboard()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        MainWindowFixture f;
        TForm1 &form = f.create();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QApplication::setActiveWindow(&form);
        form.startButton()->setFocus();

        QSet<QWidget *> reached;
        for (int i = 0; i < 60 && reached.size() < 10; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            if (QWidget *slot = focusedSlot(form))
                reached.insert(slot);
        }
        QCOMPARE(reached.size(), 10); // the ten shown graphs

        while (focusedSlot(form) != form.board().slot(3).Overlay)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QMenu *menu = form.board().slot(3).SlotMenu;
        QTest::keyClick(form.board().slot(3).Overlay, Qt::Key(key),
                        Qt::KeyboardModifiers(modifiers));
        QTRY_VERIFY(menu->isVisible());
        const QRect graph(form.board().slot(3).Overlay->mapToGlobal(QPoint(0, 0)),
                          form.board().slot(3).Overlay->size());
        QVERIFY(graph.contains(menu->pos()));
        QVERIFY(menu->activeAction());
        QTest::keyClick(menu, Qt::Key_Escape);
        QTRY_VERIFY(!menu->isVisible());
    }

    // A focused graph's frame stands out from the graph: on the black of a running graph, the
    // grey of an empty slot and the red of a failed one.
    void focusFrameStandsOut_data()
    {
        QTest::addColumn<QColor>("background");
        QTest::newRow("running (black)") << GraphBoard::RunningColor;
        QTest::newRow("no interface (grey)") << GraphBoard::NoInterfaceColor;
        QTest::newRow("failed (red)") << GraphBoard::FailedColor;
    }
    void focusFrameStandsOut()
    {
        QFETCH(QColor, background);
        MainWindowFixture f;
        TForm1 &form = f.create();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QApplication::setActiveWindow(&form);
        const GraphSlot &slot = form.board().slot(3);
        slot.Graph->setBackgroundColor(background);
        QApplication::processEvents();
        const QPoint topLeft = slot.Overlay->mapTo(&form, QPoint(0, 0));
        const QPoint left(0, slot.Overlay->height() / 2 + 3); // between grid lines
        const QImage unfocused = form.grab().toImage();

        slot.Overlay->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(slot.Overlay->hasFocus());
        QApplication::processEvents();
        const QImage focused = form.grab().toImage();
        const QColor expected = SlotKeyboard::frameColor(
            slot.Overlay->palette().color(QPalette::Highlight), background);
        // The frame's two pixels at the left edge; they stand out from the graph.
        for (const QPoint at : {left, left + QPoint(1, 0)}) {
            const QColor edge = focused.pixelColor(topLeft + at);
            QCOMPARE(edge.name(), expected.name());
            QVERIFY2(std::abs(qGray(edge.rgb()) - qGray(background.rgb())) >= 60,
                     qPrintable(edge.name() + " on " + background.name()));
        }

        // Focus on the next graph: this one as it was.
        form.board().slot(4).Overlay->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(!slot.Overlay->hasFocus());
        QApplication::processEvents();
        QCOMPARE(form.grab().toImage().pixelColor(topLeft + left).name(),
                 unfocused.pixelColor(topLeft + left).name());
    }

    // The Edit device panel: each field by its label's letter, each button by its own.
    void editDevicePanelWithoutAMouse_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("field");
        QTest::newRow("Alt+P") << int(Qt::Key_P) << "Edit4";
        QTest::newRow("Alt+I") << int(Qt::Key_I) << "Edit5";
        QTest::newRow("Alt+B") << int(Qt::Key_B) << "Edit6";
        QTest::newRow("Alt+C") << int(Qt::Key_C) << "Edit7";
    }
    void editDevicePanelWithoutAMouse()
    {
        QFETCH(int, key);
        QFETCH(QString, field);
        MainWindowFixture f;
        TForm1 &form = f.create();
        TForm3 options(form, &form);
        options.editDevice(1);
        options.show();
        QVERIFY(QTest::qWaitForWindowExposed(&options));
        QApplication::setActiveWindow(&options);
        QTest::keyClick(&options, Qt::Key(key), Qt::AltModifier);
        QVERIFY(QApplication::focusWidget());
        QCOMPARE(QApplication::focusWidget()->objectName(), field);
        for (QPushButton *button : options.findChildren<QPushButton *>()) {
            if (button->isVisible())
                QVERIFY2(!mnemonic(button->text()).isNull(), qPrintable(button->text()));
        }
    }

    // The discovery window: each field by its label's letter, the filter by Ctrl+F, and
    // every button and label with a letter of its own.
    void discoveryWithoutAMouse()
    {
        MainWindowFixture f;
        DiscoveryDialog dialog([](const QString &) { return QString(); }, [](const QString &) {});
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QApplication::setActiveWindow(&dialog);
        QTest::keyClick(&dialog, Qt::Key_M, Qt::AltModifier);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(dialog.communityEdit()));
        QTest::keyClick(&dialog, Qt::Key_A, Qt::AltModifier);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(dialog.addressEdit()));
        QTest::keyClick(&dialog, Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(dialog.filterEdit()));
        QMap<QChar, QString> taken;
        for (QWidget *widget : dialog.findChildren<QWidget *>()) {
            QString text;
            if (auto *button = qobject_cast<QAbstractButton *>(widget))
                text = button->text();
            else if (auto *label = qobject_cast<QLabel *>(widget); label && label->buddy())
                text = label->text();
            if (text.isEmpty() || !widget->isVisible())
                continue;
            const QChar letter = mnemonic(text);
            QVERIFY2(!letter.isNull(), qPrintable(text));
            QVERIFY2(!taken.contains(letter), qPrintable(text + " and " + taken.value(letter)));
            taken.insert(letter, text);
        }
    }

    // Whole addresses in the Agents list; a window too narrow cuts them in the middle. Enter
    // edits the row without ending the dialog, Delete removes its profile.
    void agentsDialogShowsWholeAddressesAndTakesKeys()
    {
        MainWindowFixture f;
        const QString wide = QStringLiteral("[2001:db8:aaaa:bbbb:cccc:dddd:eeee:1234]:16161");
        AgentsDialog dialog({{QStringLiteral("127.0.0.1:16161"), "public"}, {wide, "public"}},
                            f.folder() + QStringLiteral("/agents.ini"));
        int edited = 0;
        dialog.setEditor([&](const AgentProfile &start) -> std::optional<AgentProfile> {
            ++edited;
            AgentProfile p = start;
            p.version = AgentProfile::Version::V2c;
            return p;
        });
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QTableWidget *table = dialog.table;
        const int needed = table->fontMetrics().horizontalAdvance(wide);
        QVERIFY2(table->columnWidth(0) >= needed,
                 qPrintable(QStringLiteral("%1 < %2").arg(table->columnWidth(0)).arg(needed)));
        QCOMPARE(table->textElideMode(), Qt::ElideMiddle);
        dialog.resize(260, dialog.height());
        QTRY_VERIFY(table->columnWidth(0) < needed);

        table->setFocus();
        table->setCurrentCell(1, 0);
        table->selectRow(1);
        QTest::keyClick(table, Qt::Key_Return);
        QCOMPARE(edited, 1);
        QVERIFY(dialog.isVisible()); // not ended by the default button
        QVERIFY(dialog.profiles().find(table->item(1, 0)->text()));
        const QString address = table->item(1, 0)->text();
        table->setCurrentCell(1, 0);
        table->selectRow(1);
        QTest::keyClick(table, Qt::Key_Delete);
        QVERIFY(!dialog.profiles().find(address));
    }
};

QTEST_MAIN(TestKeyboard)
#include "tst_keyboard.moc"
