// Device file text: line splitting, field splitting and storing into the table and the list.
//
// Properties checked for any bytes:
// - every line is the text of its own bytes: splitting one line's bytes alone gives the same
//   text, so nothing of one line (such as an unfinished multi-byte character) reaches another;
// - the line count follows the CR LF / CR / LF rule and the line limit;
// - reading the bytes from a file gives the same lines as splitting them in memory;
// - the four fields and the description put back together give the line;
// - store() writes exactly these fields into rows 1.. and checked list entries.

#include "DeviceFile.h"
#include "FuzzCheck.h"
#include "InterfaceList.h"
#include "InterfaceTable.h"

#include <QDir>
#include <QFile>
#include <QTemporaryFile>

#include <algorithm>
#include <memory>
#include <vector>

namespace
{

// The bytes of each line by the CR LF, CR or LF rule, without the breaks.
std::vector<QByteArray> lineBytes(const QByteArray &bytes)
{
    std::vector<QByteArray> lines;
    const char *const begin = bytes.constData();
    const char *const end = begin + bytes.size();
    const char *at = begin;
    while (at != end) {
        const char *const stop =
            std::find_if(at, end, [](char c) { return c == '\r' || c == '\n'; });
        lines.push_back(QByteArray(at, stop - at));
        if (stop == end)
            break;
        at = stop + 1;
        if (*stop == '\r' && at != end && *at == '\n')
            ++at;
    }
    return lines;
}

void checkFields(const QString &line)
{
    const DeviceFile::Fields fields = DeviceFile::splitFields(line);
    const QString parts[] = {fields.ip, fields.interfaceIndex, fields.bandwidth, fields.community};
    const int semicolons = int(std::min<qsizetype>(line.count(QLatin1Char(';')), 4));
    QString joined;
    for (int i = 0; i < 4; ++i) {
        FUZZ_CHECK(!parts[i].contains(QLatin1Char(';')));
        if (i < semicolons)
            joined += parts[i] + QLatin1Char(';');
        else
            FUZZ_CHECK(parts[i].isEmpty());
    }
    joined += fields.description;
    FUZZ_CHECK_TEXT(joined == line, line);
}

void checkStore(const QStringList &lines)
{
    InterfaceTable table;
    InterfaceList list;
    const bool complete = DeviceFile::store(lines, table, list);
    const qsizetype stored = std::min<qsizetype>(lines.size(), DeviceFile::MaxInterfaces);
    FUZZ_CHECK(complete == (lines.size() <= DeviceFile::MaxInterfaces));
    FUZZ_CHECK(list.count() == stored);
    for (int p = 0; p < stored; ++p) {
        const int row = p + 1;
        const DeviceFile::Fields fields = DeviceFile::splitFields(lines.at(p));
        FUZZ_CHECK(table.cell(Col::Number, row) == QString::number(row));
        FUZZ_CHECK(table.cell(Col::IP, row) == fields.ip);
        FUZZ_CHECK(table.cell(Col::Interface, row) == fields.interfaceIndex);
        FUZZ_CHECK(table.cell(Col::Bandwidth, row) == fields.bandwidth);
        FUZZ_CHECK(table.cell(Col::Community, row) == fields.community);
        FUZZ_CHECK(table.cell(Col::Description, row) == fields.description);
        FUZZ_CHECK(list.text(p) == DeviceFile::listText(fields));
        FUZZ_CHECK(list.isChecked(p));
    }
    for (int row = int(stored) + 1; row < InterfaceTable::RowCount; ++row)
        FUZZ_CHECK(table.cell(Col::IP, row).isEmpty());
}

void checkFileRead(const QByteArray &bytes, const QStringList &expected, int maxLines)
{
    static std::unique_ptr<QTemporaryFile> file = [] {
        auto f = std::make_unique<QTemporaryFile>(QDir::tempPath() +
                                                  QStringLiteral("/fuzz_devicefile_XXXXXX"));
        FUZZ_CHECK(f->open());
        return f;
    }();
    FUZZ_CHECK(file->resize(0) && file->seek(0));
    FUZZ_CHECK(file->write(bytes) == bytes.size() && file->flush());
    FUZZ_CHECK(DeviceFile::readLines(file->fileName(), maxLines) == expected);
}

} // namespace

// Input: one control byte, then the file's bytes. The low bits of the control byte choose the
// line limit (the load's own limit of 21 most often). With bit 7 set, the next two bytes give
// a length n (little-endian): the first n bytes that follow are repeated until they pass the
// line-length cut, then the remaining bytes follow once. This makes over-long lines followed by
// more lines, and files longer than the reader's chunk size.
extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const unsigned char control = data[0];
    const int limits[] = {DeviceFile::MaxInterfaces + 1, 1, 2, DeviceFile::MaxInterfaces + 1};
    const int maxLines = limits[control & 3];
    QByteArray bytes = fuzzBytes(data + 1, size - 1);
    const bool large = (control & 0x80) != 0;
    if (large) {
        if (size < 4)
            return 0;
        const qsizetype length = qsizetype(data[1] | (data[2] << 8)) % qsizetype(size - 3) + 1;
        const QByteArray unit = fuzzBytes(data + 3, std::size_t(length));
        QByteArray built;
        built.reserve(DeviceFile::MaxLineBytes + qsizetype(size) + unit.size() + 8);
        while (built.size() <= DeviceFile::MaxLineBytes + 1)
            built += unit;
        built += fuzzBytes(data + 3 + length, size - 3 - std::size_t(length));
        bytes = built;
    }

    const QStringList lines = DeviceFile::splitLines(bytes, maxLines);
    const std::vector<QByteArray> expected = lineBytes(bytes);
    FUZZ_CHECK(lines.size() == std::min<qsizetype>(qsizetype(expected.size()), maxLines));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString &line = lines.at(i);
        FUZZ_CHECK(!line.contains(QLatin1Char('\r')) && !line.contains(QLatin1Char('\n')));
        FUZZ_CHECK(line.size() <= DeviceFile::MaxLineBytes);
        const QStringList alone = DeviceFile::splitLines(expected[std::size_t(i)], 1);
        FUZZ_CHECK_TEXT(alone.size() == (expected[std::size_t(i)].isEmpty() ? 0 : 1), line);
        FUZZ_CHECK_TEXT(alone.value(0) == line, line);
        if (!large)
            checkFields(line);
    }
    if (large)
        checkFileRead(bytes, lines, maxLines);
    else
        checkStore(DeviceFile::splitLines(bytes));
    return 0;
}
