#include "InstalledExporter.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

namespace InstalledExporter
{

QString Found::versionText() const
{
    return QStringLiteral("%1.%2.%3").arg(major).arg(minor).arg(patch);
}

std::optional<Found> parseVersion(const QByteArray &text)
{
    static const QRegularExpression version(
        QStringLiteral("^snmp_exporter, version (\\d{1,4})\\.(\\d{1,4})\\.(\\d{1,4})\\b"),
        QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = version.match(QString::fromUtf8(text.left(4096)));
    if (!match.hasMatch())
        return std::nullopt;
    Found found;
    found.major = match.captured(1).toInt();
    found.minor = match.captured(2).toInt();
    found.patch = match.captured(3).toInt();
    return found;
}

std::optional<Found> find(const QString &searchPath, int timeoutMs)
{
    const QStringList folders = searchPath.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    if (folders.isEmpty())
        return std::nullopt;
    for (const QString &name :
         {QStringLiteral("prometheus-snmp-exporter"), QStringLiteral("snmp_exporter")}) {
        const QString program = QStandardPaths::findExecutable(name, folders);
        if (program.isEmpty())
            continue;
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.setStandardInputFile(QProcess::nullDevice());
        process.start(program, {QStringLiteral("--version")});
        if (!process.waitForStarted(timeoutMs))
            return std::nullopt;
        if (!process.waitForFinished(timeoutMs)) {
            process.kill();
            process.waitForFinished(1000);
            return std::nullopt;
        }
        std::optional<Found> found = parseVersion(process.readAll());
        if (found)
            found->program = program;
        return found;
    }
    return std::nullopt;
}

void chooseFormat(const std::optional<Found> &found, PrometheusExport::Options *options)
{
    if (!found) {
        options->format = PrometheusExport::Format::Current;
        options->formatReason = QStringLiteral("no SNMP exporter found that tells its version");
        return;
    }
    const bool old = found->major == 0 && found->minor < 23;
    options->format = old ? PrometheusExport::Format::V0_21 : PrometheusExport::Format::Current;
    options->formatReason =
        QStringLiteral("as %1 %2 here reads").arg(found->program, found->versionText());
}

} // namespace InstalledExporter
