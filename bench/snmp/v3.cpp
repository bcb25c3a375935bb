// Measures the get step over 20 interfaces of one agent on SNMP v3 at authPriv against the
// same agent on v2c with 64-bit counters, in the same run: the first poll and a later poll.
// The longest gap of a 5 ms heartbeat timer shows whether the event loop was held up.
//
// Usage: bench_v3 [--runs N]

#include "V3Bench.h"

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
    SnmpBench::runV3(qMax(1, parser.value(runsOption).toInt()));
    return 0;
}
