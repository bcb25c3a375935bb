#include "ExportCommand.h"

#include "AgentProfileFile.h"
#include "ErrorReport.h"
#include "ExportFolder.h"
#include "SnmpHost.h"

#include <QDir>

namespace ExportCommand
{
namespace
{

void print(FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    std::fflush(stream);
}

} // namespace

bool isExporterAddress(const QString &text)
{
    if (!SnmpHost::parse(text).isValid())
        return false;
    // The port must be written out: a bare address would mean SNMP's 161.
    return text.startsWith(QLatin1Char('[')) ? text.contains(QLatin1String("]:"))
                                             : text.count(QLatin1Char(':')) == 1;
}

int run(const QString &deviceFile, const QString &outputDir,
        const PrometheusExport::Options &givenOptions, const QString &profileFile, FILE *summary)
{
    QList<DeviceFile::Fields> rows;
    try {
        for (const QString &line : DeviceFile::readLines(deviceFile, DeviceFile::MaxInterfaces))
            rows.append(DeviceFile::splitFields(line));
    } catch (const OstralineError &error) {
        print(summary, error.message() + QLatin1Char('\n'));
        return 1;
    }
    AgentProfiles profiles;
    QString error;
    if (!AgentProfileFile::load(profileFile, &profiles, &error)) {
        print(summary, error + QLatin1Char('\n'));
        return 1;
    }

    PrometheusExport::Options options = givenOptions;
    options.source = DeviceFile::fileNamePart(deviceFile);
    const PrometheusExport::Result result = PrometheusExport::build(rows, profiles, options);
    for (const QString &note : result.notes)
        print(summary, QStringLiteral("Note: ") + note + QLatin1Char('\n'));
    if (!result.problems.isEmpty()) {
        for (const QString &problem : result.problems)
            print(summary, QStringLiteral("ostraline: ") + problem + QLatin1Char('\n'));
        print(summary, QStringLiteral("Nothing was written.\n"));
        return 2;
    }
    if (result.interfaces == 0) {
        print(summary, QStringLiteral("%1 lists no interface of an agent; nothing was written.\n")
                           .arg(deviceFile));
        return 1;
    }

    ExportFolder folder;
    if (!folder.open(outputDir, &error) ||
        !folder.write(QStringLiteral("snmp.yml"), result.snmpYml, &error) ||
        !folder.write(QStringLiteral("prometheus.yml"), result.prometheusYml, &error)) {
        print(summary, error + QLatin1Char('\n'));
        return 1;
    }

    const bool current = options.format == PrometheusExport::Format::Current;
    QString text =
        QStringLiteral("%1: %2 agents, %3 interfaces, %4 jobs for the SNMP exporter "
                       "at %5 (snmp.yml in the %6 layout)\n")
            .arg(options.source, QString::number(result.agents), QString::number(result.interfaces),
                 QString::number(result.jobs), options.exporter,
                 current ? QStringLiteral("current") : QStringLiteral("0.21"));
    const QString dir = QDir::toNativeSeparators(outputDir);
    text += QStringLiteral("Written: %1/snmp.yml, %1/prometheus.yml\n").arg(dir);
    if (!result.variables.isEmpty()) {
        text += QStringLiteral("The passphrases are not in snmp.yml; set %1 where the exporter "
                               "runs, and ")
                    .arg(result.variables.join(QStringLiteral(", ")));
        text += current ? QStringLiteral("start it with --config.expand-environment-variables.\n")
                        : QStringLiteral("fill them in with envsubst before starting it (0.21 "
                                         "does not expand variables).\n");
    }
    print(summary, text);
    return 0;
}

} // namespace ExportCommand
