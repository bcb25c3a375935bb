#include "AgentProfileFile.h"
#include "AgentsDialog.h"
#include "ErrorReport.h"
#include "PrivateKeyring.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

// The Agents dialog against a keyring that answers but cannot store: a gnome-keyring-daemon of
// the test's own on a private session bus, without a login collection (only "session", no
// default to store into). OK names the keyring's reason once, the profile file keeps the
// passphrases, and the dialog says so, never that the keyring holds them.
class TestKeyringRefusal : public QObject
{
    Q_OBJECT

    PrivateKeyring m_keyring;
    QTemporaryDir m_dir;
    QStringList m_errors;

    static AgentProfile profile()
    {
        AgentProfile p;
        p.address = QStringLiteral("10.2.2.2");
        p.version = AgentProfile::Version::V3;
        p.security.user = QStringLiteral("monitor");
        p.security.level = SnmpSecurity::Level::AuthPriv;
        p.security.authPassphrase = "first-passphrase";
        p.security.privPassphrase = "second-passphrase";
        return p;
    }

private Q_SLOTS:
    void initTestCase()
    {
        const QString problem = m_keyring.start(false, false, false);
        if (problem.startsWith(QLatin1String("missing")))
            QSKIP(qPrintable(problem));
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        ErrorReport::setHandler([this](const QString &message) { m_errors << message; });
    }

    void okSaysWhereThePassphrasesAre()
    {
        const QString path = m_dir.filePath(QStringLiteral("OSL-agents.ini"));
        AgentsDialog dialog({}, path);
        dialog.setEditor([](const AgentProfile &) { return std::optional(profile()); });
        dialog.show();
        QVERIFY(dialog.storeLabel->text().startsWith("No SNMP v3 passphrases are stored."));
        dialog.addButton->click();
        QSignalSpy finished(&dialog, &QDialog::finished);
        dialog.buttons->button(QDialogButtonBox::Ok)->click();

        // The keyring answers with a refusal: the dialog stays and names it, once.
        QTRY_VERIFY_WITH_TIMEOUT(dialog.storeLabel->text().contains("did not store"), 30000);
        const QString said = dialog.storeLabel->text();
        QCOMPARE(said.count("did not store"), 1);
        QVERIFY2(said.contains("The passphrases of 10.2.2.2 are kept in " + path),
                 qPrintable(said));
        QVERIFY2(!said.contains("kept in the desktop's keyring"), qPrintable(said));
        QVERIFY(dialog.isVisible());
        QCOMPARE(finished.count(), 0);
        AgentProfiles inFile;
        QString error;
        QVERIFY(AgentProfileFile::load(path, &inFile, &error));
        QCOMPARE(inFile.find("10.2.2.2")->security.authPassphrase, QByteArray("first-passphrase"));

        // OK again closes without asking the keyring a second time.
        dialog.buttons->button(QDialogButtonBox::Ok)->click();
        QCOMPARE(finished.count(), 1);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));

        // Opened again: the file is where they are.
        AgentsDialog again({}, path);
        QVERIFY2(
            again.storeLabel->text().contains("The passphrases of 10.2.2.2 are kept in " + path),
            qPrintable(again.storeLabel->text()));
        QVERIFY(m_errors.isEmpty());
    }
};

QTEST_MAIN(TestKeyringRefusal)
#include "tst_keyringrefusal.moc"
