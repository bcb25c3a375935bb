#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <memory>

class QSettings;

// Named string values under the settings key. A store is opened at the start of a handler
// and closed at its end; no handle is kept between handlers. Every write reaches the disk
// before write() returns, so a crash loses nothing written before it.
//
// Value names are taken exactly, blanks and case included. A name may not be empty and may
// not contain "/" or "\", which the underlying key would read as a sub-key.
class SettingsStore
{
public:
    // Opens the platform's settings key (see SettingsLocation), creating it when missing.
    // Success is not checked: a key that cannot be opened reports every value absent, and
    // the first write fails.
    SettingsStore();
    // Opens the settings held in the INI file at iniPath, creating it when missing.
    explicit SettingsStore(const QString &iniPath);
    ~SettingsStore();

    SettingsStore(const SettingsStore &) = delete;
    SettingsStore &operator=(const SettingsStore &) = delete;

    bool exists(QStringView name) const;

    // The stored string; empty when the value is absent. Throws OstralineError
    // ("Invalid data type for 'name'", source valueSource(name)) when the value holds
    // something other than a string.
    QString read(QStringView name) const;

    // Creates or overwrites the value as a string and puts it on disk. Throws OstralineError
    // when it cannot be stored: "Failed to set data for 'name'", followed for a settings file
    // by the file and the system's reason, with the source FailureSource, so that a store that
    // cannot be written is reported once until a write works again. A file or folder without
    // its owner's write permission is not written, by any user.
    void write(QStringView name, const QString &text);

    // Error-report sources: the store as a whole, and one value that cannot be read.
    static constexpr QStringView FailureSource = u"settings store";
    static QString valueSource(QStringView name);

    // The INI file or registry key behind this store.
    QString location() const;

private:
    std::unique_ptr<QSettings> m_settings;
};

// While one lives, writes of the named values are skipped (write() returns at once). Start-up
// holds the values it could not read, so that the handlers it runs cannot store over what the
// operator wrote there.
class SettingsHold
{
public:
    explicit SettingsHold(const QStringList &names);
    ~SettingsHold();
    SettingsHold(const SettingsHold &) = delete;
    SettingsHold &operator=(const SettingsHold &) = delete;

    static bool isHeld(QStringView name);

private:
    QStringList m_names;
};

// Writes defaultText when the value is absent; an existing value is left as it is.
void ensure(SettingsStore &store, QStringView name, const QString &defaultText);

// Ensure, then read: the stored text, which is defaultText when the value was absent.
QString ensureAndRead(SettingsStore &store, QStringView name, const QString &defaultText);

// Ensure and read one of the eighteen values with its default from SettingsKeys.
QString ensureAndRead(SettingsStore &store, QStringView name);
