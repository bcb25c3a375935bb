#include "HistoryWriter.h"

#include "HistoryFileName.h"
#include "HistoryFolder.h"
#include "RrdLayout.h"

#include <QDir>
#include <QFile>

#include <rrd.h>

#include <mutex>
#include <vector>

namespace
{

QString rrdError(const QString &path, const char *action)
{
    const QString reason = QString::fromLocal8Bit(rrd_get_error());
    rrd_clear_error();
    return QStringLiteral("Cannot %1 the history file \"%2\": %3")
        .arg(QLatin1StringView(action), path, reason);
}

// librrd's tune call is not one of its thread-safe ones; all of ours go through this lock.
std::mutex &tuneLock()
{
    static std::mutex lock;
    return lock;
}

bool readFile(const QByteArray &name, std::time_t &lastUpdate, unsigned long &heartbeat)
{
    rrd_info_t *info = rrd_info_r(name.constData());
    if (!info)
        return false;
    bool haveHeartbeat = false, haveLast = false;
    for (rrd_info_t *item = info; item; item = item->next) {
        const QLatin1StringView key(item->key);
        if (key == QLatin1StringView("last_update") && item->type == RD_I_CNT) {
            lastUpdate = static_cast<std::time_t>(item->value.u_cnt);
            haveLast = true;
        } else if (key == QLatin1StringView("ds[inoctets].minimal_heartbeat") &&
                   item->type == RD_I_CNT) {
            heartbeat = item->value.u_cnt;
            haveHeartbeat = true;
        }
    }
    rrd_info_free(info);
    if (!haveHeartbeat || !haveLast) {
        rrd_set_error(const_cast<char *>("not a history file of this program"));
        return false;
    }
    return true;
}

QString number(double value)
{
    return QString::number(value, 'g', 17);
}

} // namespace

HistoryWriter::HistoryWriter(QString folder) : m_folder(std::move(folder)) {}

QString HistoryWriter::updateText(const InterfaceReading &reading, int pollIntervalSeconds,
                                  std::time_t when)
{
    const QString unknown = QStringLiteral("U");
    const bool good = reading.hasRate();
    const double interval = pollIntervalSeconds > 0 ? pollIntervalSeconds : 1;
    const auto perSecond = [&](const std::optional<std::uint64_t> &delta) {
        return delta ? number(static_cast<double>(*delta) / interval) : unknown;
    };
    QString linkDown = unknown;
    if (reading.adminStatus && reading.operStatus && *reading.adminStatus == 1)
        linkDown = *reading.operStatus == 1 ? QStringLiteral("0") : QStringLiteral("1");

    QStringList fields{QString::number(static_cast<qint64>(when)),
                       good ? number(reading.inOctetsPerSecond) : unknown,
                       good ? number(reading.outOctetsPerSecond) : unknown,
                       QString::number(reading.bandwidth),
                       perSecond(reading.inErrorsDelta),
                       perSecond(reading.outErrorsDelta),
                       perSecond(reading.inDiscardsDelta),
                       perSecond(reading.outDiscardsDelta),
                       linkDown};
    return fields.join(QLatin1Char(':'));
}

bool HistoryWriter::open(const QString &path, int pollIntervalSeconds, std::time_t when,
                         FileState &state, QString *reason)
{
    const QByteArray name = QFile::encodeName(path);
    switch (HistoryFolder::check(path, reason)) {
    case HistoryFolder::FileState::Refused:
        return false;
    case HistoryFolder::FileState::Absent: {
        const QStringList arguments = RrdLayout::createArguments(pollIntervalSeconds);
        std::vector<QByteArray> bytes;
        std::vector<const char *> argv;
        for (const QString &argument : arguments)
            bytes.push_back(argument.toLatin1());
        for (const QByteArray &b : bytes)
            argv.push_back(b.constData());
        // no_overwrite creates with O_EXCL, which never follows a link planted meanwhile.
        if (rrd_create_r2(name.constData(), RrdLayout::stepFor(pollIntervalSeconds), when - 1, 1,
                          nullptr, nullptr, static_cast<int>(argv.size()), argv.data()) != 0) {
            *reason = rrdError(path, "create");
            return false;
        }
        if (!HistoryFolder::makePrivate(path, reason))
            return false;
        state = {when - 1, RrdLayout::heartbeatFor(pollIntervalSeconds)};
        return true;
    }
    case HistoryFolder::FileState::Usable:
        break;
    }
    if (state.heartbeat == 0 && !readFile(name, state.lastUpdate, state.heartbeat)) {
        *reason = rrdError(path, "read");
        return false;
    }
    const unsigned long heartbeat = RrdLayout::heartbeatFor(pollIntervalSeconds);
    if (state.heartbeat != heartbeat) {
        std::vector<QByteArray> bytes{QByteArrayLiteral("tune"), name};
        for (const char *source : RrdLayout::DataSources) {
            bytes.push_back(QByteArrayLiteral("--heartbeat"));
            bytes.push_back(QByteArray(source) + ':' + QByteArray::number(heartbeat));
        }
        std::vector<char *> argv;
        for (QByteArray &b : bytes)
            argv.push_back(b.data());
        std::lock_guard guard(tuneLock());
        if (rrd_tune(static_cast<int>(argv.size()), argv.data()) != 0) {
            *reason = rrdError(path, "tune");
            return false;
        }
        state.heartbeat = heartbeat;
    }
    return true;
}

QStringList HistoryWriter::write(const PollResult &result)
{
    QStringList failures;
    if (!m_folderReady) {
        const QString reason = HistoryFolder::prepare(m_folder);
        if (!reason.isEmpty())
            return {reason};
        m_folderReady = true;
    }
    const std::time_t when = static_cast<std::time_t>(result.time.toSecsSinceEpoch());
    const QDir folder(m_folder);
    for (const InterfaceReading &reading : result.interfaces) {
        if (!reading.polled)
            continue;
        const QString path =
            folder.filePath(HistoryFileName::forInterface(reading.address, reading.ifIndex));
        FileState &state = m_files[path];
        QString reason;
        if (!open(path, result.pollIntervalSeconds, when, state, &reason)) {
            m_files.remove(path); // look at the file afresh next time
            failures.append(reason);
            continue;
        }
        // librrd refuses a time at or before the last update (a clock set back, two polls
        // within one second); such a poll is skipped, the next one lands normally.
        if (when <= state.lastUpdate)
            continue;
        const QByteArray text = updateText(reading, result.pollIntervalSeconds, when).toLatin1();
        const char *argv[] = {text.constData()};
        if (rrd_update_r(QFile::encodeName(path).constData(), nullptr, 1, argv) != 0) {
            failures.append(rrdError(path, "update"));
            m_files.remove(path);
            continue;
        }
        state.lastUpdate = when;
    }
    if (!failures.isEmpty())
        m_folderReady = false; // the folder may have gone: check it again at the next poll
    return failures;
}
