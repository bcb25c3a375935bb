#pragma once

#include <QString>

#include <functional>
#include <memory>

class QFileDialog;
class QWidget;

// The program's one device-file chooser (File > Open, Tools > Edit device file, the Options
// dialog, the discovery's save): a file dialog made at its first use that remembers the last
// name chosen. A replacement function (tests, a later start's handover) answers in its place.
class DeviceFileChooser
{
public:
    // dialogParent: the window the dialog belongs to; it must outlive the chooser.
    explicit DeviceFileChooser(QWidget *dialogParent);
    ~DeviceFileChooser();

    // The file the user confirmed, or empty after a cancel.
    QString chooseToOpen();
    // The same in save mode, proposing a file name.
    QString chooseToSave(const QString &proposedName);
    // The last name chosen (a cancel keeps it), or empty.
    QString lastChosen() const { return m_lastChosen; }

    // Answers in place of the dialog from now on (none: the dialog again); returns the
    // replacement it had.
    std::function<QString()> replace(std::function<QString()> chooser);

private:
    QFileDialog &dialog();
    QString remember(const QString &chosen);

    QWidget *m_dialogParent;
    std::unique_ptr<QFileDialog> m_dialog;
    std::function<QString()> m_replacement;
    QString m_lastChosen;
};
