#include "SettingsStore.h"

#include "ErrorReport.h"
#include "SettingsKeys.h"
#include "SettingsLocation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

namespace
{

// An INI file and its folder are created when missing, the counterpart of creating the
// registry key. Failures are left to show at the first write.
void createIniFile(const QSettings &settings)
{
    if (settings.format() != QSettings::IniFormat)
        return;
    const QString path = settings.fileName();
    if (QFileInfo::exists(path))
        return;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Append))
        file.close();
}

// Separators would turn a value name into a sub-key; such names are refused outright.
void checkName(QStringView name)
{
    if (name.isEmpty() || name.contains(u'/') || name.contains(u'\\'))
        throw OstralineError(QStringLiteral("'%1' is not a valid value name").arg(name));
}

} // namespace

SettingsStore::SettingsStore() : m_settings(SettingsLocation::open())
{
    createIniFile(*m_settings);
}

SettingsStore::SettingsStore(const QString &iniPath)
    : m_settings(std::make_unique<QSettings>(iniPath, QSettings::IniFormat))
{
    createIniFile(*m_settings);
}

SettingsStore::~SettingsStore() = default;

bool SettingsStore::exists(QStringView name) const
{
    checkName(name);
    return m_settings->contains(name);
}

QString SettingsStore::read(QStringView name) const
{
    checkName(name);
    const QVariant value = m_settings->value(name);
    if (!value.isValid())
        return {};
    if (value.typeId() != QMetaType::QString)
        throw OstralineError(QStringLiteral("Invalid data type for '%1'").arg(name));
    return value.toString();
}

void SettingsStore::write(QStringView name, const QString &text)
{
    checkName(name);
    m_settings->setValue(name, text);
    m_settings->sync();
    if (m_settings->status() != QSettings::NoError)
        throw OstralineError(QStringLiteral("Failed to set data for '%1'").arg(name));
}

QString SettingsStore::location() const
{
    return m_settings->fileName();
}

void ensure(SettingsStore &store, QStringView name, const QString &defaultText)
{
    if (!store.exists(name))
        store.write(name, defaultText);
}

QString ensureAndRead(SettingsStore &store, QStringView name, const QString &defaultText)
{
    ensure(store, name, defaultText);
    return store.read(name);
}

QString ensureAndRead(SettingsStore &store, QStringView name)
{
    return ensureAndRead(store, name, SettingsKeys::defaultText(name));
}
