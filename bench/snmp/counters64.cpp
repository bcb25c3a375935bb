// Measures the get step over 20 interfaces with "64-bit counters" on against the 32-bit get
// step of today, in the same run:
//   first poll (both ways asked: 40 v1 requests and 20 v2c requests in one batch) and a later
//   poll (20 v2c requests), against a loopback snmpd that has 64-bit counters for every
//   interface, and against a responder that never answers.
// Each case is the median of several runs; the longest gap of a 10 ms heartbeat timer shows
// whether the window's event loop was held up.
//
// Usage: bench_counters64 [--runs N]

#include "Counters64Bench.h"

#include <QCommandLineParser>
#include <QCoreApplication>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption runsOption("runs", "Runs per case (median).", "n", "5");
    parser.addOption(runsOption);
    parser.process(app);
    const int runs = qMax(1, parser.value(runsOption).toInt());

    SnmpBench::runCounters64(runs);
    return 0;
}
