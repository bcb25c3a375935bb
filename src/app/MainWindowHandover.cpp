// The main window's side of a later start: come to the front, load the file it was given.

#include "MainWindow.h"

#include "DeviceFileChooser.h"

#include <QApplication>
#include <QTimer>

#include <utility>

void TForm1::takeOverStart(const QString &deviceFile)
{
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
    if (deviceFile.isEmpty())
        return;
    // File > Open cannot be used while a modal window is up (the open dialog included):
    // the file waits until it is closed.
    if (QWidget *modal = QApplication::activeModalWidget()) {
        modal->raise();
        modal->activateWindow();
        QTimer::singleShot(500, this, [this, deviceFile] { takeOverStart(deviceFile); });
        return;
    }
    // The load File > Open runs, with this file as the one chosen in its dialog.
    std::function<QString()> chooser =
        m_deviceFileChooser->replace([deviceFile] { return deviceFile; });
    m_loadSource.clear();
    Button8Click();
    m_deviceFileChooser->replace(std::move(chooser));
}
