#include "AgentProfileFile.h"

#include "SettingsLocation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>

namespace AgentProfileFile
{

QString defaultPath()
{
    QString folder;
#ifdef Q_OS_WIN
    folder = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
#else
    folder = QFileInfo(SettingsLocation::open()->fileName()).absolutePath();
#endif
    return QDir(folder).filePath(QStringLiteral("OSL-agents.ini"));
}

bool load(const QString &path, AgentProfiles *profiles, QString *error)
{
    const QFileInfo info(path);
    if (info.isSymLink()) {
        *error = QStringLiteral("The agent profile file %1 is a link; it is not read.")
                     .arg(QDir::toNativeSeparators(path));
        return false;
    }
    if (!info.exists()) {
        *profiles = AgentProfiles();
        return true;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("The agent profile file %1 cannot be read: %2")
                     .arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    }
    int line = 0;
    const auto parsed = AgentProfiles::fromText(file.readAll(), &line);
    if (!parsed) {
        *error = QStringLiteral("The agent profile file %1 is not valid (line %2).")
                     .arg(QDir::toNativeSeparators(path))
                     .arg(line);
        return false;
    }
    *profiles = *parsed;
    return true;
}

bool save(const QString &path, const AgentProfiles &profiles, QString *error)
{
    if (QFileInfo(path).isSymLink()) {
        *error = QStringLiteral("The agent profile file %1 is a link; it is not written.")
                     .arg(QDir::toNativeSeparators(path));
        return false;
    }
    QDir().mkpath(QFileInfo(path).absolutePath());
    // A new file replaces the name when it is complete; the name is replaced, never
    // followed, so even a link put there meanwhile is not written through.
    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly) ||
        !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) ||
        file.write(profiles.toText()) < 0 || !file.commit()) {
        *error = QStringLiteral("The agent profile file %1 cannot be written: %2")
                     .arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    }
    return true;
}

} // namespace AgentProfileFile
