#pragma once

#include "PrometheusExport.h"

#include <QString>

#include <cstdio>

// ostraline --export-prometheus DEVICEFILE --output-dir DIR: reads the device file and the
// agent profiles (the window's profile file), writes DIR/snmp.yml and DIR/prometheus.yml
// (see PrometheusExport and ExportFolder) and a summary to the stream.
namespace ExportCommand
{

// Exit status: 0 written; 1 nothing could be written (no device file, no profile file, no
// folder, no interface); 2 the device file or profiles ask for what cannot be exported (an
// agent without the credentials its version needs, a protocol the exporter lacks).
int run(const QString &deviceFile, const QString &outputDir,
        const PrometheusExport::Options &options, const QString &profileFile, FILE *summary);

// Whether text names the exporter as host:port (IPv4, [IPv6] or a name, with the port).
bool isExporterAddress(const QString &text);

} // namespace ExportCommand
