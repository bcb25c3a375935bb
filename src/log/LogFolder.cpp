#include "LogFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

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
        const QFileInfo info(chosen);
        QDir().mkpath(info.absolutePath());
        QDir().mkdir(info.absoluteFilePath(),
                     QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    return chosen;
}

} // namespace LogFolder
