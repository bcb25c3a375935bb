// The alerts in the main window: the Options page stores and restores the settings, Tools >
// "Alerts..." lists the alerts newest first with a filter, alert texts reach the status bar,
// and a click on a notification brings the window back.

#include "../alerts/AlertFixture.h"
#include "AlertsDialog.h"
#include "AlertsFeature.h"
#include "AlertsOptionsPage.h"
#include "MainWindowFixture.h"
#include "OptionsDialog.h"
#include "PrivateSessionBus.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>

using namespace AlertFixture;

class TestAlertsWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<PrivateSessionBus> m_bus;

    struct Window {
        MainWindowFixture fixture;
        QTemporaryDir data;
        TForm1 *form = nullptr;
        std::unique_ptr<TForm3> options;
        AlertsFeature *alerts = nullptr;

        Window(PrivateSessionBus &bus, const QString &connection)
        {
            form = &fixture.create();
            options = std::make_unique<TForm3>(*form, form);
            alerts = new AlertsFeature(*form, *options, data.filePath(QStringLiteral("alerts.csv")),
                                       bus.connect(connection));
        }
        ~Window() { options.reset(); }
    };

private Q_SLOTS:
    void initTestCase()
    {
        m_bus = std::make_unique<PrivateSessionBus>();
        QVERIFY(m_bus->isRunning());
    }
    void cleanup() { m_bus->disconnectAll(); }
    void cleanupTestCase() { m_bus.reset(); }

    void optionsPageStoresAndCancelRestores()
    {
        Window w(*m_bus, QStringLiteral("client"));
        QCOMPARE(w.options->pages()->count(), 2);
        QCOMPARE(w.options->pages()->tabText(1), QStringLiteral("Alerts"));
        AlertsOptionsPage &page = *w.alerts->page();
        QVERIFY(!page.alerts->isChecked()); // off by default
        QCOMPARE(w.fixture.stored(QStringLiteral("alerts")), QStringLiteral("no"));
        QCOMPARE(w.fixture.stored(QStringLiteral("alert polls")), QStringLiteral("3"));
        QVERIFY(!page.polls->isEnabled());

        page.alerts->setChecked(true);
        page.polls->setValue(5);
        page.down->setChecked(false);
        page.command->setText(QStringLiteral("/usr/local/bin/page-me --urgent"));
        w.options->Button1Click(); // OK
        QCOMPARE(w.fixture.stored(QStringLiteral("alerts")), QStringLiteral("yes"));
        QCOMPARE(w.fixture.stored(QStringLiteral("alert polls")), QStringLiteral("5"));
        QCOMPARE(w.fixture.stored(QStringLiteral("alert down")), QStringLiteral("no"));
        QCOMPARE(w.fixture.stored(QStringLiteral("alert command")),
                 QStringLiteral("/usr/local/bin/page-me --urgent"));
        QVERIFY(w.alerts->centre().enabled());
        QCOMPARE(w.alerts->centre().engine().rules().polls, 5);
        QVERIFY(!w.alerts->centre().engine().rules().down);

        page.alerts->setChecked(false);
        page.polls->setValue(9);
        w.options->Button2Click(); // Cancel
        QVERIFY(page.alerts->isChecked());
        QCOMPARE(page.polls->value(), 5);
        QCOMPARE(w.fixture.stored(QStringLiteral("alerts")), QStringLiteral("yes"));
        QVERIFY(w.fixture.errors.isEmpty());
    }

    void storedTextsAreMatchedExactly_data()
    {
        QTest::addColumn<QString>("alerts");
        QTest::addColumn<QString>("polls");
        QTest::addColumn<bool>("on");
        QTest::addColumn<int>("expectedPolls");
        QTest::newRow("yes, 20") << "yes"
                                 << "20" << true << 20;
        QTest::newRow("Yes is not yes") << "Yes"
                                        << "1" << false << 1;
        QTest::newRow("0 polls") << "yes"
                                 << "0" << true << 3;
        QTest::newRow("21 polls") << "yes"
                                  << "21" << true << 3;
        QTest::newRow("not a number") << "yes"
                                      << "3 polls" << true << 3;
    }

    void storedTextsAreMatchedExactly()
    {
        QFETCH(QString, alerts);
        QFETCH(QString, polls);
        QFETCH(bool, on);
        QFETCH(int, expectedPolls);
        MainWindowFixture f;
        f.store(QStringLiteral("alerts"), alerts);
        f.store(QStringLiteral("alert polls"), polls);
        SettingsStore store;
        const AlertSettings::Values values = AlertSettings::read(store);
        QCOMPARE(values.on, on);
        QCOMPARE(values.polls, expectedPolls);
        QCOMPARE(f.stored(QStringLiteral("alert polls")), polls); // read, never rewritten
    }

    void devicePanelStillCoversTheButtons()
    {
        Window w(*m_bus, QStringLiteral("client"));
        w.options->editDevice(1);
        QVERIFY(w.options->Button1->isHidden()); // Enter in a panel box cannot reach OK
        QVERIFY(w.options->pages()->isHidden());
        w.options->Button6Click();
        QVERIFY(!w.options->Button1->isHidden());
    }

    void alertListNewestFirstWithFilterAndStatusBar()
    {
        Window w(*m_bus, QStringLiteral("client"));
        AlertSettings::Values values;
        values.on = true;
        AlertRules rules;
        rules.polls = 1;
        w.alerts->centre().apply(values, rules);
        AlertCentre &centre = w.alerts->centre();
        centre.onPollFinished(poll(0, withStatus(good(10), 1, 1)));
        centre.onPollFinished(poll(1, withStatus(good(96), 1, 1)));
        centre.onPollFinished(poll(2, withStatus(good(10), 1, 2)));
        QCOMPARE(w.form->statusText(0),
                 QStringLiteral("Alert: Core uplink is down (admin up, oper down) "
                                "and 1 more, see Tools > Alerts..."));

        QAction *item = w.form->action(QStringLiteral("Alerts1"));
        QVERIFY(item);
        item->trigger();
        AlertsDialog *dialog = w.alerts->dialog();
        QVERIFY(dialog && dialog->isVisible());
        QList<QStringList> rows = dialog->shownRows();
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0].mid(1, 3),
                 (QStringList{"Core uplink (10.0.0.1 #3)", "Down", "admin up, oper down"}));
        QCOMPARE(rows[1].mid(2, 2), (QStringList{"Busy", "96 %"}));
        QVERIFY(!rows[1][4].isEmpty()); // busy cleared at the third poll
        QVERIFY(rows[0][4].isEmpty());

        dialog->filter()->setText(QStringLiteral("BUSY"));
        QCOMPARE(dialog->shownRows().size(), 1);
        // A new alert appears in the open list, under the filter.
        centre.onPollFinished(poll(3, withStatus(good(97), 1, 2)));
        QCOMPARE(dialog->shownRows().size(), 2);
        dialog->filter()->clear();
        QCOMPARE(dialog->shownRows().size(), 3);
    }

    void aClickOnTheNotificationRaisesTheWindow()
    {
        RecordingNotifications service;
        QVERIFY(service.publish(m_bus->connect(QStringLiteral("service"))));
        Window w(*m_bus, QStringLiteral("client"));
        AlertSettings::Values values;
        values.on = true;
        w.alerts->centre().apply(values, AlertRules{});
        w.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.form));
        w.form->showMinimized();
        QTRY_VERIFY(w.form->isMinimized());

        QSignalSpy delivered(&w.alerts->centre().notifier(), &DesktopNotifier::delivered);
        w.alerts->centre().onPollFinished(poll(0, reading(InterfaceReading::Outcome::Failed)));
        QVERIFY(delivered.wait(5000));
        QCOMPARE(service.calls.size(), 1);
        QCOMPARE(service.calls[0].summary, QStringLiteral("Core uplink is silent"));
        service.click(service.calls[0].id);
        QTRY_VERIFY_WITH_TIMEOUT(!w.form->isMinimized(), 5000);
        QVERIFY(w.form->isVisible());
    }
};

QTEST_MAIN(TestAlertsWindow)
#include "tst_alertswindow.moc"
