// The main window's side of interface discovery: the menu item, the shared device-file
// chooser in save mode and the load of the saved file.

#include "MainWindow.h"

#include "AgentProfileSource.h"
#include "DeviceFileChooser.h"
#include "DiscoveryDialog.h"

void TForm1::loadDeviceFile(const QString &path)
{
    m_deviceFilePath = path;
    m_loadSource = QStringLiteral("param");
    Button8Click();
}

void TForm1::Discoverinterfaces1Click()
{
    if (!m_discoveryDialog) {
        m_discoveryDialog = new DiscoveryDialog(
            [this](const QString &name) { return m_deviceFileChooser->chooseToSave(name); },
            [this](const QString &path) { loadDeviceFile(path); }, this);
        m_discoveryDialog->setAgentProfiles(&m_agents->store());
    }
    // Not modal: polling and the window go on while the agent is walked.
    m_discoveryDialog->show();
    m_discoveryDialog->raise();
    m_discoveryDialog->activateWindow();
}
