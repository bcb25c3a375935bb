#include "ExportCommand.h"

#include "AgentProfileFile.h"
#include "ErrorReport.h"
#include "ExportFolder.h"
#include "SnmpHost.h"
#include "YamlText.h"

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
    QList<LineEncoding> encodings;
    try {
        for (const QString &line :
             DeviceFile::readLines(deviceFile, DeviceFile::MaxInterfaces, &encodings))
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
    const PrometheusExport::Result result =
        PrometheusExport::build(rows, profiles, options, encodings);
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

    const QList<std::pair<QString, QByteArray>> files = {
        {QStringLiteral("snmp.yml"), result.snmpYml},
        {QStringLiteral("prometheus.yml"), result.prometheusYml}};
    for (const auto &[name, bytes] : files) {
        const QString problem = YamlText::check(bytes);
        if (!problem.isEmpty()) {
            print(summary, QStringLiteral("ostraline: %1 would not be read (%2); nothing was "
                                          "written.\n")
                               .arg(name, problem));
            return 1;
        }
    }
    ExportFolder folder;
    if (!folder.open(outputDir, &error)) {
        print(summary, error + QLatin1Char('\n'));
        return 1;
    }
    for (const auto &[name, bytes] : files) {
        if (!folder.write(name, bytes, &error)) {
            print(summary, error + QLatin1Char('\n'));
            return 1;
        }
    }
    // Read back what landed on the disk: a file that is not what was checked is no export.
    for (const auto &[name, bytes] : files) {
        QByteArray written;
        if (!folder.read(name, bytes.size(), &written, &error)) {
            print(summary, error + QLatin1Char('\n'));
            return 1;
        }
        const QString problem = written == bytes
                                    ? YamlText::check(written)
                                    : QStringLiteral("it differs from what was written");
        if (!problem.isEmpty()) {
            print(summary, QStringLiteral("ostraline: %1/%2 as read back: %3.\n")
                               .arg(QDir::toNativeSeparators(outputDir), name, problem));
            return 1;
        }
    }

    const bool current = options.format == PrometheusExport::Format::Current;
    QString text =
        QStringLiteral("%1: %2 agents, %3 interfaces, %4 jobs for the SNMP exporter "
                       "at %5 (snmp.yml in the %6 layout%7)\n")
            .arg(options.source, QString::number(result.agents), QString::number(result.interfaces),
                 QString::number(result.jobs), options.exporter,
                 current ? QStringLiteral("current") : QStringLiteral("0.21"),
                 options.formatReason.isEmpty() ? QString()
                                                : QStringLiteral(", ") + options.formatReason);
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
