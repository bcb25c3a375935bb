// The main window's creation sequence: window state, stored settings, table, start file.

#include "MainWindow.h"

#include "InterfaceList.h"
#include "InterfaceTable.h"

#include "AgentProfileSource.h"
#include "AttachedWindows.h"
#include "StoredSettingsApplier.h"

#include <QPushButton>
#include <QScreen>
#include <QTableView>

void TForm1::FormCreate(const QString &commandLineFile)
{
    Button9->setText(QStringLiteral("Show &more"));
    StringGrid1->hide();
    setOuterSize(715, 550);

    m_list.clear();
    refreshInterfaceListView();
    Activegraphs();

    StoredSettingsApplier(*this).applyAll();
    m_agents->reload();

    m_table.writeHeaderAndInitialValues();

    if (!commandLineFile.isEmpty()) {
        m_deviceFilePath = commandLineFile;
        m_loadSource = QStringLiteral("param");
        Button8Click();
    } else if (startFileFlag()) {
        m_loadSource = QStringLiteral("startfile");
        Button8Click();
    }
}

void TForm1::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!m_splashShown) {
        m_splashShown = true;
        // Centred on the desktop at start.
        if (const QScreen *screen = this->screen())
            move(screen->availableGeometry().center() - rect().center());
        m_windows->showSplash();
    }
}
