#include "AlertFile.h"

#include "CsvField.h"
#include "FileOwnership.h"
#include "LogFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

const QByteArray Header = QByteArrayLiteral("time,state,condition,interface,address,ifindex,value");
// The most a load reads: MaxLines lines of the longest fields, with room to spare.
constexpr qint64 MaxReadBytes = 16 * 1024 * 1024;

QString reason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// A field as written: cut to MaxFieldChars, line ends made blanks, a text field under the
// spreadsheet rule, quoted where it needs it.
enum class Kind { Ours, Text };
QByteArray field(const QString &text, Kind kind = Kind::Ours)
{
    QString cut = text.left(AlertFile::MaxFieldChars);
    cut.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    if (kind == Kind::Text)
        cut = CsvField::spreadsheetText(cut);
    QByteArray bytes = cut.toUtf8();
    if (bytes.contains(',') || bytes.contains('"')) {
        bytes.replace("\"", "\"\"");
        bytes = '"' + bytes + '"';
    }
    return bytes;
}

QList<QByteArray> splitFields(const QByteArray &line)
{
    QList<QByteArray> fields;
    QByteArray current;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const char c = line.at(i);
        if (quoted) {
            if (c == '"' && i + 1 < line.size() && line.at(i + 1) == '"') {
                current += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                current += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            fields.append(current);
            current.clear();
        } else {
            current += c;
        }
    }
    fields.append(current);
    return fields;
}

// Creates the missing folders of path, each private to the user.
void makePrivateFolders(const QString &folder)
{
    if (QFileInfo(folder).isDir())
        return;
    const QString parent = QFileInfo(folder).absolutePath();
    if (parent != folder)
        makePrivateFolders(parent);
    ::mkdir(QFile::encodeName(folder).constData(), 0700);
}

// An open file must be a regular file of this user: no device, pipe or someone else's file.
// A regular file of this user; for the superuser also one it gave to the owner of its folder
// (see FileOwnership), so that root reads back and appends to what it left the user.
bool ownRegularFile(int fd, const QString &path, int *error)
{
    struct stat info {
    };
    if (::fstat(fd, &info) != 0) {
        *error = errno;
        return false;
    }
    if (!S_ISREG(info.st_mode) ||
        (info.st_uid != ::geteuid() && !FileOwnership::givenToFolderOwner(info.st_uid, path))) {
        *error = EPERM;
        return false;
    }
    return true;
}

bool writeAll(int fd, const QByteArray &bytes, int *error)
{
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n =
            ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            *error = n < 0 ? errno : ENOSPC;
            return false;
        }
        done += n;
    }
    return true;
}

// The file's bytes (its last MaxReadBytes when it is longer, from a line start).
bool readBounded(const QString &path, QByteArray *bytes, QString *error)
{
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) {
            bytes->clear();
            return true;
        }
        *error = QStringLiteral("Cannot read the alerts file \"%1\": %2").arg(path, reason(errno));
        return false;
    }
    int why = 0;
    if (!ownRegularFile(fd, path, &why)) {
        ::close(fd);
        *error = QStringLiteral("Cannot read the alerts file \"%1\": not a regular file of this "
                                "user")
                     .arg(path);
        return false;
    }
    QFile file;
    file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
    const qint64 size = file.size();
    const bool tail = size > MaxReadBytes;
    if (tail)
        file.seek(size - MaxReadBytes);
    *bytes = file.read(MaxReadBytes);
    if (tail) {
        const qsizetype at = bytes->indexOf('\n');
        *bytes = at < 0 ? QByteArray() : bytes->mid(at + 1);
    }
    return true;
}

QList<QByteArray> eventLines(const QByteArray &bytes)
{
    QList<QByteArray> lines = bytes.split('\n');
    lines.removeIf([](const QByteArray &line) { return line.isEmpty() || line == Header; });
    return lines;
}

} // namespace

AlertFile::AlertFile(const QString &path) : m_path(path) {}

QString AlertFile::defaultPath()
{
    return LogFolder::userFolder() + QStringLiteral("/alerts.csv");
}

QByteArray AlertFile::line(const AlertEvent &event)
{
    const QList<QByteArray> fields = {
        field(event.time.toOffsetFromUtc(event.time.offsetFromUtc()).toString(Qt::ISODate)),
        field(AlertText::state(event.state)),
        field(AlertText::condition(event.condition)),
        field(event.interfaceName, Kind::Text),
        field(event.address, Kind::Text),
        field(event.ifIndex, Kind::Text),
        field(event.value, Kind::Text)};
    return fields.join(',');
}

bool AlertFile::parse(const QByteArray &line, AlertEvent *event)
{
    const QList<QByteArray> fields = splitFields(line);
    if (fields.size() != 7)
        return false;
    AlertEvent parsed;
    parsed.time = QDateTime::fromString(QString::fromUtf8(fields[0]), Qt::ISODate);
    if (!parsed.time.isValid() ||
        !AlertText::parseState(QString::fromUtf8(fields[1]), &parsed.state) ||
        !AlertText::parseCondition(QString::fromUtf8(fields[2]), &parsed.condition))
        return false;
    parsed.interfaceName = CsvField::fromSpreadsheetText(QString::fromUtf8(fields[3]));
    parsed.address = CsvField::fromSpreadsheetText(QString::fromUtf8(fields[4]));
    parsed.ifIndex = CsvField::fromSpreadsheetText(QString::fromUtf8(fields[5]));
    parsed.value = CsvField::fromSpreadsheetText(QString::fromUtf8(fields[6]));
    *event = parsed;
    return true;
}

bool AlertFile::load(QList<AlertEvent> *events, qsizetype maxEvents, QString *error) const
{
    QByteArray bytes;
    if (!readBounded(m_path, &bytes, error))
        return false;
    const QList<QByteArray> lines = eventLines(bytes);
    events->clear();
    for (qsizetype i = lines.size() - 1; i >= 0 && events->size() < maxEvents; --i) {
        AlertEvent event;
        if (parse(lines[i], &event))
            events->append(event);
    }
    std::reverse(events->begin(), events->end());
    return true;
}

bool AlertFile::append(const QList<AlertEvent> &events, QString *error)
{
    if (events.isEmpty())
        return true;
    const auto failed = [&](int why) {
        *error = QStringLiteral("Cannot write the alerts file \"%1\": %2").arg(m_path, reason(why));
        return false;
    };
    if (m_lines < 0) {
        QByteArray bytes;
        if (!readBounded(m_path, &bytes, error))
            return false;
        m_lines = eventLines(bytes).size();
    }
    makePrivateFolders(QFileInfo(m_path).absolutePath());
    const FileOwnership::Owner owner = FileOwnership::forFile(m_path);
    const int fd =
        ::open(QFile::encodeName(m_path).constData(),
               O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0)
        return failed(errno);
    int why = 0;
    struct stat info {
    };
    if (!ownRegularFile(fd, m_path, &why) || ::fstat(fd, &info) != 0) {
        ::close(fd);
        return failed(why ? why : errno);
    }
    QByteArray bytes;
    if (info.st_size == 0) {
        // A new file: the superuser gives it to the owner of the folder it was made in.
        FileOwnership::apply(fd, owner);
        bytes = Header + '\n';
        m_lines = 0;
    }
    for (const AlertEvent &event : events)
        bytes += line(event) + '\n';
    const bool written = writeAll(fd, bytes, &why);
    if (!written && ::ftruncate(fd, info.st_size) != 0) {
        // The cut back failed too: the next count starts from the file again.
        m_lines = -1;
    }
    ::close(fd);
    if (!written)
        return failed(why);
    m_lines += events.size();
    return m_lines <= CutAtLines || cut(error);
}

bool AlertFile::cut(QString *error)
{
    QByteArray bytes;
    if (!readBounded(m_path, &bytes, error))
        return false;
    QList<QByteArray> lines = eventLines(bytes);
    if (lines.size() > MaxLines)
        lines = lines.mid(lines.size() - MaxLines);
    QByteArray text = Header + '\n';
    for (const QByteArray &line : lines)
        text += line + '\n';

    const FileOwnership::Owner owner = FileOwnership::forFile(m_path);
    const QByteArray target = QFile::encodeName(m_path);
    QByteArray temporary = target + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data()); // 0600, never an existing file
    int why = 0;
    if (fd < 0) {
        why = errno;
    } else {
        // The replacement keeps the owner and permissions of the file it replaces.
        const bool ok = writeAll(fd, text, &why) && (why = FileOwnership::apply(fd, owner)) == 0 &&
                        (::fsync(fd) == 0 || (why = errno, false));
        if (::close(fd) != 0 && ok)
            why = errno;
        // rename() replaces a link at the name, never the file it points to.
        if (why == 0 && ::rename(temporary.constData(), target.constData()) != 0)
            why = errno;
        if (why != 0)
            ::unlink(temporary.constData());
    }
    if (why != 0) {
        *error = QStringLiteral("Cannot cut the alerts file \"%1\": %2").arg(m_path, reason(why));
        m_lines = -1;
        return false;
    }
    m_lines = lines.size();
    return true;
}
