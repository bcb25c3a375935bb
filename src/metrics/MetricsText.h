#pragma once

#include <QByteArray>
#include <QString>

struct PollResult;

// The Prometheus text exposition format 0.0.4 of one finished poll.
//
// Per loaded interface (labels agent = the address text, ifIndex, ifDescr = the device
// file's description), with the names the SNMP exporter's IF-MIB module gives them:
// - ifHCInOctets/ifHCOutOctets (64-bit rows) or ifInOctets/ifOutOctets (32-bit rows):
//   counters of the last good reading; a row that never read anything has none;
// - ifInErrors, ifOutErrors, ifInDiscards, ifOutDiscards (counters) and ifAdminStatus,
//   ifOperStatus (gauges, 1 up, 2 down, ...): only while link health has them;
// - ifHighSpeed: the device file's bandwidth in Mbit/s, rounded.
// Ostraline's own:
// - ostraline_reading_up: 1 when a reading of the row arrived at this poll (a first reading
//   included), 0 when it failed or the row is no longer polled;
// - ostraline_utilisation_percent{direction="in|out|combined"}: of this poll, only for rows
//   whose rate this poll computed; a first reading (start, gap, jump, restart) has no rate,
//   so no sample, as the history stores unknown for it;
// - ostraline_last_poll_timestamp_seconds (Unix time) and ostraline_poll_duration_seconds.
// Two rows with the same three labels would make a scrape fail as a whole (duplicate
// series): only the first of them is written.
namespace MetricsText
{

inline constexpr char ContentType[] = "text/plain; version=0.0.4; charset=utf-8";

// The exposition of a poll; an empty text before the first one (result null).
QByteArray render(const PollResult *result);

// A label value as the format requires it: backslash, double quote and line feed escaped.
QByteArray escapeLabelValue(const QString &value);

// A sample value: shortest exact decimal, NaN, +Inf or -Inf.
QByteArray number(double value);

} // namespace MetricsText
