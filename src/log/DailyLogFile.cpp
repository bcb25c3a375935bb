#include "DailyLogFile.h"

#include "DeviceFile.h"
#include "ErrorReport.h"
#include "FileOwnership.h"
#include "LogFolder.h"
#include "LogRetention.h"
#include "TextEncoding.h"
#include "TimeStamp.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#else
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace DailyLogFile
{
namespace
{

const QByteArray LineEnd = QByteArrayLiteral("\r\n");

} // namespace

QByteArray encode(const QString &text)
{
    return TextEncoding::encode(text, LineEncoding::System);
}

namespace
{

[[noreturn]] void fail(const QString &action, const QString &path, const QString &reason)
{
    throw OstralineError(QStringLiteral("Cannot %1 log file \"%2\". %3").arg(action, path, reason));
}

#ifdef Q_OS_WIN

// Writes bytes with one call on a file opened without buffering, so that either the whole
// text reaches the file or the file is cut back to the size it had before.
void writeWhole(QFile &file, const QByteArray &bytes, const QString &path)
{
    const qint64 before = file.size();
    const qint64 written = file.write(bytes);
    if (written == bytes.size())
        return;
    const QString reason = written < 0 ? file.errorString()
                                       : QStringLiteral("Only %1 of %2 bytes were written. %3")
                                             .arg(written)
                                             .arg(bytes.size())
                                             .arg(file.errorString());
    if (written > 0)
        file.resize(before);
    file.close();
    fail(QStringLiteral("write"), path, reason);
}

void closeChecked(QFile &file, const QString &path)
{
    file.close();
    if (file.error() != QFileDevice::NoError)
        fail(QStringLiteral("close"), path, file.errorString());
}

Outcome writeFile(const LogEnvironment &environment, const QString &path,
                  const std::function<QByteArray()> &created,
                  const std::function<QByteArray()> &appended)
{
    QFile file(path);
    const bool exists = QFileInfo::exists(path);
    if (exists && isReadOnly(path)) {
        if (environment.status)
            environment.status(readOnlyMessage());
        return Outcome::ReadOnly;
    }
    if (!exists) {
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered))
            fail(QStringLiteral("create"), path, file.errorString());
        try {
            writeWhole(file, created(), path);
            closeChecked(file, path);
        } catch (...) {
            file.close();
            QFile::remove(path);
            throw;
        }
        return Outcome::Created;
    }
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        fail(QStringLiteral("open"), path, file.errorString());
    writeWhole(file, appended(), path);
    closeChecked(file, path);
    return Outcome::Appended;
}

#else

QString reasonOf(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Writes all bytes, going on after a partial write; on failure returns the system's error.
// A write that makes no progress without an error means the device is full.
int writeAll(const LogEnvironment &environment, int fd, const QByteArray &bytes)
{
    qint64 done = 0;
    while (done < bytes.size()) {
        const char *data = bytes.constData() + done;
        const qint64 size = bytes.size() - done;
        errno = 0;
        const qint64 written = environment.writeCall ? environment.writeCall(fd, data, size)
                                                     : qint64(::write(fd, data, size_t(size)));
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0)
            return errno ? errno : EIO;
        if (written == 0)
            return ENOSPC;
        done += written;
    }
    return 0;
}

bool sameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// An existing log must be a regular file of this user: never a link (to a shell start-up file,
// say), a device, a pipe or another user's file.
void checkExisting(const struct stat &info, const QString &path)
{
    if (S_ISLNK(info.st_mode))
        fail(QStringLiteral("open"), path,
             QStringLiteral("It is a symbolic link; logs are not written through links."));
    if (!S_ISREG(info.st_mode))
        fail(QStringLiteral("open"), path, QStringLiteral("It is not a regular file."));
    // The superuser's logs in a user's data folder are that user's (see FileOwnership).
    if (info.st_uid != ::geteuid() && !FileOwnership::givenToFolderOwner(info.st_uid, path))
        fail(QStringLiteral("open"), path, QStringLiteral("It belongs to another user."));
}

Outcome writeFile(const LogEnvironment &environment, const QString &path,
                  const std::function<QByteArray()> &created,
                  const std::function<QByteArray()> &appended)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat before;
    if (::lstat(name.constData(), &before) != 0) {
        if (errno != ENOENT) // the folder is missing, not a folder, or cannot be searched
            fail(QStringLiteral("create"), path, reasonOf(errno));

        // A folder without its owner's write permission is refused for everyone, the
        // superuser included, as a read-only log is.
        struct stat folder;
        const QByteArray folderName = QFile::encodeName(QFileInfo(path).absolutePath());
        if (::stat(folderName.constData(), &folder) == 0 && S_ISDIR(folder.st_mode) &&
            folder.st_uid == ::geteuid() && !(folder.st_mode & S_IWUSR))
            fail(QStringLiteral("create"), path, reasonOf(EACCES));

        // The header and the first data line go out together; a file that could not be
        // completed is removed, so the next call begins it again with its header.
        const FileOwnership::Owner owner = FileOwnership::forFile(path);
        const int fd =
            ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0)
            fail(QStringLiteral("create"), path, reasonOf(errno));
        int error = FileOwnership::apply(fd, owner);
        if (!error)
            error = writeAll(environment, fd, created());
        const char *action = "write";
        if (::close(fd) != 0 && !error) {
            error = errno;
            action = "close";
        }
        if (error) {
            ::unlink(name.constData());
            fail(QLatin1StringView(action), path, reasonOf(error));
        }
        return Outcome::Created;
    }

    checkExisting(before, path);
    if (!(before.st_mode & S_IWUSR)) {
        if (environment.status)
            environment.status(readOnlyMessage());
        return Outcome::ReadOnly;
    }

    // The name may have been replaced since it was looked at: the checks are repeated on the
    // open file, which O_NOFOLLOW keeps from being a link.
    const int fd =
        ::open(name.constData(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        fail(QStringLiteral("open"), path, reasonOf(errno));
    struct stat opened;
    if (::fstat(fd, &opened) != 0 || !sameFile(before, opened)) {
        ::close(fd);
        fail(QStringLiteral("open"), path,
             QStringLiteral("It was replaced while it was being opened."));
    }
    try {
        checkExisting(opened, path);
    } catch (...) {
        ::close(fd);
        throw;
    }

    int error = writeAll(environment, fd, appended());
    const char *action = "write";
    if (error && ::ftruncate(fd, opened.st_size) != 0) {
        // The partial line stays; the reason of the write is still the one reported.
    }
    if (::close(fd) != 0 && !error) {
        error = errno;
        action = "close";
    }
    if (error)
        fail(QLatin1StringView(action), path, reasonOf(error));
    return Outcome::Appended;
}

#endif

} // namespace

QString readOnlyMessage()
{
    return QStringLiteral("Log file is read only. Cannot write, aborted!");
}

QString filePath(const QString &programFolder, const QDate &date, const QString &deviceFilePath,
                 const QString &suffix)
{
    const QString day = QStringLiteral("%1%2%3")
                            .arg(date.year(), 4, 10, QLatin1Char('0'))
                            .arg(date.month(), 2, 10, QLatin1Char('0'))
                            .arg(date.day(), 2, 10, QLatin1Char('0'));
    const QString name = day + QLatin1Char('_') + DeviceFile::fileNamePart(deviceFilePath) + suffix;
    return programFolder.isEmpty() ? name : QDir(programFolder).filePath(name);
}

bool isReadOnly(const QString &path)
{
#ifdef Q_OS_WIN
    const DWORD attributes = GetFileAttributesW(
        reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(path).utf16()));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
#else
    return !QFileInfo(path).permissions().testFlag(QFileDevice::WriteOwner);
#endif
}

Outcome write(const LogEnvironment &environment, const QString &deviceFilePath,
              const QString &suffix, const LineBuilder &header, const LineBuilder &data)
{
    return writeBlocks(
        environment, deviceFilePath, suffix,
        [&](const QDateTime &now) -> QByteArray {
            return header(TimeStamp::format(now)) + LineEnd;
        },
        [&](const QDateTime &now) -> QByteArray { return data(TimeStamp::format(now)) + LineEnd; });
}

Outcome writeBlocks(const LogEnvironment &environment, const QString &deviceFilePath,
                    const QString &suffix, const BlockBuilder &header, const BlockBuilder &data)
{
    // One instant names the file and stamps every line of this call.
    const QDateTime now = environment.clock ? environment.clock() : QDateTime::currentDateTime();
    const QString folder = environment.programFolder.isEmpty() ? LogFolder::folderForWriting()
                                                               : environment.programFolder;
    const QString path = filePath(folder, now.date(), deviceFilePath, suffix);

    // Explicit return types: a string-builder expression returned as is would outlive the
    // temporaries it refers to.
    const Outcome outcome = writeFile(
        environment, path, [&]() -> QByteArray { return header(now) + data(now); },
        [&]() -> QByteArray { return data(now); });
    // The first write of a day creates its file: the time to let the oldest logs go.
    const std::optional<int> days = LogRetention::keepDays();
    if (outcome == Outcome::Created && days)
        LogRetention::sweep(folder, now.date(), *days);
    return outcome;
}

} // namespace DailyLogFile
