// The main window's side of a later start: come to the front, load the file it was given.

#include "MainWindow.h"

#include "DeviceFileChooser.h"
#include "WindowRaiser.h"

#include <QApplication>

#include <utility>

bool TForm1::takeOverStart(const QString &deviceFile)
{
    WindowRaiser::of(*this).raise();
    if (deviceFile.isEmpty())
        return true;
    // File > Open cannot be used while a modal window is up (the open dialog included):
    // the file waits until it is closed (the hand-over offers it again).
    if (QApplication::activeModalWidget())
        return false;
    // The load File > Open runs, with this file as the one chosen in its dialog.
    std::function<QString()> chooser =
        m_deviceFileChooser->replace([deviceFile] { return deviceFile; });
    m_loadSource.clear();
    Button8Click();
    m_deviceFileChooser->replace(std::move(chooser));
    return true;
}
