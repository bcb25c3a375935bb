#pragma once

#include "PrometheusExport.h"

#include <QString>

#include <optional>

// The SNMP exporter installed on this machine, for the export's default layout: the first of
// prometheus-snmp-exporter (the distribution's name) and snmp_exporter found on the search
// path, asked for its --version.
namespace InstalledExporter
{

struct Found {
    QString program; // its path
    int major = 0;
    int minor = 0;
    int patch = 0;

    QString versionText() const;
};

// How long the exporter may take to tell its version before it is taken as not there.
inline constexpr int VersionTimeoutMs = 2000;

// The installed exporter with its version; empty when none is found or it does not tell a
// version within the timeout. searchPath: folders separated by ':' as in PATH.
std::optional<Found> find(const QString &searchPath, int timeoutMs = VersionTimeoutMs);

// The version in the exporter's --version text ("snmp_exporter, version 0.21.0 (branch: ...").
std::optional<Found> parseVersion(const QByteArray &text);

// The layout that exporter reads: 0.21 below 0.23, where "auths:" came, else the current one.
// Sets options->format and options->formatReason.
void chooseFormat(const std::optional<Found> &found, PrometheusExport::Options *options);

} // namespace InstalledExporter
