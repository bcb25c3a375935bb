// Measures the get step over 20 SNMP v1 interfaces with "link health" on against off, in the
// same run, answered by a loopback snmpd and against a responder that never answers.
//
// Usage: bench_health [--runs N]

#include "HealthBench.h"

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
    SnmpBench::runLinkHealth(qMax(1, parser.value(runsOption).toInt()));
    return 0;
}
