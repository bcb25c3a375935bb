#include "SettingsLocation.h"

#include <QSettings>

namespace SettingsLocation
{

std::unique_ptr<QSettings> open()
{
    std::unique_ptr<QSettings> settings;
#ifdef Q_OS_WIN
    settings = std::make_unique<QSettings>(
        QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Kelvane\\OSL"), QSettings::NativeFormat);
#else
    settings = std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                           QStringLiteral("Kelvane"), QStringLiteral("OSL"));
#endif
    settings->setFallbacksEnabled(false);
    return settings;
}

} // namespace SettingsLocation
