#include "DailyLogFile.h"

#include "DeviceFile.h"
#include "ErrorReport.h"
#include "TextEncoding.h"
#include "TimeStamp.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <qt_windows.h>
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
    // One instant names the file and stamps every line of this call.
    const QDateTime now = environment.clock ? environment.clock() : QDateTime::currentDateTime();
    const QString folder = environment.programFolder.isEmpty()
                               ? QCoreApplication::applicationDirPath()
                               : environment.programFolder;
    const QString path = filePath(folder, now.date(), deviceFilePath, suffix);
    const QString stamp = TimeStamp::format(now);

    QFile file(path);
    // A dangling link or other entry that QFileInfo cannot follow still blocks creation below,
    // which then reports the system's reason.
    const bool exists = QFileInfo::exists(path);
    if (exists && isReadOnly(path)) {
        if (environment.status)
            environment.status(readOnlyMessage());
        return Outcome::ReadOnly;
    }

    if (!exists) {
        // The header and the first data line go out in one write; a file that could not be
        // completed is removed, so the next call begins it again with its header.
        const QByteArray bytes = header(stamp) + LineEnd + data(stamp) + LineEnd;
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered))
            fail(QStringLiteral("create"), path, file.errorString());
        try {
            writeWhole(file, bytes, path);
            closeChecked(file, path);
        } catch (...) {
            file.close();
            QFile::remove(path);
            throw;
        }
        return Outcome::Created;
    }

    const QByteArray bytes = data(stamp) + LineEnd;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        fail(QStringLiteral("open"), path, file.errorString());
    writeWhole(file, bytes, path);
    closeChecked(file, path);
    return Outcome::Appended;
}

} // namespace DailyLogFile
