#include "DeviceFile.h"

#include "ErrorReport.h"
#include "InterfaceList.h"
#include "InterfaceTable.h"
#include "RegularFile.h"

#include <QFile>
#include <QFileInfo>

#include <cstring>

namespace DeviceFile
{
namespace
{

// Collects lines from a byte stream fed in chunks.
class LineSplitter
{
public:
    explicit LineSplitter(int maxLines) : m_maxLines(maxLines) {}

    bool full() const { return m_lines.size() >= m_maxLines; }

    void feed(const char *data, qsizetype size)
    {
        for (qsizetype i = 0; i < size && !full(); ++i) {
            const char c = data[i];
            if (m_pendingCr) {
                m_pendingCr = false;
                if (c == '\n')
                    continue; // the LF of a CR LF pair
            }
            if (c == '\r' || c == '\n') {
                endLine();
                m_pendingCr = (c == '\r');
            } else if (m_current.size() < MaxLineBytes) {
                m_current.append(c);
                m_open = true;
            } else {
                m_open = true;
                m_cut = true;
            }
        }
    }

    QStringList finish(QList<LineEncoding> *encodings)
    {
        if (m_open && !full())
            endLine();
        if (encodings)
            *encodings = m_encodings;
        return m_lines;
    }

private:
    // Each line is decoded on its own: an unfinished multi-byte character at the end of a
    // line (or at the length cut) becomes a replacement character there, and never swallows
    // the start of the next line.
    void endLine()
    {
        LineEncoding encoding = LineEncoding::System;
        m_lines.append(TextEncoding::decodeLine(m_current, &encoding, m_cut));
        m_encodings.append(encoding);
        m_current.clear();
        m_open = false;
        m_cut = false;
    }

    int m_maxLines;
    QStringList m_lines;
    QList<LineEncoding> m_encodings;
    QByteArray m_current;
    bool m_open = false;
    bool m_cut = false;
    bool m_pendingCr = false;
};

// Opens a device file for reading. Only a regular file will do: a device such as /dev/zero,
// a pipe or a folder would never end or never start, and would hang the load.
void openRegularFile(QFile &file, const QString &path)
{
    const RegularFile::Opened opened = RegularFile::openForReading(path, true);
    if (opened.notRegular)
        throw OstralineError(
            QStringLiteral("Cannot open file \"%1\". It is not a regular file.").arg(path));
#ifdef Q_OS_WIN
    if (!file.open(QIODevice::ReadOnly))
#else
    if (!opened.ok())
        throw OstralineError(QStringLiteral("Cannot open file \"%1\". %2")
                                 .arg(path, QString::fromLocal8Bit(std::strerror(opened.error))));
    if (!file.open(opened.fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
#endif
        throw OstralineError(
            QStringLiteral("Cannot open file \"%1\". %2").arg(path, file.errorString()));
}

QString takeField(QString &rest)
{
    const qsizetype at = rest.indexOf(QLatin1Char(';'));
    if (at < 0)
        return QString();
    QString field = rest.left(at);
    rest = rest.mid(at + 1);
    return field;
}

} // namespace

QStringList splitLines(const QByteArray &bytes, int maxLines, QList<LineEncoding> *encodings)
{
    LineSplitter splitter(maxLines);
    splitter.feed(bytes.constData(), bytes.size());
    return splitter.finish(encodings);
}

QStringList readLines(const QString &path, int maxLines, QList<LineEncoding> *encodings)
{
    QFile file(path);
    const auto fail = [&] {
        return OstralineError(
            QStringLiteral("Cannot open file \"%1\". %2").arg(path, file.errorString()));
    };
    openRegularFile(file, path);
    LineSplitter splitter(maxLines);
    char chunk[16 * 1024];
    // Whatever follows, no more is read than the lines wanted can hold.
    qint64 budget = qint64(maxLines) * (MaxLineBytes + 2);
    while (!splitter.full() && budget > 0) {
        const qint64 got = file.read(chunk, sizeof chunk);
        if (got < 0)
            throw fail();
        if (got == 0)
            break;
        splitter.feed(chunk, got);
        budget -= got;
    }
    return splitter.finish(encodings);
}

Fields splitFields(const QString &line)
{
    Fields fields;
    QString rest = line;
    fields.ip = takeField(rest);
    fields.interfaceIndex = takeField(rest);
    fields.bandwidth = takeField(rest);
    fields.community = takeField(rest);
    fields.description = rest;
    return fields;
}

QString listText(const Fields &fields)
{
    return fields.ip + QStringLiteral("; ") + fields.interfaceIndex + QStringLiteral("; ") +
           fields.description;
}

bool store(const QStringList &lines, InterfaceTable &table, InterfaceList &list,
           const QList<LineEncoding> &encodings)
{
    for (int row = int(std::min<qsizetype>(lines.size(), MaxInterfaces)) + 1;
         row <= InterfaceTable::InterfaceRows; ++row)
        table.setRowEncoding(row, LineEncoding::System);
    for (int i = 0; i < lines.size(); ++i) {
        if (i == MaxInterfaces)
            return false;
        const int row = i + 1;
        const Fields fields = splitFields(lines.at(i));
        table.setRowEncoding(row, i < encodings.size() ? encodings.at(i) : LineEncoding::System);
        table.setCell(Col::Number, row, QString::number(row));
        table.setCell(Col::IP, row, fields.ip);
        table.setCell(Col::Interface, row, fields.interfaceIndex);
        table.setCell(Col::Bandwidth, row, fields.bandwidth);
        table.setCell(Col::Community, row, fields.community);
        table.setCell(Col::Description, row, fields.description);
        list.append(listText(fields));
    }
    return true;
}

QString fileNamePart(const QString &path)
{
    qsizetype cut =
        std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    if (path.size() >= 2 && path.at(1) == QLatin1Char(':') && path.at(0).isLetter())
        cut = std::max<qsizetype>(cut, 1); // a drive colon, as in "D:routers.dev"
    return path.mid(cut + 1);
}

} // namespace DeviceFile
