#include "DeviceFileChooser.h"

#include <QFileDialog>

#include <utility>

DeviceFileChooser::DeviceFileChooser(QWidget *dialogParent) : m_dialogParent(dialogParent) {}

DeviceFileChooser::~DeviceFileChooser() = default;

QFileDialog &DeviceFileChooser::dialog()
{
    if (!m_dialog) {
        m_dialog = std::make_unique<QFileDialog>(m_dialogParent);
        m_dialog->setNameFilters(
            {QStringLiteral("Device files (*.dev)"), QStringLiteral("All files (*)")});
        m_dialog->setFileMode(QFileDialog::ExistingFile);
        m_dialog->setAcceptMode(QFileDialog::AcceptOpen);
    }
    return *m_dialog;
}

QString DeviceFileChooser::remember(const QString &chosen)
{
    if (!chosen.isEmpty())
        m_lastChosen = chosen;
    return chosen;
}

QString DeviceFileChooser::chooseToOpen()
{
    if (m_replacement)
        return remember(m_replacement());
    QFileDialog &open = dialog();
    if (!m_lastChosen.isEmpty())
        open.selectFile(m_lastChosen);
    if (open.exec() == QDialog::Accepted && !open.selectedFiles().isEmpty())
        return remember(open.selectedFiles().first());
    return QString();
}

QString DeviceFileChooser::chooseToSave(const QString &proposedName)
{
    if (m_replacement)
        return remember(m_replacement());
    // The shared dialog, switched to saving for this one use.
    QFileDialog &save = dialog();
    save.setAcceptMode(QFileDialog::AcceptSave);
    save.setFileMode(QFileDialog::AnyFile);
    save.setDefaultSuffix(QStringLiteral("dev"));
    save.selectFile(proposedName);
    QString chosen;
    if (save.exec() == QDialog::Accepted && !save.selectedFiles().isEmpty())
        chosen = save.selectedFiles().first();
    save.setDefaultSuffix(QString());
    save.setFileMode(QFileDialog::ExistingFile);
    save.setAcceptMode(QFileDialog::AcceptOpen);
    return remember(chosen);
}

std::function<QString()> DeviceFileChooser::replace(std::function<QString()> chooser)
{
    return std::exchange(m_replacement, std::move(chooser));
}
