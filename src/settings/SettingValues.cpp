#include "SettingValues.h"

#include "ErrorReport.h"
#include "NumberFormat.h"
#include "PollCycle.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>

namespace SettingValues
{
namespace
{

// The text must be one of the choices written exactly as their decimal form; "06" or " 6"
// are not choices.
std::optional<int> choice(const QString &text, std::span<const int> choices)
{
    for (const int value : choices) {
        if (text == QString::number(value))
            return value;
    }
    return std::nullopt;
}

} // namespace

std::optional<bool> flag(const QString &text)
{
    if (text == u"yes")
        return true;
    if (text == u"no")
        return false;
    return std::nullopt;
}

QString flagText(bool on)
{
    return on ? QStringLiteral("yes") : QStringLiteral("no");
}

std::optional<ShownValue> shownValue(const QString &text)
{
    if (text == u"IN")
        return ShownValue::In;
    if (text == u"OUT")
        return ShownValue::Out;
    if (text == u"comb")
        return ShownValue::Combined;
    if (text == u"INOUT")
        return ShownValue::InOut;
    return std::nullopt;
}

QString shownValueText(ShownValue value)
{
    switch (value) {
    case ShownValue::In:
        return QStringLiteral("IN");
    case ShownValue::Out:
        return QStringLiteral("OUT");
    case ShownValue::InOut:
        return QStringLiteral("INOUT");
    case ShownValue::Combined:
        break;
    }
    return QStringLiteral("COMB");
}

std::optional<int> pollInterval(const QString &text)
{
    return choice(text, PollCycle::Intervals);
}

std::optional<int> graphMaximum(const QString &text)
{
    static const int choices[] = {10, 50, 100};
    return choice(text, choices);
}

std::optional<int> numberOfGraphs(const QString &text)
{
    static const int choices[] = {10, 15, 20};
    return choice(text, choices);
}

QString wholeText(int value)
{
    return QString::number(value);
}

std::optional<OnErrorMode> onErrors(const QString &text)
{
    if (text == u"stop")
        return OnErrorMode::Stop;
    if (text == u"zeroes")
        return OnErrorMode::Zeroes;
    return std::nullopt;
}

QString onErrorsText(OnErrorMode mode)
{
    return mode == OnErrorMode::Stop ? QStringLiteral("stop") : QStringLiteral("zeroes");
}

int threshold(const QString &text)
{
    const std::int64_t value = NumberFormat::parseWhole(text);
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
        throw OstralineError(QStringLiteral("'%1' is out of range for a threshold").arg(text));
    return int(value);
}

} // namespace SettingValues
