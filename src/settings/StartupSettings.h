#pragma once

#include <QString>
#include <QStringView>

#include <functional>

class SettingsStore;

// Applies one stored value: sets the control that shows it, matching the text with
// SettingValues (or colourFromText for colours). May throw OstralineError for a text that
// cannot be converted.
using ApplySetting = std::function<void(QStringView name, const QString &text)>;

// The main window's start-up read of the eighteen values, in SettingsKeys::StartupOrder:
// the defaults of "highvalue" and "lowvalue" are both written (when absent) before either is
// applied; every other value is ensured and applied one at a time, so a handler that a
// value's application runs sees the values before it already applied. Each value is applied
// with the text stored when start-up began (or its default when it was absent), even when a
// handler run for an earlier value has stored over it meanwhile.
//
// Errors go to the general error report, and each costs only its own value: a text that
// apply() cannot convert, or a stored value that is not a text (reported by name), leaves its
// control in its initial state; every other value is still applied, and nothing stored is
// overwritten by a default. A store that cannot be written is reported once (see
// SettingsStore::write); absent values are then applied with their defaults all the same.
// Returns false when the store failed to read or write a value.
bool applyStartupSettings(SettingsStore &store, const ApplySetting &apply);

// The values beyond the eighteen (SettingsKeys::ExtensionOrder), ensured and applied one at a
// time like them; start-up runs it after applyStartupSettings. Errors as there.
bool applyExtensionSettings(SettingsStore &store, const ApplySetting &apply);
