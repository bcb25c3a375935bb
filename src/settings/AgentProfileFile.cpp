#include "AgentProfileFile.h"

#include "FileOwnership.h"
#include "RegularFile.h"
#include "SettingsLocation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>

#include <cstring>

#ifndef Q_OS_WIN
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>
#endif

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
    const QString shown = QDir::toNativeSeparators(path);
    const QFileInfo info(path);
    if (info.isSymLink()) {
        *error = QStringLiteral("The agent profile file %1 is a link; it is not read.").arg(shown);
        return false;
    }
    if (!info.exists()) {
        *profiles = AgentProfiles();
        return true;
    }
    QFile file(path);
#ifdef Q_OS_WIN
    if (!info.isFile()) {
        *error = QStringLiteral("The agent profile file %1 is not a regular file; it is not read.")
                     .arg(shown);
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("The agent profile file %1 cannot be read: %2")
                     .arg(shown, file.errorString());
        return false;
    }
#else
    const RegularFile::Opened opened = RegularFile::openForReading(path, false);
    if (opened.notRegular) {
        *error = QStringLiteral("The agent profile file %1 is not a regular file; it is not read.")
                     .arg(shown);
        return false;
    }
    if (!opened.ok()) {
        if (opened.error == ENOENT) { // gone since the look above
            *profiles = AgentProfiles();
            return true;
        }
        *error = QStringLiteral("The agent profile file %1 cannot be read: %2")
                     .arg(shown, QString::fromLocal8Bit(std::strerror(opened.error)));
        return false;
    }
    if (!file.open(opened.fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(opened.fd);
        *error = QStringLiteral("The agent profile file %1 cannot be read: %2")
                     .arg(shown, file.errorString());
        return false;
    }
    // It holds passphrases: a file another user owns or may write could have been read or
    // changed, so its profiles are not used.
    const QString mode = QStringLiteral("%1").arg(opened.mode, 4, 8, QLatin1Char('0'));
    // The superuser in a user's folder reads that user's file (see FileOwnership).
    if (opened.ownerId != ::geteuid() && !FileOwnership::givenToFolderOwner(opened.ownerId, path)) {
        *error = QStringLiteral("The agent profile file %1 belongs to another user (mode %2); it "
                                "is not read: its passphrases may have been read or changed.")
                     .arg(shown, mode);
        return false;
    }
    if (opened.mode & (S_IWGRP | S_IWOTH)) {
        *error = QStringLiteral("The agent profile file %1 may be written by other users (mode "
                                "%2); it is not read: its passphrases may have been read or "
                                "changed.")
                     .arg(shown, mode);
        return false;
    }
#endif
    // Read one byte beyond the limit, so a file that grew after the look is caught too.
    const QByteArray text = file.read(MaxBytes + 1);
    if (text.size() > MaxBytes) {
        *error = QStringLiteral("The agent profile file %1 is larger than %2 bytes; it is not "
                                "read.")
                     .arg(shown)
                     .arg(MaxBytes);
        return false;
    }
    int line = 0;
    const auto parsed = AgentProfiles::fromText(text, &line);
    if (!parsed) {
        *error = QStringLiteral("The agent profile file %1 is not valid (line %2).")
                     .arg(shown)
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
    if (const RegularFile::Target target = RegularFile::replaceTarget(path);
        target == RegularFile::Target::Folder || target == RegularFile::Target::Other) {
        *error = QStringLiteral("The agent profile file %1 is not a regular file; it is not "
                                "written.")
                     .arg(QDir::toNativeSeparators(path));
        return false;
    }
    FileOwnership::makePath(QFileInfo(path).absolutePath());
    // The superuser writes another user's file as that user's; it stays readable by its
    // owner only.
    FileOwnership::Owner owner = FileOwnership::forFile(path);
    owner.mode = 0;
    // A new file replaces the name when it is complete; the name is replaced, never
    // followed, so even a link put there meanwhile is not written through.
    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly) ||
        !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        *error = QStringLiteral("The agent profile file %1 cannot be written: %2")
                     .arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    }
    if (const int failure = FileOwnership::apply(file.handle(), owner)) {
        file.cancelWriting();
        *error = QStringLiteral("The agent profile file %1 cannot be given back to its owner: %2")
                     .arg(QDir::toNativeSeparators(path),
                          QString::fromLocal8Bit(std::strerror(failure)));
        return false;
    }
    if (file.write(profiles.toText()) < 0 || !file.commit()) {
        *error = QStringLiteral("The agent profile file %1 cannot be written: %2")
                     .arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    }
    return true;
}

} // namespace AgentProfileFile
