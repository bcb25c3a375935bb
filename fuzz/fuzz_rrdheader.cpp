// The check of a history file's header before librrd is handed the file.
//
// Properties checked:
// - any bytes with any file size are checked without a crash or undefined behaviour;
// - a header that is accepted together with all of its file (a whole small file) is one that
//   librrd reads, fetches from and updates without a crash.

#include "FuzzCheck.h"
#include "RrdHeader.h"

#include <QByteArray>

#include <rrd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace
{

// A scratch file for the accepted whole files, made once per run.
const char *scratchPath()
{
    static char path[] = "/tmp/fuzz_rrdheader-XXXXXX";
    static const bool made = [] {
        const int fd = ::mkstemp(path);
        if (fd >= 0)
            ::close(fd);
        std::atexit([] { ::unlink(path); });
        return fd >= 0;
    }();
    return made ? path : nullptr;
}

void exerciseLibrrd(const QByteArray &file, std::int64_t lastUpdate)
{
    const char *path = scratchPath();
    if (!path)
        return;
    std::FILE *out = std::fopen(path, "wb");
    if (!out)
        return;
    const bool written =
        std::fwrite(file.constData(), 1, std::size_t(file.size()), out) == std::size_t(file.size());
    if (std::fclose(out) != 0 || !written)
        return;
    if (rrd_info_t *info = rrd_info_r(path))
        rrd_info_free(info);
    time_t start = static_cast<time_t>(lastUpdate) - 3600, end = static_cast<time_t>(lastUpdate);
    unsigned long step = 1, sources = 0;
    char **names = nullptr;
    rrd_value_t *data = nullptr;
    if (rrd_fetch_r(path, "AVERAGE", &start, &end, &step, &sources, &names, &data) == 0) {
        for (unsigned long i = 0; i < sources; ++i)
            rrd_freemem(names[i]);
        rrd_freemem(names);
        rrd_freemem(data);
    }
    const QByteArray update = QByteArray::number(qint64(lastUpdate) + 7) + ":1:2:3:4:5:6:7:0";
    const char *argv[] = {update.constData()};
    rrd_update_r(path, nullptr, 1, argv);
    rrd_clear_error();
}

} // namespace

// Input: the file size (8 bytes, little-endian), then the file's leading bytes.
extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, std::size_t size)
{
    if (size < 8)
        return 0;
    std::uint64_t fileSize = 0;
    std::memcpy(&fileSize, data, sizeof fileSize);
    const QByteArray head = fuzzBytes(data + 8, size - 8);
    RrdHeader::Summary summary;
    const QString reason = RrdHeader::check(head, static_cast<std::int64_t>(fileSize), &summary);
    if (!reason.isEmpty())
        return 0;
    FUZZ_CHECK_TEXT(summary.step > 0, QStringLiteral("accepted with a step of 0"));
    if (fileSize == std::uint64_t(head.size()))
        exerciseLibrrd(head, summary.lastUpdate);
    return 0;
}
