#include "AlertEvent.h"

#include <array>

namespace
{

constexpr std::array<QStringView, 4> ConditionTexts = {u"busy", u"down", u"silent", u"flapping"};

} // namespace

QString AlertEvent::key() const
{
    return address + QLatin1Char('#') + ifIndex + QLatin1Char('/') +
           AlertText::condition(condition);
}

QString AlertEvent::summary() const
{
    if (state == AlertState::Cleared)
        return interfaceName + QStringLiteral(" is back to normal");
    return interfaceName + QStringLiteral(" is ") + AlertText::condition(condition);
}

namespace AlertText
{

QString condition(AlertCondition condition)
{
    return ConditionTexts[static_cast<std::size_t>(condition)].toString();
}

QString state(AlertState state)
{
    return state == AlertState::Raised ? QStringLiteral("raised") : QStringLiteral("cleared");
}

bool parseCondition(const QString &text, AlertCondition *condition)
{
    for (std::size_t i = 0; i < ConditionTexts.size(); ++i) {
        if (text == ConditionTexts[i]) {
            *condition = static_cast<AlertCondition>(i);
            return true;
        }
    }
    return false;
}

bool parseState(const QString &text, AlertState *state)
{
    if (text == u"raised")
        *state = AlertState::Raised;
    else if (text == u"cleared")
        *state = AlertState::Cleared;
    else
        return false;
    return true;
}

} // namespace AlertText
