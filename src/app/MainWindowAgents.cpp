// The main window's agent profiles: read from their own file, followed by the poll, edited in
// Tools > Agents...

#include "MainWindow.h"

#include "InterfaceList.h"
#include "InterfaceTable.h"

#include "AgentProfileFile.h"
#include "AgentProfileStore.h"
#include "AgentsDialog.h"
#include "CoreDumps.h"
#include "ErrorReport.h"
#include "PassphraseKeyring.h"

AgentProfileStore &TForm1::agentProfileStore()
{
    if (!m_profileStore) {
        m_profileStore = new AgentProfileStore(AgentProfileFile::defaultPath(), this);
        // A poll in flight keeps the security it was sent with; the next one follows the file.
        connect(m_profileStore, &AgentProfileStore::changed, this, [this] {
            *m_agentProfiles = m_profileStore->profiles();
            PassphraseKeyring::shared().fillIn(m_agentProfiles.get());
        });
    }
    return *m_profileStore;
}

void TForm1::reloadAgentProfiles()
{
    QString error;
    if (!agentProfileStore().load(&error))
        ErrorReport::show(error);
    *m_agentProfiles = agentProfileStore().profiles();
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
            keyring.fillIn(m_agentProfiles.get());
            CoreDumps::disable();
            if (keyring.pending().isEmpty() &&
                statusText(0).startsWith(QLatin1String("Reading the SNMP v3 passphrases")))
                setStatusText(0, QString());
        });
        connect(&keyring, &PassphraseKeyring::readFailed, follower,
                [this](const QString &, const QString &reason) { setStatusText(0, reason); });
    }
    const QStringList missing = keyring.fillIn(m_agentProfiles.get());
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
    auto *dialog = new AgentsDialog(communities, agentProfileStore(), this);
    dialog->setObjectName(QStringLiteral("AgentsDialog"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setModal(true);
    dialog->show();
}
