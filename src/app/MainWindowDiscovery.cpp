// The main window's side of interface discovery: the menu item, the shared device-file
// chooser in save mode and the load of the saved file.

#include "MainWindow.h"


#include "DiscoveryDialog.h"

#include <QFileDialog>

QString TForm1::chooseDeviceFileToSave(const QString &proposedName)
{
    QString chosen;
    if (m_deviceFileChooser) {
        chosen = m_deviceFileChooser();
    } else {
        // The shared dialog, switched to saving for this one use.
        QFileDialog &dialog = deviceFileDialog();
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(QStringLiteral("dev"));
        dialog.selectFile(proposedName);
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            chosen = dialog.selectedFiles().first();
        dialog.setDefaultSuffix(QString());
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
    }
    if (!chosen.isEmpty())
        m_lastChosenDeviceFile = chosen;
    return chosen;
}

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
            [this](const QString &name) { return chooseDeviceFileToSave(name); },
            [this](const QString &path) { loadDeviceFile(path); }, this);
        m_discoveryDialog->setAgentProfiles(&agentProfileStore());
    }
    // Not modal: polling and the window go on while the agent is walked.
    m_discoveryDialog->show();
    m_discoveryDialog->raise();
    m_discoveryDialog->activateWindow();
}
