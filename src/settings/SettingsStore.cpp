#include "SettingsStore.h"

#include "ErrorReport.h"
#include "FileOwnership.h"
#include "SettingsKeys.h"
#include "SettingsLocation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include <cstring>

#ifndef Q_OS_WIN
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>
#endif

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
    FileOwnership::makePath(QFileInfo(path).absolutePath());
    const FileOwnership::Owner owner = FileOwnership::forFile(path);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        FileOwnership::apply(file.handle(), owner);
        file.close();
    }
}

// Why the INI file cannot be written, in the system's words; empty when nothing stands in the
// way. A file or folder without its owner's write permission counts as read-only for every
// user, the superuser included, as a read-only log does.
QString iniBlocker(const QString &path)
{
#ifdef Q_OS_WIN
    const QFileInfo info(path);
    if (info.isDir())
        return QStringLiteral("It is a folder.");
    if (info.exists() && !info.isWritable())
        return QStringLiteral("Access is denied.");
    return {};
#else
    const auto reason = [](int error) { return QString::fromLocal8Bit(std::strerror(error)); };
    const auto readOnly = [](const struct stat &info) {
        return info.st_uid == ::geteuid() && !(info.st_mode & S_IWUSR);
    };
    const QByteArray file = QFile::encodeName(path);
    struct stat info;
    if (::stat(file.constData(), &info) == 0) {
        if (S_ISDIR(info.st_mode))
            return reason(EISDIR);
        if (readOnly(info))
            return reason(EACCES);
        if (::access(file.constData(), W_OK) != 0)
            return reason(errno);
    } else if (errno != ENOENT) {
        return reason(errno);
    }
    // The file is replaced as a whole, so its folder must take a new file.
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    if (::stat(folder.constData(), &info) != 0)
        return reason(errno);
    if (readOnly(info))
        return reason(EACCES);
    if (::access(folder.constData(), W_OK) != 0)
        return reason(errno);
    return {};
#endif
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
        throw OstralineError(QStringLiteral("Invalid data type for '%1'").arg(name),
                             valueSource(name));
    return value.toString();
}

void SettingsStore::write(QStringView name, const QString &text)
{
    checkName(name);
    if (SettingsHold::isHeld(name))
        return;
    const bool ini = m_settings->format() == QSettings::IniFormat;
    const QString path = m_settings->fileName();
    const auto fail = [&](QString reason) {
        QString message = QStringLiteral("Failed to set data for '%1'").arg(name);
        if (ini) {
            if (reason.isEmpty())
                reason = QStringLiteral("The file could not be replaced.");
            message += QStringLiteral(". Cannot write settings file \"%1\". %2").arg(path, reason);
        }
        // Every later write fails the same way: reported once, until a write works again.
        throw OstralineError(message, FailureSource.toString());
    };

    if (ini) {
        if (const QString reason = iniBlocker(path); !reason.isEmpty())
            fail(reason);
    }
    // The superuser rewrites another user's file as that user's (see FileOwnership).
    const FileOwnership::Owner owner = ini ? FileOwnership::forFile(path) : FileOwnership::Owner{};
    m_settings->setValue(name, text);
    m_settings->sync();
    if (const int error = FileOwnership::applyTo(path, owner))
        fail(QStringLiteral("It could not be given back to its owner: %1")
                 .arg(QString::fromLocal8Bit(std::strerror(error))));
    // A file that did not parse cleanly (FormatError) is still rewritten; only the value
    // found on disk afterwards tells whether the write went through.
    bool stored = m_settings->status() != QSettings::AccessError;
    if (stored && ini) {
        const QSettings onDisk(path, QSettings::IniFormat);
        const QVariant value = onDisk.value(name);
        stored = value.typeId() == QMetaType::QString && value.toString() == text;
    }
    if (!stored)
        fail(ini ? iniBlocker(path) : QString());
    ErrorReport::recovered(FailureSource.toString());
    ErrorReport::recovered(valueSource(name));
}

QString SettingsStore::valueSource(QStringView name)
{
    return QStringLiteral("settings value ") + name;
}

QString SettingsStore::location() const
{
    return m_settings->fileName();
}

namespace
{
QStringList &heldNames()
{
    static QStringList names;
    return names;
}
} // namespace

SettingsHold::SettingsHold(const QStringList &names) : m_names(names)
{
    heldNames() += names;
}

SettingsHold::~SettingsHold()
{
    for (const QString &name : std::as_const(m_names))
        heldNames().removeOne(name);
}

bool SettingsHold::isHeld(QStringView name)
{
    return heldNames().contains(name);
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
