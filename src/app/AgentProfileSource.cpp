#include "AgentProfileSource.h"

#include "AgentProfile.h"
#include "AgentProfileFile.h"
#include "AgentProfileStore.h"
#include "CoreDumps.h"
#include "ErrorReport.h"
#include "MainWindow.h"
#include "PassphraseKeyring.h"

AgentProfileSource::AgentProfileSource(TForm1 &window)
    : m_window(window), m_profiles(std::make_unique<AgentProfiles>())
{
}

AgentProfileSource::~AgentProfileSource() = default;

AgentProfileStore &AgentProfileSource::store()
{
    if (!m_store) {
        m_store = new AgentProfileStore(AgentProfileFile::defaultPath(), &m_window);
        // A poll in flight keeps the security it was sent with; the next one follows the file.
        connect(m_store, &AgentProfileStore::changed, this, [this] {
            *m_profiles = m_store->profiles();
            PassphraseKeyring::shared().fillIn(m_profiles.get());
        });
    }
    return *m_store;
}

void AgentProfileSource::reload()
{
    QString error;
    if (!store().load(&error))
        ErrorReport::show(error);
    *m_profiles = store().profiles();
    followKeyring();
}

// Passphrases kept in the keyring are read without waiting; until they are, polls of those
// agents are failed readings, and the status bar says why.
void AgentProfileSource::followKeyring()
{
    PassphraseKeyring &keyring = PassphraseKeyring::shared();
    if (!m_followingKeyring) {
        m_followingKeyring = true;
        connect(&keyring, &PassphraseKeyring::passphrasesRead, this, [this, &keyring] {
            const bool complete = keyring.fillIn(m_profiles.get()).isEmpty();
            CoreDumps::disable();
            // The wait is over once nothing more is read; a failed try's message (with when
            // it is tried again) once no profile lacks its passphrases.
            const QString status = m_window.statusText(0);
            if ((keyring.pending().isEmpty() &&
                 status.startsWith(QLatin1String("Reading the SNMP v3 passphrases"))) ||
                (complete && status.startsWith(QLatin1String("The passphrases for "))))
                m_window.setStatusText(0, QString());
        });
        connect(
            &keyring, &PassphraseKeyring::readFailed, this,
            [this](const QString &, const QString &reason) { m_window.setStatusText(0, reason); });
    }
    const QStringList missing = keyring.fillIn(m_profiles.get());
    if (missing.isEmpty())
        return;
    keyring.read(missing);
    m_window.setStatusText(0,
                           QStringLiteral("Reading the SNMP v3 passphrases of %1 from the keyring; "
                                          "until then its readings fail.")
                               .arg(missing.join(QStringLiteral(", "))));
}
