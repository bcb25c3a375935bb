#pragma once

#include <QString>
#include <QStringList>

#include <array>

// How a history file is laid out: its data sources, its step and its archives. Everything
// that other tools (rrdtool fetch/graph/info) see of the file is decided here.
namespace RrdLayout
{

// Data sources, all GAUGE, in file order. Octets and errors are per second; bandwidth is bit/s;
// linkdown is 1 while the link is down (oper down, admin up), 0 while up, unknown otherwise.
inline constexpr std::array<const char *, 8> DataSources{"inoctets",    "outoctets", "bandwidth",
                                                         "inerrors",    "outerrors", "indiscards",
                                                         "outdiscards", "linkdown"};
enum Source {
    InOctets,
    OutOctets,
    Bandwidth,
    InErrors,
    OutErrors,
    InDiscards,
    OutDiscards,
    LinkDown
};

// The file's step in seconds for a poll interval: the interval itself when it divides a
// minute (3, 6, 12, 30, 60 s), else 60 s (120 s polls fill two steps each).
unsigned long stepFor(int pollIntervalSeconds);

// The heartbeat of every data source: twice the poll interval, so that one missed poll is
// bridged and a longer gap reads as unknown.
unsigned long heartbeatFor(int pollIntervalSeconds);

// One archive of one consolidation function: `rows` rows of `secondsPerRow` seconds each.
struct Archive {
    unsigned long secondsPerRow;
    unsigned long rows;
};

// The archives kept for a file step (the same for AVERAGE and MAX), finest first:
// every step for 8 hours (3 days when the step is a minute), 1 minute for 3 days,
// 5 minutes for 5 weeks, 1 hour for 400 days. Resolutions not coarser than the step are left
// out.
QList<Archive> archivesFor(unsigned long step);

// The create arguments ("DS:..." and "RRA:..." texts) for a poll interval.
QStringList createArguments(int pollIntervalSeconds);

} // namespace RrdLayout
