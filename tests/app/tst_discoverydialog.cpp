#include "AgentProfileFile.h"
#include "DeviceFile.h"
#include "DiscoveryDialog.h"
#include "GraphBoard.h"
#include "HistoryFeature.h"
#include "HistoryWindow.h"
#include "IfMibAgent.h"
#include "InterfaceTable.h"
#include "MainWindowFixture.h"
#include "MetricsScrape.h"
#include "PollRun.h"
#include "SecurityFields.h"
#include "SnmpAgent.h"
#include "TransLabel.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

class TestDiscoveryDialog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (!IfMibAgent::isAvailable())
            QSKIP("snmpd or perl is not installed");
    }

    // From the menu item to a loaded device file: discover, the pre-checked set, the limit of
    // 20, a bandwidth filled in, save through the shared chooser, and the load that follows.
    void discoverSaveAndLoad()
    {
        QList<IfMibAgent::Interface> list = IfMibAgent::synthetic(30);
        list[0].type = 24; // loopback, up: not pre-checked
        list[1].speed = 0; // up, speed unknown
        list[1].highSpeed = 0;
        IfMibAgent agent;
        agent.setInterfaces(list);
        agent.setSysName("edge-router");
        QVERIFY2(agent.start(), qPrintable(agent.errorString()));

        MainWindowFixture fixture;
        TForm1 &form = fixture.create();
        form.action("Discoverinterfaces1")->trigger();
        DiscoveryDialog *dialog = form.discoveryDialog();
        QVERIFY(dialog && dialog->isVisible());
        QVERIFY(!dialog->isModal());

        dialog->addressEdit()->setText(agent.host());
        QCOMPARE(dialog->communityEdit()->text(), QString("public"));
        QCOMPARE(dialog->versionBox()->currentText(), QString("auto"));
        QTest::mouseClick(dialog->discoverButton(), Qt::LeftButton);
        QVERIFY(dialog->isDiscovering());
        QVERIFY(dialog->cancelButton()->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!dialog->isDiscovering(), 30000);
        QVERIFY2(dialog->messageText().isEmpty(), qPrintable(dialog->messageText()));

        DiscoveryModel &model = dialog->model();
        QCOMPARE(model.rowCount(), 30);
        // Up and not loopback (every fourth is down): the seven 40G ports 6, 10, ..., 30
        // first, then the 1G ports 3, 5, ... up to 20; listed by index. Index 2, up with an
        // unknown speed, comes after them all.
        QList<quint32> expected;
        for (quint32 i = 3; i <= 30; ++i) {
            if ((i % 2 == 1 && i <= 27) || (i % 4 == 2))
                expected.append(i);
        }
        QCOMPARE(expected.size(), 20);
        QList<quint32> checked;
        for (const DiscoveredInterface &entry : model.checkedInterfaces())
            checked.append(entry.index);
        QCOMPARE(checked, expected);

        // The 21st is refused, and the dialog says why.
        QVERIFY(!model.setData(model.index(0, 0), Qt::Checked, Qt::CheckStateRole));
        QVERIFY(dialog->messageText().contains("At most 20"));
        // Room for index 2 instead of 27.
        QVERIFY(model.setData(model.index(26, 0), Qt::Unchecked, Qt::CheckStateRole));
        QVERIFY(model.setData(model.index(1, 0), Qt::Checked, Qt::CheckStateRole));

        // The filter narrows the list.
        dialog->filterEdit()->setText("GE-0/0/2");
        QCOMPARE(dialog->view()->model()->rowCount(), 11);
        dialog->filterEdit()->clear();

        // Index 2 has no speed: saving waits for it.
        QString chosen;
        form.setDeviceFileChooser([&] {
            chosen = fixture.folder() + "/edge.dev";
            return chosen;
        });
        QString asked;
        dialog->setLoadQuestion([&](const QString &path) {
            asked = path;
            return true;
        });
        dialog->save();
        QVERIFY(chosen.isEmpty());
        QVERIFY(dialog->messageText().contains("ge-0/0/2"));
        QVERIFY(model.setData(model.index(1, DiscoveryModel::SpeedColumn), "2048000"));
        QTest::mouseClick(dialog->saveButton(), Qt::LeftButton);
        QCOMPARE(asked, chosen);

        const QStringList lines = DeviceFile::readLines(chosen);
        QCOMPARE(lines.size(), 20);
        QCOMPARE(lines[0], agent.host() + ";2;2048000;public;ge-0/0/2 - uplink; rack 2");
        QCOMPARE(lines[1], agent.host() + ";3;1000000000;public;ge-0/0/3");
        // Loaded through the normal load.
        QCOMPARE(form.deviceFilePath(), chosen);
        QCOMPARE(form.interfaceList().count(), 20);
        QVERIFY(form.startButton()->isEnabled());
        QVERIFY(fixture.errors.isEmpty());
    }

    // The descriptions of a file loaded by the dialog's "Load it now?" reach everything that
    // shows an interface, as after File > Open: the table, the utilisation log, the metrics
    // label and the history list; a change of the shown quantity keeps them.
    void descriptionsAfterLoadingFromTheDialog_data()
    {
        QTest::addColumn<bool>("viewChange");
        QTest::newRow("discover, save, load, poll") << false;
        QTest::newRow("then View > Show utilization > Out") << true;
    }
    void descriptionsAfterLoadingFromTheDialog()
    {
        QFETCH(bool, viewChange);
        IfMibAgent agent;
        agent.setInterfaces(IfMibAgent::synthetic(3));
        QVERIFY2(agent.start(), qPrintable(agent.errorString()));
        MainWindowFixture fixture;
        TForm1 &form = fixture.create();
        form.CheckBoxUtilLog->setChecked(true);
        const quint16 port = MetricsScrape::freePort();
        QCOMPARE(form.setMetricsAddress(QStringLiteral("127.0.0.1:%1").arg(port)), QString());
        auto *history = new HistoryFeature(form, fixture.folder() + "/history");

        form.action("Discoverinterfaces1")->trigger();
        DiscoveryDialog *dialog = form.discoveryDialog();
        dialog->addressEdit()->setText(agent.host());
        QTest::mouseClick(dialog->discoverButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!dialog->isDiscovering(), 30000);
        const QString path = fixture.folder() + "/edge.dev";
        form.setDeviceFileChooser([path] { return path; });
        dialog->setLoadQuestion([](const QString &) { return true; });
        QTest::mouseClick(dialog->saveButton(), Qt::LeftButton);
        QCOMPARE(form.deviceFilePath(), path);
        QCOMPARE(form.interfaceList().count(), 3);
        if (viewChange)
            form.action("Out1")->trigger();

        QSignalSpy polled(&form.pollRun(), &PollRun::pollFinished);
        form.Button3Click();
        QVERIFY(polled.wait(10000));
        form.Button4Click();

        const QString description = QStringLiteral("ge-0/0/1 - uplink; rack 1");
        QCOMPARE(form.interfaceTable().cell(Col::Description, 1), description);
        QCOMPARE(form.board().slot(1).NameCaption->Caption(), description);
        const QStringList logs =
            QDir(fixture.folder()).entryList({QStringLiteral("*_utilisation.csv")});
        QCOMPARE(logs.size(), 1);
        QFile log(QDir(fixture.folder()).filePath(logs.first()));
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QString logged = QString::fromUtf8(log.readAll());
        QVERIFY2(logged.contains(description), qPrintable(logged));
        const QByteArray metrics = MetricsScrape::get(port);
        QVERIFY2(
            metrics.contains(QByteArray("ifIndex=\"1\",ifDescr=\"" + description.toUtf8() + '"')),
            metrics.constData());
        QVERIFY(!metrics.contains("ifDescr=\"\""));
        history->open(1);
        auto *list = history->window()->findChild<QComboBox *>();
        QVERIFY(list);
        QCOMPARE(list->itemText(0), description + " (" + agent.host() + ", ifIndex 1)");
        QVERIFY(fixture.errors.isEmpty());
    }

    // SNMP v3: the user's fields replace the community; a wrong passphrase is named and
    // saves nothing; the right one lists the interfaces, stores the settings as the agent's
    // profile (which the window takes up at once) and the saved lines carry no community.
    // Opened again, the dialog starts from the saved profile without showing its secrets.
    void discoverWithV3()
    {
        IfMibAgent agent;
        agent.setInterfaces(IfMibAgent::synthetic(5));
        QVERIFY2(agent.start(), qPrintable(agent.errorString()));
        MainWindowFixture fixture;
        TForm1 &form = fixture.create();
        form.action("Discoverinterfaces1")->trigger();
        DiscoveryDialog *dialog = form.discoveryDialog();
        dialog->addressEdit()->setText(agent.host());
        dialog->versionBox()->setCurrentText("3");
        SecurityFields *fields = dialog->securityFields();
        QVERIFY(fields->isVisible());
        QVERIFY(!dialog->communityEdit()->isVisible());
        QVERIFY(dialog->saveProfileBox()->isVisible() && dialog->saveProfileBox()->isChecked());

        dialog->discover();
        QVERIFY(!dialog->isDiscovering());
        QVERIFY(dialog->messageText().contains("Enter the user"));

        fields->user->setText(SnmpAgent::privUser());
        fields->authPassphrase->setText("not-the-passphrase");
        fields->privPassphrase->setText(SnmpAgent::privPassphrase());
        dialog->discover();
        QTRY_VERIFY_WITH_TIMEOUT(!dialog->isDiscovering(), 10000);
        QVERIFY2(dialog->messageText().contains("Wrong passphrase"),
                 qPrintable(dialog->messageText()));
        QVERIFY(!QFileInfo::exists(AgentProfileFile::defaultPath()));

        fields->authPassphrase->setText(SnmpAgent::authPassphrase());
        dialog->discover();
        QTRY_VERIFY_WITH_TIMEOUT(!dialog->isDiscovering(), 10000);
        QVERIFY2(dialog->messageText().contains("saved as the profile of " + agent.host()),
                 qPrintable(dialog->messageText()));
        QCOMPARE(dialog->model().rowCount(), 5);
        const auto polled = form.agentProfiles().v3Security(agent.host());
        QVERIFY(polled);
        QCOMPARE(polled->user, SnmpAgent::privUser());
        QCOMPARE(polled->authPassphrase, SnmpAgent::authPassphrase().toUtf8());

        const QString chosen = fixture.folder() + "/v3.dev";
        form.setDeviceFileChooser([&] { return chosen; });
        dialog->setLoadQuestion([](const QString &) { return false; });
        dialog->save();
        QCOMPARE(DeviceFile::readLines(chosen).value(0),
                 agent.host() + ";1;1000000000;;ge-0/0/1 - uplink; rack 1");
        QVERIFY(!dialog->messageText().contains(SnmpAgent::authPassphrase()));

        DiscoveryDialog again([](const QString &) { return QString(); }, [](const QString &) {});
        again.setAgentProfiles(AgentProfileFile::defaultPath(), {});
        again.addressEdit()->setText(agent.host());
        again.versionBox()->setCurrentText("3");
        QCOMPARE(again.securityFields()->user->text(), SnmpAgent::privUser());
        QCOMPARE(again.securityFields()->authPassphrase->text(), QString());
        QCOMPARE(again.securityFields()->authPassphrase->placeholderText(), QString("unchanged"));
        again.discover();
        QTRY_VERIFY_WITH_TIMEOUT(!again.isDiscovering(), 10000);
        QCOMPARE(again.model().rowCount(), 5);
        QVERIFY(fixture.errors.isEmpty());
    }

    // No answer: the dialog says so in words, and can be used again at once.
    void noAnswer()
    {
        IfMibAgent agent;
        QVERIFY2(agent.start(), qPrintable(agent.errorString()));
        MainWindowFixture fixture;
        TForm1 &form = fixture.create();
        form.action("Discoverinterfaces1")->trigger();
        DiscoveryDialog *dialog = form.discoveryDialog();
        dialog->discovery().walker().setTimeoutMs(200);
        dialog->addressEdit()->setText(agent.host());
        dialog->communityEdit()->setText("wrong");
        dialog->discover();
        QTRY_VERIFY_WITH_TIMEOUT(!dialog->isDiscovering(), 10000);
        QVERIFY(dialog->messageText().contains("No answer from " + agent.host()));
        QVERIFY(dialog->discoverButton()->isEnabled());
        QVERIFY(!dialog->saveButton()->isEnabled());

        // Cancel ends a walk at once; so does closing the dialog.
        dialog->discover();
        QVERIFY(dialog->isDiscovering());
        QTest::mouseClick(dialog->cancelButton(), Qt::LeftButton);
        QVERIFY(!dialog->isDiscovering());
        QVERIFY(dialog->discoverButton()->isEnabled());
        dialog->discover();
        dialog->reject();
        QVERIFY(!dialog->isDiscovering());

        dialog->communityEdit()->setText("a;b");
        dialog->discover();
        QVERIFY(!dialog->isDiscovering());
        QVERIFY(dialog->messageText().contains("semicolon"));

        // A group address is refused before any walk starts (nothing is sent).
        dialog->communityEdit()->setText("public");
        for (const QString group : {"224.0.0.1", "255.255.255.255", "[ff02::1]"}) {
            dialog->addressEdit()->setText(group);
            dialog->discover();
            QVERIFY(!dialog->isDiscovering());
            QVERIFY2(dialog->messageText().startsWith(group + " is ") &&
                         dialog->messageText().contains("not an agent's address"),
                     qPrintable(dialog->messageText()));
        }
    }
};

QTEST_MAIN(TestDiscoveryDialog)
#include "tst_discoverydialog.moc"
