#pragma once

#include <QCommandLineOption>
#include <QList>

class QCommandLineParser;
class QString;

// The command line of the Prometheus export: --export-prometheus DEVICE-FILE --output-dir DIR
// [--exporter HOST:PORT] [--snmp-exporter-format current|0.21] [--include-secrets].
class ExportOptions
{
public:
    ExportOptions();
    QList<QCommandLineOption> options() const;
    // Whether any option but --export-prometheus itself is given.
    bool anySet(const QCommandLineParser &parser) const;

    // Runs the export and returns its exit status; usage problems go through usageError.
    int run(const QCommandLineParser &parser, int (*usageError)(const QString &)) const;

    const QCommandLineOption exportPrometheus;

private:
    QCommandLineOption m_outputDir;
    QCommandLineOption m_exporter;
    QCommandLineOption m_format;
    QCommandLineOption m_includeSecrets;
};
