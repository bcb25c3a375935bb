#include "LogFolder.h"

#include "FileOwnership.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace LogFolder
{
namespace
{

struct Decision {
    bool made = false;
    QString folder;
};

Decision &decision()
{
    static Decision current;
    return current;
}

} // namespace

bool acceptsNewFiles(const QString &folder)
{
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return false;
#ifndef Q_OS_WIN
    // Only a folder of the running user: the superuser writes everywhere, but its logs do
    // not belong in a system folder (/usr/bin) or in somebody else's.
    struct stat info;
    if (::stat(QFile::encodeName(folder).constData(), &info) != 0 || info.st_uid != ::geteuid())
        return false;
#endif
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".osl-probe-XXXXXX")));
    return probe.open(); // removed again when the probe goes out of scope
}

QString userFolder()
{
    // The same place as QStandardPaths::AppLocalDataLocation for this organisation and
    // application, without depending on the names the running program has set.
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return QDir(base).filePath(QStringLiteral("Kelvane/OSL"));
}

QString choose(const QString &programFolder, const QString &userFolder,
               const std::function<bool(const QString &folder)> &canCreate)
{
    return canCreate(programFolder) ? programFolder : userFolder;
}

void decide()
{
    decide(QCoreApplication::applicationDirPath(), userFolder());
}

void decide(const QString &programFolder, const QString &userFolder)
{
    decision() = {true, choose(programFolder, userFolder)};
}

QString folder()
{
    if (!decision().made)
        decide();
    return decision().folder;
}

QString folderForWriting()
{
    const QString chosen = folder();
    if (!QFileInfo::exists(chosen)) {
        // Made as the user's own where the superuser makes it in their data folder.
        const QFileInfo info(chosen);
        FileOwnership::makePath(info.absolutePath());
        const FileOwnership::Owner owner = FileOwnership::forFile(info.absoluteFilePath());
        if (QDir().mkdir(info.absoluteFilePath(),
                         QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner))
            FileOwnership::applyTo(info.absoluteFilePath(), owner);
    }
    return chosen;
}

} // namespace LogFolder
