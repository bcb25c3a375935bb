#pragma once

#include <QString>
#include <QStringView>

class TForm1;

// The stored settings applied to the main window as it starts: each value selects or checks
// the control of the window's hidden "Options" page that holds it (whose handler then applies
// and stores it), or goes to the board, the poll or the status bar directly. The order and the
// handling of faults are applyStartupSettings' and applyExtensionSettings'.
class StoredSettingsApplier
{
public:
    explicit StoredSettingsApplier(TForm1 &window) : m_window(window) {}

    // Reads the settings store and applies every value it holds (or its default).
    void applyAll();

private:
    void apply(QStringView name, const QString &text);

    TForm1 &m_window;
};
