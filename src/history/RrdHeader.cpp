#include "RrdHeader.h"

#include "RrdLayout.h"

#include <QFile>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// librrd's own structures, only to hold the offsets below to them.
#define RRD_EXPORT_DEPRECATED
#include <rrd.h>

#include <cstddef>

namespace RrdHeader
{
namespace
{

// librrd's on-disk layout on x86_64: its structures written as they are in memory.
constexpr std::size_t StatHeadSize = 128; // cookie[4], version[5], float cookie at 16,
constexpr std::size_t FloatCookieAt = 16; // then ds_cnt, rra_cnt, pdp_step, par[10]
constexpr std::size_t DsCountAt = 24;
constexpr std::size_t RraCountAt = 32;
constexpr std::size_t StepAt = 40;
constexpr std::size_t DsDefSize = 120; // ds_nam[20], dst[20], par[10]
constexpr std::size_t NameSize = 20;
constexpr std::size_t DsTypeAt = 20;
constexpr std::size_t HeartbeatAt = 40;
constexpr std::size_t RraDefSize = 120; // cf_nam[20], row_cnt, pdp_cnt, par[10]
constexpr std::size_t RowCountAt = 24;
constexpr std::size_t PdpCountAt = 32;
constexpr std::size_t XffAt = 40;
constexpr std::size_t LiveHeadSize = 16; // last_up, last_up_usec
constexpr std::size_t PdpPrepSize = 112; // last_ds[30], scratch[10]
constexpr std::size_t LastDsSize = 30;   // the last reading's text
constexpr std::size_t CdpPrepSize = 80;  // scratch[10]
constexpr std::size_t RraPtrSize = 8;    // cur_row
constexpr std::size_t ValueSize = 8;     // one double per data source and row

#if defined(__x86_64__)
static_assert(sizeof(stat_head_t) == StatHeadSize &&
              offsetof(stat_head_t, float_cookie) == FloatCookieAt &&
              offsetof(stat_head_t, ds_cnt) == DsCountAt &&
              offsetof(stat_head_t, rra_cnt) == RraCountAt &&
              offsetof(stat_head_t, pdp_step) == StepAt);
static_assert(sizeof(ds_def_t) == DsDefSize && offsetof(ds_def_t, dst) == DsTypeAt &&
              offsetof(ds_def_t, par) == HeartbeatAt && sizeof(ds_def_t::ds_nam) == NameSize);
static_assert(sizeof(rra_def_t) == RraDefSize && offsetof(rra_def_t, row_cnt) == RowCountAt &&
              offsetof(rra_def_t, pdp_cnt) == PdpCountAt && offsetof(rra_def_t, par) == XffAt);
static_assert(sizeof(live_head_t) == LiveHeadSize && sizeof(pdp_prep_t) == PdpPrepSize &&
              sizeof(cdp_prep_t) == CdpPrepSize && sizeof(rra_ptr_t) == RraPtrSize &&
              LAST_DS_LEN == LastDsSize && sizeof(rrd_value_t) == ValueSize);
#endif

// Bounds well beyond what this program writes (at most 8 archives, a step of 60 s, a year of
// hours) and well inside what librrd's time arithmetic survives.
constexpr std::uint64_t MaxArchives = 64;
constexpr std::uint64_t MaxStep = 86400;
constexpr std::uint64_t MaxRows = 100'000'000;
constexpr std::uint64_t MaxArchiveSeconds = std::uint64_t(1) << 40; // rows * pdp_cnt * step
constexpr std::int64_t MaxTime = std::int64_t(1) << 40;             // about the year 36812
constexpr std::int64_t MaxFileSize = std::int64_t(1) << 32;

class Reader
{
public:
    explicit Reader(QByteArrayView bytes) : m_bytes(bytes) {}
    bool has(std::size_t at, std::size_t size) const
    {
        return at <= std::size_t(m_bytes.size()) && size <= std::size_t(m_bytes.size()) - at;
    }
    template <typename T> T number(std::size_t at) const
    {
        T value{};
        std::memcpy(&value, m_bytes.data() + at, sizeof value);
        return value;
    }
    // The NUL-terminated text in a field of `size` bytes; null when it has no NUL.
    QByteArrayView text(std::size_t at, std::size_t size) const
    {
        const char *begin = m_bytes.data() + at;
        const void *end = std::memchr(begin, '\0', size);
        return end ? QByteArrayView(begin, static_cast<const char *>(end) - begin)
                   : QByteArrayView();
    }

private:
    QByteArrayView m_bytes;
};

// The length of the header that the fixed head `stat` describes (at most MaxHeadBytes).
qsizetype headerBytes(QByteArrayView stat)
{
    const Reader r(stat);
    const auto dsCount = r.number<std::uint64_t>(DsCountAt);
    const auto rraCount = r.number<std::uint64_t>(RraCountAt);
    if (dsCount > RrdLayout::DataSources.size() || rraCount > MaxArchives)
        return qsizetype(StatHeadSize); // refused on the head alone
    return qsizetype(StatHeadSize + dsCount * (DsDefSize + PdpPrepSize) +
                     rraCount * (RraDefSize + dsCount * CdpPrepSize + RraPtrSize) + LiveHeadSize);
}

QString tooShort()
{
    return QStringLiteral("the file ends inside its header");
}

} // namespace

QString check(QByteArrayView head, std::int64_t fileSize, Summary *summary)
{
    const Reader r(head);
    if (!r.has(0, StatHeadSize))
        return tooShort();
    if (r.text(0, 4) != "RRD")
        return QStringLiteral("it is not an RRD file");
    const QByteArrayView version = r.text(4, 5);
    if (version != "0003" && version != "0004" && version != "0005")
        return QStringLiteral("its format version is not one this program reads");
    if (r.number<double>(FloatCookieAt) != FLOAT_COOKIE)
        return QStringLiteral("it was written on another kind of machine");
    const auto dsCount = r.number<std::uint64_t>(DsCountAt);
    const auto rraCount = r.number<std::uint64_t>(RraCountAt);
    const auto step = r.number<std::uint64_t>(StepAt);
    if (dsCount != RrdLayout::DataSources.size())
        return QStringLiteral("it holds %1 data sources, not %2")
            .arg(dsCount)
            .arg(RrdLayout::DataSources.size());
    if (rraCount == 0 || rraCount > MaxArchives)
        return QStringLiteral("its archive count %1 is out of range").arg(rraCount);
    if (step == 0 || step > MaxStep)
        return QStringLiteral("its step of %1 s is out of range").arg(step);

    const std::size_t dsAt = StatHeadSize;
    const std::size_t rraAt = dsAt + dsCount * DsDefSize;
    const std::size_t liveAt = rraAt + rraCount * RraDefSize;
    const std::size_t pdpAt = liveAt + LiveHeadSize;
    const std::size_t cdpAt = pdpAt + dsCount * PdpPrepSize;
    const std::size_t ptrAt = cdpAt + rraCount * dsCount * CdpPrepSize;
    const std::size_t headerSize = ptrAt + rraCount * RraPtrSize;
    if (!r.has(0, headerSize))
        return tooShort();

    for (std::size_t i = 0; i < dsCount; ++i) {
        const std::size_t at = dsAt + i * DsDefSize;
        if (r.text(at, NameSize) != RrdLayout::DataSources[i])
            return QStringLiteral("its data source %1 is not \"%2\"")
                .arg(i + 1)
                .arg(QLatin1StringView(RrdLayout::DataSources[i]));
        if (r.text(at + DsTypeAt, NameSize) != "GAUGE")
            return QStringLiteral("its data source \"%1\" is not a GAUGE")
                .arg(QLatin1StringView(RrdLayout::DataSources[i]));
        const auto heartbeat = r.number<std::uint64_t>(at + HeartbeatAt);
        if (heartbeat == 0 || heartbeat > MaxArchiveSeconds)
            return QStringLiteral("the heartbeat of \"%1\" is out of range")
                .arg(QLatin1StringView(RrdLayout::DataSources[i]));
    }

    std::uint64_t rows = 0;
    for (std::size_t i = 0; i < rraCount; ++i) {
        const std::size_t at = rraAt + i * RraDefSize;
        const QByteArrayView function = r.text(at, NameSize);
        if (function != "AVERAGE" && function != "MIN" && function != "MAX" && function != "LAST")
            return QStringLiteral("archive %1 has no plain consolidation function").arg(i + 1);
        const auto rowCount = r.number<std::uint64_t>(at + RowCountAt);
        const auto pdpCount = r.number<std::uint64_t>(at + PdpCountAt);
        const double xff = r.number<double>(at + XffAt);
        if (rowCount == 0 || rowCount > MaxRows)
            return QStringLiteral("archive %1 has %2 rows").arg(i + 1).arg(rowCount);
        if (pdpCount == 0 || pdpCount > MaxArchiveSeconds / step ||
            rowCount > MaxArchiveSeconds / step / pdpCount)
            return QStringLiteral("archive %1 has a resolution out of range").arg(i + 1);
        if (!(xff >= 0 && xff < 1))
            return QStringLiteral("archive %1 has an unknown-share limit out of range").arg(i + 1);
        const auto currentRow = r.number<std::uint64_t>(ptrAt + i * RraPtrSize);
        if (currentRow >= rowCount)
            return QStringLiteral("archive %1 points past its rows").arg(i + 1);
        rows += rowCount;
    }

    const auto lastUpdate = r.number<std::int64_t>(liveAt);
    const auto lastMicroseconds = r.number<std::int64_t>(liveAt + 8);
    if (lastUpdate < 0 || lastUpdate > MaxTime || lastMicroseconds < 0 ||
        lastMicroseconds > 999'999)
        return QStringLiteral("its time of the last update is out of range");
    for (std::size_t i = 0; i < dsCount; ++i) {
        if (r.text(pdpAt + i * PdpPrepSize, LastDsSize).isNull())
            return QStringLiteral("the last reading of \"%1\" is not a text")
                .arg(QLatin1StringView(RrdLayout::DataSources[i]));
    }

    const std::int64_t expected =
        static_cast<std::int64_t>(headerSize + rows * dsCount * ValueSize);
    if (fileSize != expected || fileSize > MaxFileSize)
        return QStringLiteral("it is %1 bytes long where its header describes %2")
            .arg(fileSize)
            .arg(expected);
    if (summary) {
        summary->step = step;
        summary->heartbeat =
            static_cast<unsigned long>(r.number<std::uint64_t>(dsAt + HeartbeatAt));
        summary->lastUpdate = lastUpdate;
    }
    return QString();
}

std::int64_t fileSizeFor(int pollIntervalSeconds)
{
    const QList<RrdLayout::Archive> archives =
        RrdLayout::archivesFor(RrdLayout::stepFor(pollIntervalSeconds));
    const std::size_t dsCount = RrdLayout::DataSources.size();
    const std::size_t rraCount = 2 * std::size_t(archives.size()); // AVERAGE and MAX
    std::size_t rows = 0;
    for (const RrdLayout::Archive &archive : archives)
        rows += 2 * archive.rows;
    return static_cast<std::int64_t>(StatHeadSize + dsCount * DsDefSize + rraCount * RraDefSize +
                                     LiveHeadSize + dsCount * PdpPrepSize +
                                     rraCount * dsCount * CdpPrepSize + rraCount * RraPtrSize +
                                     rows * dsCount * ValueSize);
}

Verdict checkFile(const QString &path, QString *reason, Summary *summary)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        *reason = QString::fromLocal8Bit(std::strerror(errno));
        return Verdict::Unreadable;
    }
    struct stat info {
    };
    QByteArray head(qsizetype(StatHeadSize), Qt::Uninitialized);
    qsizetype got = 0;
    int error = 0;
    // Reads up to `want` bytes in all; false on an error (in `error`).
    const auto readUpTo = [&](qsizetype want) {
        while (got < want) {
            const ssize_t n = ::read(fd, head.data() + got, std::size_t(want - got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                error = errno;
            if (n <= 0)
                break;
            got += n;
        }
        return error == 0;
    };
    if (::fstat(fd, &info) != 0)
        error = errno;
    else if (readUpTo(head.size()) && got == head.size()) {
        head.resize(headerBytes(head)); // the rest of the header, not the data
        readUpTo(head.size());
    }
    ::close(fd);
    if (error != 0) {
        *reason = QString::fromLocal8Bit(std::strerror(error));
        return Verdict::Unreadable;
    }
    if (!S_ISREG(info.st_mode)) {
        *reason = QStringLiteral("it is not a regular file");
        return Verdict::Damaged;
    }
    head.truncate(got);
    *reason = check(head, static_cast<std::int64_t>(info.st_size), summary);
    return reason->isEmpty() ? Verdict::Good : Verdict::Damaged;
}

} // namespace RrdHeader
