// Measures the SNMP batch over 20 interfaces (40 queries) against the one-after-another way:
//   (a) all answering from a loopback snmpd,
//   (b) all silent (each query runs into the 2000 ms wait),
//   (c) all answering after a delay (a scripted responder on its own thread).
// For each it prints both times, their ratio and the longest gap of a 10 ms heartbeat timer
// while the batch runs. The one-after-another time of slow cases is extrapolated from a few
// queries.
//
// Usage: bench_snmp [--delay-ms N] [--sample N]

#include "SnmpBench.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

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
    bool extrapolated = false;

    const SnmpBench::Agents agents(delayMs);

    // (a) answering from snmpd
    if (!agents.answeringHost().isEmpty()) {
        const auto requests = SnmpBench::counterRequests("public", agents.answeringHost());
        SnmpBench::timeBatch(requests); // warm-up: library start and the agent's helper processes
        const auto batch = SnmpBench::timeBatch(requests);
        const double blocking = SnmpBench::timeBlocking(requests, 0, &extrapolated);
        SnmpBench::report("(a) 40 queries answered by a loopback snmpd", "batch", batch, blocking,
                          extrapolated);
    } else {
        std::printf("(a) skipped: %s\n", qPrintable(agents.answeringError()));
    }

    // (b) silent: a responder that never answers
    {
        const auto requests = SnmpBench::counterRequests("public", agents.silentHost());
        const auto batch = SnmpBench::timeBatch(requests);
        const double blocking = SnmpBench::timeBlocking(requests, sample, &extrapolated);
        SnmpBench::report("(b) 40 queries, no answer", "batch", batch, blocking, extrapolated);
    }

    // (c) answering after a delay
    {
        const auto requests = SnmpBench::counterRequests("public", agents.delayedHost());
        const auto batch = SnmpBench::timeBatch(requests);
        const double blocking = SnmpBench::timeBlocking(requests, 0, &extrapolated);
        SnmpBench::report(QString("(c) 40 queries answered after %1 ms").arg(delayMs), "batch",
                          batch, blocking, extrapolated);
    }
    return 0;
}
