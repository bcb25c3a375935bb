// The main window's agent profiles: read from their own file, followed by the poll, edited in
// Tools > Agents...

#include "MainWindow.h"

#include "AgentProfileFile.h"
#include "AgentsDialog.h"
#include "CoreDumps.h"
#include "ErrorReport.h"
#include "PassphraseKeyring.h"

void TForm1::reloadAgentProfiles()
{
    AgentProfiles profiles;
    QString error;
    if (!AgentProfileFile::load(AgentProfileFile::defaultPath(), &profiles, &error)) {
        ErrorReport::show(error);
        profiles = AgentProfiles();
    }
    for (const AgentProfile &profile : profiles.all()) {
        if (!profile.security.authPassphrase.isEmpty() ||
            !profile.security.privPassphrase.isEmpty())
            CoreDumps::disable();
    }
    // A poll in flight keeps the security it was sent with; the next one follows the file.
    m_agentProfiles = profiles;
    followKeyring();
}

// Passphrases kept in the keyring are read without waiting; until they are, polls of those
// agents are failed readings, and the status bar says why.
void TForm1::followKeyring()
{
    PassphraseKeyring &keyring = PassphraseKeyring::shared();
    if (!findChild<QObject *>(QStringLiteral("keyringFollower"), Qt::FindDirectChildrenOnly)) {
        auto *follower = new QObject(this);
        follower->setObjectName(QStringLiteral("keyringFollower"));
        connect(&keyring, &PassphraseKeyring::passphrasesRead, follower, [this, &keyring] {
            keyring.fillIn(&m_agentProfiles);
            CoreDumps::disable();
            if (keyring.pending().isEmpty() &&
                statusText(0).startsWith(QLatin1String("Reading the SNMP v3 passphrases")))
                setStatusText(0, QString());
        });
        connect(&keyring, &PassphraseKeyring::readFailed, follower,
                [this](const QString &, const QString &reason) { setStatusText(0, reason); });
    }
    const QStringList missing = keyring.fillIn(&m_agentProfiles);
    if (missing.isEmpty())
        return;
    keyring.read(missing);
    setStatusText(0, QStringLiteral("Reading the SNMP v3 passphrases of %1 from the keyring; "
                                    "until then its readings fail.")
                         .arg(missing.join(QStringLiteral(", "))));
}

void TForm1::Agents1Click()
{
    // The device file's agents, each with the community of its first row.
    QMap<QString, QByteArray> communities;
    for (int p = 0; p < m_list.count(); ++p) {
        const QString &address = m_table.cell(Col::IP, p + 1);
        if (!address.isEmpty() && !communities.contains(address))
            communities.insert(address, m_table.cellBytes(Col::Community, p + 1));
    }
    auto *dialog = new AgentsDialog(communities, AgentProfileFile::defaultPath(), this);
    dialog->setObjectName(QStringLiteral("AgentsDialog"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &AgentsDialog::saved, this, [this] { reloadAgentProfiles(); });
    dialog->setModal(true);
    dialog->show();
}
