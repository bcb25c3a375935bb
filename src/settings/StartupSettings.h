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
// read; every other value is ensured, read and applied one at a time, so a handler that a
// value's application runs sees the values read before it already applied.
//
// Errors go to the general error report. A text that apply() cannot convert is reported
// and the remaining values are still applied; the control keeps its state. A store that
// cannot be read or written is reported once and ends the sequence, leaving the remaining
// controls in their initial state. Returns false when the store failed.
bool applyStartupSettings(SettingsStore &store, const ApplySetting &apply);
