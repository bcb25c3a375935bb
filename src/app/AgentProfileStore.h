#pragma once

#include "AgentProfile.h"

#include <QObject>
#include <QString>

#include <functional>

// The one place that reads and writes the agent profile file for the application: the poll,
// the Agents dialog, the discovery dialog and the command line go through it. A change is
// applied to the file as it stands on disk at that moment (read, change, write), so two
// windows that change different profiles never undo each other's work.
class AgentProfileStore : public QObject
{
    Q_OBJECT

public:
    // path: the profile file (AgentProfileFile::defaultPath() in the program).
    explicit AgentProfileStore(const QString &path, QObject *parent = nullptr);

    const QString &path() const { return m_path; }
    // The profiles as last read or written; empty before load() and after a failed load.
    const AgentProfiles &profiles() const { return m_profiles; }

    // Reads the file again. False with the reason in *error (no profiles then). Emits changed
    // when the profiles differ from the ones held before.
    bool load(QString *error);

    // Reads the file, applies change to what it holds and writes the result; then emits
    // changed. False with the reason in *error when the file cannot be read or written
    // (nothing written then).
    bool change(const std::function<void(AgentProfiles &)> &change, QString *error);

Q_SIGNALS:
    void changed();

private:
    QString m_path;
    AgentProfiles m_profiles;
};
