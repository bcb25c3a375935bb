#include "PollRun.h"

#include "AnalysisLog.h"
#include "CounterChoice.h"
#include "ErrorReport.h"
#include "HealthLog.h"
#include "InterfaceList.h"
#include "InterfaceTable.h"
#include "MaxInterfaces.h"
#include "NumberFormat.h"
#include "ReadingClock.h"
#include "UtilisationLog.h"

#include <QStringList>

#include <algorithm>

namespace
{

double floatCell(const InterfaceTable &table, int column, int row)
{
    long double value = 0;
    return NumberFormat::tryParseFloat(table.cell(column, row), &value) ? double(value) : 0.0;
}

std::optional<std::uint64_t> counterCell(const InterfaceTable &table, int column, int row)
{
    std::uint64_t value = 0;
    if (NumberFormat::tryParseUnsigned(table.cell(column, row), &value))
        return value;
    return std::nullopt;
}

} // namespace

PollRun::PollRun(InterfaceTable &table, InterfaceList &list, LogEnvironment &logs, QObject *parent)
    : QObject(parent), m_table(table), m_list(list), m_logs(logs), m_poller(table, list),
      m_shownColumn(Col::CombinedUtil)
{
    connect(&m_poller, &Poller::getFinished, this, [this] {
        markGaps();
        markRestarts();
        Q_EMIT getFinished();
        calculate();
    });
}

void PollRun::markGaps()
{
    // The nominal interval stays the time base of every rate; the measured time only decides
    // whether two readings are close enough to make one. It is measured on both clocks a poll
    // carries: the reading clock, and the wall-clock time stamp that the history, the alerts
    // and the logs take the poll at. Two readings further apart on either are a first reading,
    // so no one of them takes the poll for a gap while another computes a rate from it: the
    // history's own gap rule (twice the interval on whole seconds of the time stamp) never
    // meets a reading this rule let through.
    m_gaps.clear();
    const qint64 now = m_startedAt;
    const QDateTime stamp = m_poller.stamp();
    const double limit = GapFactor * m_interval * 1000;
    const QString zero = QStringLiteral("0");
    const QList<int> &failed = m_poller.failedRows();
    for (int p = 0; p < m_list.count() && p < MaxInterfaces; ++p) {
        const int row = p + 1;
        if (!m_list.isChecked(p) || failed.contains(row))
            continue;
        const std::optional<qint64> previous = std::exchange(m_readAt[std::size_t(row)], now);
        const QDateTime previousStamp = std::exchange(m_stampAt[std::size_t(row)], stamp);
        std::int64_t before = 0;
        const bool hasPrevious =
            NumberFormat::tryParseWhole(m_table.cell(Col::InBitNew, row), &before) && before > 0;
        if (!previous || !hasPrevious)
            continue;
        // A wall clock set back is no gap: the counters went on with the time that passed.
        const qint64 elapsed = std::max(
            now - *previous, previousStamp.isValid() ? previousStamp.msecsTo(stamp) : qint64(0));
        if (elapsed <= limit)
            continue;
        // No previous reading and no deltas: the calculation takes this poll as a first one.
        for (int column : {Col::InBitNew, Col::OutBitNew, Col::InDelta, Col::OutDelta})
            m_table.setCell(column, row, zero);
        m_gaps.insert(row, QStringLiteral("Row %1: %2 s since its last reading; counted as a "
                                          "first reading")
                               .arg(row)
                               .arg((elapsed + 500) / 1000));
    }
}

QString PollRun::uptimeText(quint32 ticks)
{
    const quint32 seconds = ticks / 100;
    return QStringLiteral("%1 d %2:%3:%4")
        .arg(seconds / 86400)
        .arg(seconds / 3600 % 24, 2, 10, QLatin1Char('0'))
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

void PollRun::markRestarts()
{
    // An agent that restarted counts afresh: every row read from it, 32-bit rows included, is
    // a first reading (a 32-bit counter set back by a reboot would otherwise look like a wrap).
    m_restarts.clear();
    m_restartTexts.clear();
    const QMap<QString, quint32> &agents = m_poller.restartedAgents();
    if (agents.isEmpty())
        return;
    const QString zero = QStringLiteral("0");
    const QList<int> &failed = m_poller.failedRows();
    for (auto agent = agents.cbegin(); agent != agents.cend(); ++agent) {
        QStringList rows;
        QList<int> rowNumbers;
        for (int p = 0; p < m_list.count() && p < MaxInterfaces; ++p) {
            const int row = p + 1;
            if (!m_list.isChecked(p) || failed.contains(row) ||
                m_table.cell(Col::IP, row) != agent.key())
                continue;
            for (int column : {Col::InBitNew, Col::OutBitNew, Col::InDelta, Col::OutDelta})
                m_table.setCell(column, row, zero);
            rows << QString::number(row);
            rowNumbers << row;
        }
        const QString text = QStringLiteral("Agent %1 restarted (uptime %2)")
                                 .arg(agent.key(), uptimeText(agent.value())) +
                             (rows.isEmpty() ? QString()
                                             : QStringLiteral("; %1 %2 counted as a first reading")
                                                   .arg(rows.size() == 1 ? QStringLiteral("row")
                                                                         : QStringLiteral("rows"),
                                                        rows.join(QStringLiteral(", "))));
        m_restartTexts << text;
        for (int row : rowNumbers)
            m_restarts.insert(row, text);
    }
}

void PollRun::markJumps(const QList<Calculation::RowFault> &faults)
{
    m_jumps.clear();
    const QString zero = QStringLiteral("0");
    for (int p = 0; p < m_list.count() && p < MaxInterfaces; ++p) {
        const int row = p + 1;
        std::int64_t bandwidth = 0;
        const bool faulted = std::any_of(faults.cbegin(), faults.cend(),
                                         [row](const auto &f) { return f.row == row; });
        if (!m_list.isChecked(p) || faulted ||
            !NumberFormat::tryParseWhole(m_table.cell(Col::Bandwidth, row), &bandwidth) ||
            bandwidth <= 0) {
            m_jumpRun[std::size_t(row)] = 0;
            continue;
        }
        const double limit = JumpFactor * double(bandwidth) / 8; // octets per second
        const bool jumped = floatCell(m_table, Col::InDeltaPers, row) > limit ||
                            floatCell(m_table, Col::OutDeltaPers, row) > limit;
        if (!jumped) {
            m_jumpRun[std::size_t(row)] = 0;
            continue;
        }
        // The new readings stay as the base of the next poll; nothing of this one is shown.
        for (int column : {Col::InDelta, Col::InDeltaPers, Col::InUtil, Col::OutDelta,
                           Col::OutDeltaPers, Col::OutUtil, Col::CombinedPers, Col::CombinedUtil})
            m_table.setCell(column, row, zero);
        QString text = QStringLiteral("Row %1: rate above twice the bandwidth (a counter jump or "
                                      "restart); counted as a first reading")
                           .arg(row);
        if (++m_jumpRun[std::size_t(row)] > 1)
            text += QStringLiteral("; check the bandwidth in the device file");
        m_jumps.insert(row, text);
    }
}

QStringList PollRun::markNotMeasurable(const QList<Calculation::RowFault> &faults)
{
    m_notMeasurable.clear();
    QStringList firstSeen;
    const CounterChoice &counters = m_poller.counters();
    const QList<int> &failed = m_poller.failedRows();
    const QString zero = QStringLiteral("0");
    for (int p = 0; p < m_list.count() && p < MaxInterfaces; ++p) {
        const int row = p + 1;
        const bool faulted = std::any_of(faults.cbegin(), faults.cend(),
                                         [row](const auto &f) { return f.row == row; });
        if (!m_list.isChecked(p) || faulted || failed.contains(row) || !counters.notMeasurable(row))
            continue;
        // The readings stay as read; nothing computed from them is a rate.
        for (int column : {Col::InDelta, Col::InDeltaPers, Col::InUtil, Col::OutDelta,
                           Col::OutDeltaPers, Col::OutUtil, Col::CombinedPers, Col::CombinedUtil})
            m_table.setCell(column, row, zero);
        std::int64_t bandwidth = 0;
        NumberFormat::tryParseWhole(m_table.cell(Col::Bandwidth, row), &bandwidth);
        const QString text = CounterChoice::wrapText(std::uint64_t(bandwidth), m_interval);
        m_notMeasurable.insert(row, text);
        if (!std::exchange(m_wrapShown[std::size_t(row)], true))
            firstSeen << QStringLiteral("Row %1: %2").arg(row).arg(text);
    }
    return firstSeen;
}

QString PollRun::notMeasurableText(int row) const
{
    return m_poller.counters().notMeasurable(row) ? m_notMeasurable.value(row) : QString();
}

QString PollRun::notMeasurableCaption(int row) const
{
    if (notMeasurableText(row).isEmpty())
        return QString();
    std::int64_t bandwidth = 0;
    NumberFormat::tryParseWhole(m_table.cell(Col::Bandwidth, row), &bandwidth);
    return CounterChoice::wrapCaption(std::uint64_t(std::max<std::int64_t>(bandwidth, 0)));
}

void PollRun::setLogs(bool utilisation, bool analysis)
{
    m_utilisationLog = utilisation;
    m_analysisLog = analysis;
}

void PollRun::pollAgain(int row)
{
    if (row >= 1 && row <= MaxInterfaces && !m_pollAgain.contains(row))
        m_pollAgain.append(row);
}

bool PollRun::start()
{
    if (m_poller.inFlight())
        return false;
    // Applied here, never while a poll is in flight: its plan has no requests for these rows.
    const QString zero = QStringLiteral("0");
    for (int row : std::exchange(m_pollAgain, {})) {
        if (row > m_list.count())
            continue;
        m_list.setChecked(row - 1, true);
        for (int column : {Col::InBitNew, Col::OutBitNew, Col::InDelta, Col::OutDelta})
            m_table.setCell(column, row, zero);
        m_readAt[std::size_t(row)].reset();
        m_stampAt[std::size_t(row)] = QDateTime();
        m_jumpRun[std::size_t(row)] = 0;
    }
    // A reading is as old as its request: a poll whose replies are handled only after a stall
    // holds counters of before it.
    m_startedAt = m_readingClock ? m_readingClock() : ReadingClock::nowMs();
    if (!m_poller.start())
        return false;
    // Rows whose counters are chosen afresh at this poll name a wrap again.
    for (int row = 1; row <= MaxInterfaces; ++row) {
        if (!m_poller.counters().decided(row))
            m_wrapShown[std::size_t(row)] = false;
    }
    return true;
}

void PollRun::calculate()
{
    QList<int> restarted;
    const QList<Calculation::RowFault> faults =
        Calculation::calculate(m_table, m_list, m_interval, &m_poller.counters(), &restarted);
    const QStringList wrapTexts = markNotMeasurable(faults);
    markJumps(faults);
    QStringList captions;
    for (int k = 1; k <= MaxInterfaces; ++k) {
        const QString notMeasurable = notMeasurableCaption(k);
        captions.append(notMeasurable.isEmpty() ? Calculation::lastValuesCaption(m_table, k)
                                                : notMeasurable);
    }
    Q_EMIT lastValuesShown(captions);

    const QString restartText = Calculation::restartMessage(restarted);
    if (!faults.isEmpty() || !restarted.isEmpty() || !m_gaps.isEmpty() || !m_jumps.isEmpty() ||
        !m_restartTexts.isEmpty()) {
        QStringList messages;
        for (const auto &fault : faults)
            messages << fault.message;
        messages << m_restartTexts;
        if (!restarted.isEmpty())
            messages << restartText;
        messages << m_gaps.values() << m_jumps.values() << wrapTexts;
        m_faultStatus = messages.join(QStringLiteral("; "));
        Q_EMIT statusMessage(m_faultStatus);
    } else if (!wrapTexts.isEmpty()) {
        // Said once, and kept: a later poll without faults does not take it back.
        m_faultStatus.clear();
        Q_EMIT statusMessage(wrapTexts.join(QStringLiteral("; ")));
    } else if (!m_faultStatus.isEmpty()) {
        // A poll without faults takes back the fault message, and only that message.
        Q_EMIT statusWithdrawn(std::exchange(m_faultStatus, QString()));
    }
    buildResult(restarted, restartText, faults);
    toGraph();
}

void PollRun::toGraph()
{
    // A failing log loses only its own line of this poll: the other log and the graphs go on.
    if (m_utilisationLog)
        writeUtilisationLog();
    if (m_analysisLog)
        writeAnalysisLog();
    if (m_linkHealth && (m_utilisationLog || m_analysisLog))
        writeHealthLog();
    QList<SlotValue> values;
    ErrorReport::guarded([&] {
        for (int k = 1; k <= m_list.count() && k <= MaxInterfaces; ++k) {
            if (m_list.isChecked(k - 1))
                values.append({k, Calculation::shownValue(m_table.cell(m_shownColumn, k))});
        }
    });
    Q_EMIT graphValuesShown(values);
    Q_EMIT pollFinished(m_result);
}

void PollRun::setLinkHealth(bool on)
{
    if (on != m_linkHealth)
        m_health.reset();
    m_linkHealth = on;
    m_poller.setLinkHealth(on);
}

void PollRun::writeUtilisationLog()
{
    writeLog(QStringLiteral("Utilisation log"),
             [this] { UtilisationLog::write(m_table, m_deviceFilePath, m_logs); });
}

void PollRun::writeAnalysisLog()
{
    writeLog(QStringLiteral("Analysis log"),
             [this] { AnalysisLog::write(m_table, m_deviceFilePath, m_logs); });
}

void PollRun::writeHealthLog()
{
    writeLog(QStringLiteral("Health log"),
             [this] { HealthLog::write(m_result, m_deviceFilePath, m_logs); });
}

void PollRun::writeLog(const QString &name, const std::function<void()> &write)
{
    // The failure shows in status panel 0 at every poll it lasts, but reaches the error report
    // only once, until the log has worked again.
    const QString prefix = name + QStringLiteral(": ");
    try {
        write();
    } catch (const OstralineError &error) {
        const QString text = prefix + error.message();
        Q_EMIT statusMessage(text);
        ErrorReport::show(text, name);
        return;
    }
    if (ErrorReport::isFailing(name)) {
        ErrorReport::recovered(name);
        Q_EMIT statusWithdrawn(prefix);
    }
}

InterfaceReading PollRun::identity(int row) const
{
    InterfaceReading r;
    r.row = row;
    r.address = m_table.cell(Col::IP, row);
    r.ifIndex = m_table.cell(Col::Interface, row);
    r.description = m_table.cell(Col::Description, row);
    std::uint64_t bandwidth = 0;
    if (NumberFormat::tryParseUnsigned(m_table.cell(Col::Bandwidth, row), &bandwidth))
        r.bandwidth = bandwidth;
    return r;
}

QList<InterfaceReading> PollRun::loadedInterfaces() const
{
    QList<InterfaceReading> loaded;
    for (int p = 0; p < m_list.count() && p < MaxInterfaces; ++p)
        loaded.append(identity(p + 1));
    return loaded;
}

void PollRun::buildResult(const QList<int> &restarted, const QString &restartText,
                          const QList<Calculation::RowFault> &faults)
{
    PollResult result;
    result.time = m_poller.stamp();
    result.pollIntervalSeconds = m_interval;
    result.durationSeconds = m_poller.durationSeconds();
    const CounterChoice &counters = m_poller.counters();
    for (int p = 0; p < m_list.count() && p < MaxInterfaces; ++p) {
        const int row = p + 1;
        InterfaceReading r = identity(row);
        const bool failed = m_poller.failedRows().contains(row);
        r.polled = m_list.isChecked(p) || failed;
        r.counters64 = counters.width(row) == CounterChoice::Width::Bits64;
        r.snmpVersion = counters.isV3(row) ? QStringLiteral("3")
                        : r.counters64     ? QStringLiteral("2c")
                                           : QStringLiteral("1");
        r.inOctets = counterCell(m_table, Col::InBitNew, row);
        r.outOctets = counterCell(m_table, Col::OutBitNew, row);
        const auto fault = std::find_if(faults.cbegin(), faults.cend(),
                                        [row](const auto &f) { return f.row == row; });
        std::int64_t previous = 0;
        if (!r.polled) {
            r.outcome = InterfaceReading::Outcome::Failed;
        } else if (failed) {
            r.outcome = InterfaceReading::Outcome::Failed;
            r.reason = QStringLiteral("Row %1: no reading").arg(row);
        } else if (fault != faults.cend()) {
            r.outcome = InterfaceReading::Outcome::Failed;
            r.reason = fault->message;
        } else if (m_restarts.contains(row)) {
            r.outcome = InterfaceReading::Outcome::First;
            r.reason = m_restarts.value(row);
        } else if (m_gaps.contains(row) || m_jumps.contains(row)) {
            r.outcome = InterfaceReading::Outcome::First;
            r.reason = m_gaps.contains(row) ? m_gaps.value(row) : m_jumps.value(row);
        } else if (restarted.contains(row)) {
            r.outcome = InterfaceReading::Outcome::First;
            r.reason = restartText;
        } else if (!NumberFormat::tryParseWhole(m_table.cell(Col::InBitOld, row), &previous) ||
                   previous <= 0) {
            r.outcome = InterfaceReading::Outcome::First;
        } else {
            r.outcome = InterfaceReading::Outcome::Good;
            r.inOctetsPerSecond = floatCell(m_table, Col::InDeltaPers, row);
            r.outOctetsPerSecond = floatCell(m_table, Col::OutDeltaPers, row);
            r.inUtilisation = floatCell(m_table, Col::InUtil, row);
            r.outUtilisation = floatCell(m_table, Col::OutUtil, row);
            r.combinedUtilisation = floatCell(m_table, Col::CombinedUtil, row);
        }
        // A reading that would give a rate, or a plain first one, gives none where the
        // counters wrap within the interval; a gap, a restart or a jump keeps its reason.
        const bool plain = r.outcome == InterfaceReading::Outcome::Good ||
                           (r.outcome == InterfaceReading::Outcome::First && r.reason.isEmpty());
        if (plain && m_notMeasurable.contains(row)) {
            r.outcome = InterfaceReading::Outcome::NotMeasurable;
            r.reason = QStringLiteral("Row %1: %2").arg(row).arg(m_notMeasurable.value(row));
            r.inOctetsPerSecond = r.outOctetsPerSecond = 0;
            r.inUtilisation = r.outUtilisation = r.combinedUtilisation = 0;
        }
        if (r.outcome == InterfaceReading::Outcome::Failed) {
            r.inOctets.reset();
            r.outOctets.reset();
        }
        result.interfaces.append(r);
    }
    if (m_linkHealth)
        m_health.fill(result, m_poller.linkHealthTexts());
    m_result = result;
}
