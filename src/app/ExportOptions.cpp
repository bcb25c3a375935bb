#include "ExportOptions.h"

#include "AgentProfileFile.h"
#include "ExportCommand.h"
#include "InstalledExporter.h"

#include <QCommandLineParser>

ExportOptions::ExportOptions()
    : exportPrometheus(QStringLiteral("export-prometheus"),
                       QStringLiteral("Write a Prometheus and SNMP exporter configuration for the "
                                      "agents of DEVICE-FILE (needs --output-dir)."),
                       QStringLiteral("DEVICE-FILE")),
      m_outputDir(QStringLiteral("output-dir"),
                  QStringLiteral("Folder for snmp.yml and prometheus.yml (created private)."),
                  QStringLiteral("DIR")),
      m_exporter(QStringLiteral("exporter"),
                 QStringLiteral("Where Prometheus reaches the SNMP exporter (default: "
                                "127.0.0.1:9116)."),
                 QStringLiteral("HOST:PORT"), QStringLiteral("127.0.0.1:9116")),
      m_format(QStringLiteral("snmp-exporter-format"),
               QStringLiteral("current (SNMP exporter 0.23 and later) or 0.21 (the older "
                              "per-module auth, as Debian 12's exporter reads). Default: the "
                              "layout of the SNMP exporter installed here, else current."),
               QStringLiteral("FORMAT")),
      m_includeSecrets(QStringLiteral("include-secrets"),
                       QStringLiteral("Write the v3 passphrases into snmp.yml instead of "
                                      "${OSTRALINE_...} placeholders."))
{
}

QList<QCommandLineOption> ExportOptions::options() const
{
    return {exportPrometheus, m_outputDir, m_exporter, m_format, m_includeSecrets};
}

bool ExportOptions::anySet(const QCommandLineParser &parser) const
{
    return parser.isSet(m_outputDir) || parser.isSet(m_exporter) || parser.isSet(m_format) ||
           parser.isSet(m_includeSecrets);
}

int ExportOptions::run(const QCommandLineParser &parser, int (*usageError)(const QString &)) const
{
    if (!parser.positionalArguments().isEmpty())
        return usageError(
            QStringLiteral("--export-prometheus takes the device file as its value."));
    const QString deviceFile = parser.value(exportPrometheus);
    const QString outputDir = parser.value(m_outputDir);
    if (deviceFile.isEmpty())
        return usageError(QStringLiteral("--export-prometheus needs a device file."));
    if (outputDir.isEmpty())
        return usageError(QStringLiteral("--export-prometheus needs --output-dir DIR."));
    PrometheusExport::Options options;
    options.exporter = parser.value(m_exporter);
    if (!ExportCommand::isExporterAddress(options.exporter))
        return usageError(QStringLiteral("--exporter must be HOST:PORT, such as 127.0.0.1:9116."));
    const QString format = parser.value(m_format);
    if (!parser.isSet(m_format))
        InstalledExporter::chooseFormat(
            InstalledExporter::find(QString::fromLocal8Bit(qgetenv("PATH"))), &options);
    else if (format == QLatin1String("current"))
        options.format = PrometheusExport::Format::Current;
    else if (format == QLatin1String("0.21"))
        options.format = PrometheusExport::Format::V0_21;
    else
        return usageError(QStringLiteral("--snmp-exporter-format must be current or 0.21."));
    options.includeSecrets = parser.isSet(m_includeSecrets);
    return ExportCommand::run(deviceFile, outputDir, options, AgentProfileFile::defaultPath(),
                              stderr);
}
