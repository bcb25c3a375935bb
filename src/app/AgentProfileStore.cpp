#include "AgentProfileStore.h"

#include "AgentProfileFile.h"
#include "CoreDumps.h"

namespace
{

// Passphrases in memory must not end up in a core file.
void guardSecrets(const AgentProfiles &profiles)
{
    for (const AgentProfile &profile : profiles.all()) {
        if (!profile.security.authPassphrase.isEmpty() ||
            !profile.security.privPassphrase.isEmpty()) {
            CoreDumps::disable();
            return;
        }
    }
}

} // namespace

AgentProfileStore::AgentProfileStore(const QString &path, QObject *parent)
    : QObject(parent), m_path(path)
{
}

bool AgentProfileStore::load(QString *error)
{
    AgentProfiles profiles;
    const bool ok = AgentProfileFile::load(m_path, &profiles, error);
    if (!ok)
        profiles = AgentProfiles();
    guardSecrets(profiles);
    if (profiles != m_profiles) {
        m_profiles = profiles;
        Q_EMIT changed();
    }
    return ok;
}

bool AgentProfileStore::change(const std::function<void(AgentProfiles &)> &change, QString *error)
{
    AgentProfiles profiles;
    if (!AgentProfileFile::load(m_path, &profiles, error))
        return false;
    change(profiles);
    if (!AgentProfileFile::save(m_path, profiles, error))
        return false;
    guardSecrets(profiles);
    m_profiles = profiles;
    Q_EMIT changed();
    return true;
}
