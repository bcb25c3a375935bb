#include "HistoryWriter.h"

#include "HistoryFileName.h"
#include "HistoryFolder.h"
#include "IfStatus.h"
#include "RrdHeader.h"
#include "RrdLayout.h"

#include <QDir>
#include <QFile>

#include <rrd.h>

#include <mutex>
#include <utility>
#include <vector>

namespace
{

QString rrdError(const QString &path, const char *action)
{
    QString reason = QString::fromLocal8Bit(rrd_get_error());
    rrd_clear_error();
    if (reason.isEmpty())
        reason = QStringLiteral("librrd gives no reason");
    return QStringLiteral("Cannot %1 the history file \"%2\": %3")
        .arg(QLatin1StringView(action), path, reason);
}

// librrd's tune call is not one of its thread-safe ones; all of ours go through this lock.
std::mutex &tuneLock()
{
    static std::mutex lock;
    return lock;
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
    // The history counts every moment an enabled port is not up as down time (wider than
    // IfStatus::operDown, which the alerts and the board judge by); the stored files keep it.
    if (reading.adminStatus && reading.operStatus && *reading.adminStatus == IfStatus::Up)
        linkDown = *reading.operStatus == IfStatus::Up ? QStringLiteral("0") : QStringLiteral("1");

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

bool HistoryWriter::create(const QString &path, int pollIntervalSeconds, std::time_t when,
                           FileState &state, QString *reason)
{
    if (!m_noRoom.isEmpty()) {
        m_refusedForRoom.append(path);
        return false;
    }
    const QStringList arguments = RrdLayout::createArguments(pollIntervalSeconds);
    std::vector<QByteArray> bytes;
    std::vector<const char *> argv;
    for (const QString &argument : arguments)
        bytes.push_back(argument.toLatin1());
    for (const QByteArray &b : bytes)
        argv.push_back(b.constData());
    // no_overwrite creates with O_EXCL, which never follows a link planted meanwhile.
    if (rrd_create_r2(QFile::encodeName(path).constData(), RrdLayout::stepFor(pollIntervalSeconds),
                      when - 1, 1, nullptr, nullptr, static_cast<int>(argv.size()),
                      argv.data()) != 0) {
        *reason = rrdError(path, "create");
        // librrd removes its half-written file and loses the system's reason on the way: a
        // full disk reads as an error without words. Ask the disk itself.
        const QString room =
            HistoryFolder::roomProblem(m_folder, RrdHeader::fileSizeFor(pollIntervalSeconds));
        if (!room.isEmpty()) {
            m_noRoom = room;
            m_refusedForRoom.append(path);
            reason->clear();
        }
        return false;
    }
    if (!HistoryFolder::makePrivate(path, reason))
        return false;
    state = {when - 1, RrdLayout::heartbeatFor(pollIntervalSeconds)};
    return true;
}

bool HistoryWriter::open(const QString &path, int pollIntervalSeconds, std::time_t when,
                         FileState &state, QString *reason)
{
    switch (HistoryFolder::check(path, reason)) {
    case HistoryFolder::FileState::Refused:
        return false;
    case HistoryFolder::FileState::Absent:
        return create(path, pollIntervalSeconds, when, state, reason);
    case HistoryFolder::FileState::Usable:
        break;
    }
    // librrd is handed only a file whose header was checked (see RrdHeader).
    RrdHeader::Summary summary;
    QString problem;
    switch (RrdHeader::checkFile(path, &problem, &summary)) {
    case RrdHeader::Verdict::Good:
        break;
    case RrdHeader::Verdict::Unreadable:
        *reason = QStringLiteral("Cannot read the history file \"%1\": %2").arg(path, problem);
        return false;
    case RrdHeader::Verdict::Damaged: {
        QString why;
        const QString aside = HistoryFolder::setAside(path, &why);
        if (aside.isEmpty()) {
            *reason = QStringLiteral("The history file \"%1\" is damaged (%2) and cannot be set "
                                     "aside: %3")
                          .arg(path, problem, why);
            return false;
        }
        m_notices.append(QStringLiteral("The history file \"%1\" is damaged (%2). It is set "
                                        "aside as \"%3\" and a new one is started.")
                             .arg(path, problem, aside));
        return create(path, pollIntervalSeconds, when, state, reason);
    }
    }
    state = {static_cast<std::time_t>(summary.lastUpdate), summary.heartbeat};
    const unsigned long heartbeat = RrdLayout::heartbeatFor(pollIntervalSeconds);
    if (state.heartbeat != heartbeat) {
        const QByteArray name = QFile::encodeName(path);
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

QStringList HistoryWriter::takeNotices()
{
    return std::exchange(m_notices, {});
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
    m_noRoom.clear();
    m_refusedForRoom.clear();
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
            if (!reason.isEmpty())
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
    // The disk without room is said once, however many files it refused.
    if (m_refusedForRoom.size() == 1)
        failures.append(QStringLiteral("Cannot create the history file \"%1\": %2")
                            .arg(m_refusedForRoom.first(), m_noRoom));
    else if (m_refusedForRoom.size() > 1)
        failures.append(QStringLiteral("Cannot create %1 history files in \"%2\": %3")
                            .arg(m_refusedForRoom.size())
                            .arg(m_folder, m_noRoom));
    if (!failures.isEmpty())
        m_folderReady = false; // the folder may have gone: check it again at the next poll
    return failures;
}
