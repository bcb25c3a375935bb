#include "BitRateText.h"

#include "RateFormat.h"

#include <cmath>

namespace BitRateText
{

QString format(double bitsPerSecond, const QLocale &locale)
{
    if (std::isnan(bitsPerSecond))
        return QStringLiteral("unknown");
    return RateFormat::bitRate(bitsPerSecond, locale);
}

} // namespace BitRateText
