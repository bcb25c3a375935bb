#include "MainWindowFixture.h"

#include "AgentProfileFile.h"
#include "AgentProfileStore.h"
#include "AgentsDialog.h"
#include "SecurityFields.h"
#include "SnmpAgent.h"

#include <QAction>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

namespace
{

AgentProfile v3Profile(const QString &address, const QString &user, const QString &authPass)
{
    AgentProfile p;
    p.address = address;
    p.version = AgentProfile::Version::V3;
    p.security.user = user;
    p.security.authPassphrase = authPass.toUtf8();
    p.security.privPassphrase = SnmpAgent::privPassphrase().toUtf8();
    return p;
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
}

QStringList rowTexts(const QTableWidget *table, int row)
{
    QStringList texts;
    for (int c = 0; c < table->columnCount(); ++c)
        texts << (table->item(row, c) ? table->item(row, c)->text() : QString());
    return texts;
}

} // namespace

class TestAgentsDialog : public QObject
{
    Q_OBJECT

    std::unique_ptr<SnmpAgent> m_agent;

    // Runs Test on the first row and returns what the dialog says.
    static QString runTest(AgentsDialog &dialog)
    {
        dialog.table->selectRow(0);
        dialog.testButton->click();
        if (!QTest::qWaitFor([&] { return dialog.testButton->isEnabled(); }, 5000))
            return QStringLiteral("<no result>");
        return dialog.testResult->text();
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (!SnmpAgent::isAvailable())
            QSKIP("snmpd is not installed");
        m_agent = std::make_unique<SnmpAgent>();
        QVERIFY2(m_agent->start(), qPrintable(m_agent->errorString()));
    }

    // Add, test, edit (wrong passphrase, unknown user), remove; Cancel writes nothing.
    void addTestEditRemove()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("agents.ini");
        AgentProfiles other;
        other.set(v3Profile("192.0.2.7", "elsewhere", "some-passphrase"));
        QString error;
        QVERIFY(AgentProfileFile::save(path, other, &error));
        const QByteArray before = contents(path);

        AgentsDialog dialog({{m_agent->host(), QByteArray("public")}}, path);
        AgentProfile next;
        dialog.setEditor([&](const AgentProfile &start) {
            next.address = start.address;
            return std::optional<AgentProfile>(next);
        });
        dialog.show();
        // The device file's agent (no profile yet, sorted after the saved one) and the other.
        QCOMPARE(dialog.table->rowCount(), 2);
        QCOMPARE(rowTexts(dialog.table, 0), (QStringList{m_agent->host(), "no profile", ""}));
        QCOMPARE(rowTexts(dialog.table, 1), (QStringList{"192.0.2.7", "3", "elsewhere"}));
        // Test of an agent without a profile: v1 with the device file's community.
        QVERIFY(runTest(dialog).startsWith("The agent answered: up 0 days"));

        struct Case {
            QString user, authPass, message;
        };
        const QList<Case> cases = {
            {SnmpAgent::privUser(), SnmpAgent::authPassphrase(), "The agent answered: up"},
            {SnmpAgent::privUser(), "wrong-passphrase", "Wrong passphrase"},
            {"nobody-here", SnmpAgent::authPassphrase(), "Wrong user"},
        };
        for (const Case &c : cases) {
            next = v3Profile(QString(), c.user, c.authPass);
            dialog.table->selectRow(0);
            dialog.editButton->click();
            QCOMPARE(rowTexts(dialog.table, 0), (QStringList{m_agent->host(), "3", c.user}));
            const QString said = runTest(dialog);
            QVERIFY2(said.startsWith(c.message), qPrintable(said));
            QVERIFY(!said.contains(c.authPass));
        }
        dialog.table->selectRow(0);
        dialog.removeButton->click();
        QCOMPARE(rowTexts(dialog.table, 0), (QStringList{m_agent->host(), "no profile", ""}));

        dialog.buttons->button(QDialogButtonBox::Cancel)->click();
        QCOMPARE(contents(path), before);
    }

    // OK writes the file; the editor never shows a stored passphrase and keeps it unless a
    // new one is typed.
    void okSavesAndEditorHidesPassphrases()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("agents.ini");
        AgentsDialog dialog({}, path);
        QSignalSpy saved(&dialog, &AgentsDialog::saved);
        dialog.setEditor([&](const AgentProfile &) {
            AgentProfileEditor editor(v3Profile("10.1.1.1", "ops", "stored-passphrase"));
            if (editor.fields->authPassphrase->text() != QString() ||
                editor.fields->privPassphrase->text() != QString())
                return std::optional<AgentProfile>();
            editor.fields->level->setCurrentText("authNoPriv");
            editor.fields->privPassphrase->setText("typed-anew-1234");
            return std::optional<AgentProfile>(editor.profile());
        });
        dialog.addButton->click();
        QCOMPARE(rowTexts(dialog.table, 0), (QStringList{"10.1.1.1", "3", "ops"}));
        dialog.buttons->button(QDialogButtonBox::Ok)->click();
        QCOMPARE(saved.count(), 1);
        AgentProfiles loaded;
        QString error;
        QVERIFY(AgentProfileFile::load(path, &loaded, &error));
        const auto security = loaded.v3Security("10.1.1.1");
        QVERIFY(security);
        QCOMPARE(security->authPassphrase, QByteArray("stored-passphrase"));
        QCOMPARE(security->privPassphrase, QByteArray("typed-anew-1234"));
        QCOMPARE(security->level, SnmpSecurity::Level::AuthNoPriv);
    }

    // A profile saved through the store while Agents is open (as the modeless discovery
    // dialog does when its walk ends) survives Agents' OK; the dialog's own add, edit and
    // remove still apply.
    void okKeepsProfilesSavedMeanwhile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("agents.ini");
        AgentProfileStore store(path);
        QString error;
        QVERIFY(store.change(
            [](AgentProfiles &p) {
                p.set(v3Profile("10.0.0.1", "old", "first-passphrase"));
                p.set(v3Profile("10.0.0.2", "gone", "first-passphrase"));
            },
            &error));
        AgentsDialog dialog({}, store);
        dialog.setEditor([](const AgentProfile &start) {
            AgentProfile p = start;
            p.security.user = "edited";
            return std::optional<AgentProfile>(p);
        });
        dialog.table->selectRow(0); // 10.0.0.1
        dialog.editButton->click();
        dialog.table->selectRow(1); // 10.0.0.2
        dialog.removeButton->click();

        QSignalSpy changed(&store, &AgentProfileStore::changed);
        QVERIFY(store.change(
            [](AgentProfiles &p) { p.set(v3Profile("10.9.9.9", "found", "walk-passphrase")); },
            &error));
        dialog.buttons->button(QDialogButtonBox::Ok)->click();
        QCOMPARE(changed.count(), 2);

        AgentProfiles loaded;
        QVERIFY(AgentProfileFile::load(path, &loaded, &error));
        QVERIFY(loaded.find("10.9.9.9"));
        QCOMPARE(loaded.find("10.9.9.9")->security.user, QStringLiteral("found"));
        QVERIFY(loaded.find("10.0.0.1"));
        QCOMPARE(loaded.find("10.0.0.1")->security.user, QStringLiteral("edited"));
        QVERIFY(!loaded.find("10.0.0.2"));
        QCOMPARE(store.profiles(), loaded);
    }

    // Tools > Agents... opens the dialog on the window's profile file; OK makes the window
    // follow the new profiles.
    void menuItemOpensTheDialog()
    {
        MainWindowFixture f;
        TForm1 &w = f.create();
        auto *action = w.findChild<QAction *>(QStringLiteral("Agents1"));
        QVERIFY(action);
        QCOMPARE(action->text(), QStringLiteral("&Agents...")); // shown as "Agents..."
        action->trigger();
        auto *dialog = w.findChild<AgentsDialog *>(QStringLiteral("AgentsDialog"));
        QVERIFY(dialog);
        dialog->setEditor([](const AgentProfile &) {
            return std::optional<AgentProfile>(v3Profile("10.2.2.2", "ops", "a-passphrase"));
        });
        dialog->addButton->click();
        dialog->buttons->button(QDialogButtonBox::Ok)->click();
        QVERIFY(w.agentProfiles().v3Security("10.2.2.2"));
        QVERIFY(f.errors.isEmpty());
    }
};

QTEST_MAIN(TestAgentsDialog)
#include "tst_agentsdialog.moc"
