#include "SettingsKeys.h"

#include "ErrorReport.h"

namespace SettingsKeys
{

QString defaultText(QStringView name)
{
    for (const Setting &setting : StartupOrder) {
        if (setting.name == name)
            return setting.defaultText.toString();
    }
    for (const Setting &setting : ExtensionOrder) {
        if (setting.name == name)
            return setting.defaultText.toString();
    }
    for (const Setting &setting : FeatureValues) {
        if (setting.name == name)
            return setting.defaultText.toString();
    }
    throw OstralineError(QStringLiteral("'%1' is not a known setting").arg(name));
}

} // namespace SettingsKeys
