#pragma once

#include "HistorySeries.h"

#include <QByteArray>

#include <cstdint>

// The CSV export of the history window: a header line "time,in bit/s,out bit/s" and one line
// per sample ending in (from, to], the time (the end of the sample) in ISO 8601 local time with its
// UTC offset, the averages in bit/s with up to 15 significant digits; an unknown value is an
// empty field. "," separated, LF line ends, UTF-8.
namespace HistoryCsv
{

QByteArray bytes(const HistorySeries &series, std::int64_t from, std::int64_t to);

} // namespace HistoryCsv
