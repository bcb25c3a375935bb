// Measures the SNMP batch over 20 interfaces (40 queries) against the one-after-another way:
//   (a) all answering from a loopback snmpd,
//   (b) all silent (each query runs into the 2000 ms wait),
//   (c) all answering after a delay (a scripted responder on its own thread).
// For each it prints both times, their ratio and the longest gap of a 10 ms heartbeat timer
// while the batch runs. The one-after-another time of slow cases is extrapolated from a few
// queries.
//
// Usage: bench_snmp [--delay-ms N] [--sample N]

#include "HostileAgent.h"
#include "SnmpAgent.h"
#include "SnmpQuery.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <cstdio>

namespace
{

constexpr int Interfaces = 20;

struct BatchFigures {
    double ms = 0;
    double longestGapMs = 0;
    int answered = 0;
};

BatchFigures timeBatch(const QList<SnmpRequest> &requests)
{
    SnmpBatch batch;
    QEventLoop loop;
    BatchFigures figures;
    QObject::connect(&batch, &SnmpBatch::finished, &loop, [&](const QStringList &values) {
        for (const QString &value : values)
            figures.answered += value.isEmpty() ? 0 : 1;
        loop.quit();
    });
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
    heartbeat.start(10);
    batch.start(requests);
    loop.exec();
    figures.ms = clock.nsecsElapsed() / 1e6;
    figures.longestGapMs = qMax(figures.longestGapMs, beat.nsecsElapsed() / 1e6);
    return figures;
}

// Runs the first `sample` requests one after another and scales the time to all of them.
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

QList<SnmpRequest> counterRequests(const QString &community, const QString &host)
{
    QList<SnmpRequest> requests;
    for (int i = 1; i <= Interfaces; ++i) {
        requests.append({SnmpAgent::inOctetsOid(i), community, host});
        requests.append({SnmpAgent::outOctetsOid(i), community, host});
    }
    return requests;
}

void report(const char *name, const BatchFigures &batch, double blockingMs, bool extrapolated,
            int total)
{
    std::printf("%s\n", name);
    std::printf("  batch:                %8.1f ms  (%d of %d answered)\n", batch.ms, batch.answered,
                total);
    std::printf("  one after another:    %8.1f ms%s\n", blockingMs,
                extrapolated ? "  (extrapolated)" : "");
    std::printf("  ratio:                %8.1f x\n", blockingMs / batch.ms);
    std::printf("  longest 10 ms heartbeat gap during the batch: %.1f ms\n", batch.longestGapMs);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption delayOption("delay-ms", "Reply delay of case (c).", "ms", "50");
    const QCommandLineOption sampleOption(
        "sample", "Queries timed one after another in the slow cases.", "n", "3");
    parser.addOptions({delayOption, sampleOption});
    parser.process(app);
    const int delayMs = parser.value(delayOption).toInt();
    const int sample = qMax(1, parser.value(sampleOption).toInt());
    const int total = Interfaces * 2;
    bool extrapolated = false;

    // (a) answering from snmpd
    SnmpAgent agent;
    for (int i = 1; i <= Interfaces; ++i)
        agent.setCounters(i, quint32(i) * 1000, quint32(i) * 2000);
    if (agent.start()) {
        const auto requests = counterRequests(SnmpAgent::community(), agent.host());
        timeBatch(requests); // warm-up: library start and the agent's helper processes
        const BatchFigures batch = timeBatch(requests);
        const double blocking = timeBlocking(requests, 0, &extrapolated);
        report("(a) 40 queries answered by a loopback snmpd", batch, blocking, extrapolated, total);
    } else {
        std::printf("(a) skipped: %s\n", qPrintable(agent.errorString()));
    }

    // (b) silent: a responder that never answers
    {
        HostileAgent silent;
        silent.listen();
        silent.setReply(HostileAgent::Reply::Silent);
        const auto requests = counterRequests(QStringLiteral("public"), silent.host());
        const BatchFigures batch = timeBatch(requests);
        const double blocking = timeBlocking(requests, sample, &extrapolated);
        report("(b) 40 queries, no answer", batch, blocking, extrapolated, total);
    }

    // (c) answering after a delay; the responder has its own thread so that the blocking
    // queries of this thread are answered too.
    {
        QThread thread;
        auto *slow = new HostileAgent;
        slow->setValue(12345);
        slow->setDelayMs(delayMs);
        slow->moveToThread(&thread);
        QObject::connect(&thread, &QThread::finished, slow, &QObject::deleteLater);
        thread.start();
        QString host;
        QMetaObject::invokeMethod(
            slow, [&] { host = slow->listen() ? slow->host() : QString(); },
            Qt::BlockingQueuedConnection);
        const auto requests = counterRequests(QStringLiteral("public"), host);
        const BatchFigures batch = timeBatch(requests);
        const double blocking = timeBlocking(requests, 0, &extrapolated);
        const QByteArray name =
            "(c) 40 queries answered after " + QByteArray::number(delayMs) + " ms";
        report(name.constData(), batch, blocking, extrapolated, total);
        thread.quit();
        thread.wait();
    }
    return 0;
}
