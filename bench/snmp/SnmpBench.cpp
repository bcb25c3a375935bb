#include "SnmpBench.h"

#include "DeviceFile.h"
#include "GetStep.h"
#include "HostileAgent.h"
#include "InterfaceList.h"
#include "InterfaceTable.h"
#include "SnmpAgent.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <cstdio>

namespace SnmpBench
{

LoopFigures timeInLoop(const std::function<void(QEventLoop &)> &begin, int heartbeatMs)
{
    QEventLoop loop;
    LoopFigures figures;
    QElapsedTimer beat;
    QTimer heartbeat;
    heartbeat.setTimerType(Qt::PreciseTimer);
    QObject::connect(&heartbeat, &QTimer::timeout, &loop, [&] {
        figures.longestGapMs = qMax(figures.longestGapMs, beat.nsecsElapsed() / 1e6);
        beat.restart();
    });
    QElapsedTimer clock;
    clock.start();
    beat.start();
    heartbeat.start(heartbeatMs);
    begin(loop);
    loop.exec();
    figures.ms = clock.nsecsElapsed() / 1e6;
    figures.longestGapMs = qMax(figures.longestGapMs, beat.nsecsElapsed() / 1e6);
    return figures;
}

namespace
{

bool hasReading(const QString &cell)
{
    return !cell.isEmpty() && cell != QLatin1String("0");
}

} // namespace

QList<SnmpRequest> counterRequests(const QString &community, const QString &host)
{
    QList<SnmpRequest> requests;
    for (int i = 1; i <= Interfaces; ++i) {
        requests.append({SnmpAgent::inOctetsOid(i), community, host});
        requests.append({SnmpAgent::outOctetsOid(i), community, host});
    }
    return requests;
}

LoopFigures timeBatch(const QList<SnmpRequest> &requests)
{
    SnmpBatch batch;
    int answered = 0;
    LoopFigures figures = timeInLoop([&](QEventLoop &loop) {
        QObject::connect(&batch, &SnmpBatch::finished, &loop, [&](const QStringList &values) {
            for (const QString &value : values)
                answered += value.isEmpty() ? 0 : 1;
            loop.quit();
        });
        batch.start(requests);
    });
    figures.answered = answered;
    return figures;
}

LoopFigures timeGetStep(const QString &community, const QString &host)
{
    InterfaceTable table;
    InterfaceList list;
    table.writeHeaderAndInitialValues();
    QStringList lines;
    for (int i = 1; i <= Interfaces; ++i) {
        lines.append(host + QLatin1Char(';') + QString::number(i) + QStringLiteral(";100000000;") +
                     community + QStringLiteral(";if") + QString::number(i));
    }
    DeviceFile::store(lines, table, list);
    Poller poller(table, list);
    // Failed rows stay in the poll, so that every run of a case does the same work.
    poller.setOnErrorMode(OnErrorMode::Zeroes);
    LoopFigures figures = timeInLoop([&](QEventLoop &loop) {
        QObject::connect(&poller, &Poller::getFinished, &loop, &QEventLoop::quit);
        poller.start();
    });
    for (int row = 1; row <= Interfaces; ++row) {
        figures.answered += hasReading(table.cell(Col::OrgIn, row)) ? 1 : 0;
        figures.answered += hasReading(table.cell(Col::OrgOut, row)) ? 1 : 0;
    }
    return figures;
}

double timeBlocking(const QList<SnmpRequest> &requests, int sample, bool *extrapolated)
{
    const int count = sample > 0 ? qMin(sample, int(requests.size())) : int(requests.size());
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < count; ++i)
        snmpGetBlocking(requests[i]);
    const double ms = clock.nsecsElapsed() / 1e6;
    *extrapolated = count < requests.size();
    return ms * requests.size() / count;
}

void report(const QString &name, const QString &label, const LoopFigures &figures,
            double blockingMs, bool extrapolated)
{
    std::printf("%s\n", qPrintable(name));
    std::printf("  %-20s  %8.1f ms  (%d of %d answered)\n", qPrintable(label + QLatin1Char(':')),
                figures.ms, figures.answered, Requests);
    std::printf("  one after another:    %8.1f ms%s\n", blockingMs,
                extrapolated ? "  (extrapolated)" : "");
    std::printf("  ratio:                %8.1f x\n", blockingMs / figures.ms);
    std::printf("  longest 10 ms heartbeat gap meanwhile: %.1f ms\n", figures.longestGapMs);
    std::fflush(stdout);
}

Agents::Agents(int delayMs)
    : m_delayMs(delayMs), m_snmpd(std::make_unique<SnmpAgent>()),
      m_silent(std::make_unique<HostileAgent>())
{
    for (int i = 1; i <= Interfaces; ++i)
        m_snmpd->setCounters(i, quint32(i) * 1000, quint32(i) * 2000);
    m_snmpdStarted = m_snmpd->start();

    m_silent->listen();
    m_silent->setReply(HostileAgent::Reply::Silent);

    auto *slow = new HostileAgent;
    slow->setValue(12345);
    slow->setDelayMs(delayMs);
    slow->moveToThread(&m_thread);
    QObject::connect(&m_thread, &QThread::finished, slow, &QObject::deleteLater);
    m_thread.start();
    QMetaObject::invokeMethod(
        slow, [&] { m_delayedHost = slow->listen() ? slow->host() : QString(); },
        Qt::BlockingQueuedConnection);
}

Agents::~Agents()
{
    m_thread.quit();
    m_thread.wait();
}

QString Agents::answeringHost() const
{
    return m_snmpdStarted ? m_snmpd->host() : QString();
}

QString Agents::answeringError() const
{
    return m_snmpd->errorString();
}

QString Agents::silentHost() const
{
    return m_silent->host();
}

} // namespace SnmpBench
