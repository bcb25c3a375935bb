#include "RememberFeature.h"

#include "ErrorReport.h"
#include "InterfaceList.h"
#include "LogRetention.h"
#include "MainWindow.h"
#include "MenuMnemonics.h"
#include "OptionsDialog.h"
#include "RememberOptionsPage.h"
#include "RememberSettings.h"
#include "SettingsStore.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QPushButton>

RememberFeature::RememberFeature(TForm1 &window, TForm3 &options)
    : QObject(&window), m_window(window), m_options(options)
{
    ErrorReport::guarded([this] { m_paths = RememberSettings::recentFiles(SettingsStore()); });

    // File > "Recent device files", right after "Open device file".
    // Its underlined letter is given with the menu's others (MenuMnemonics).
    m_recent = new QMenu(QStringLiteral("Recent device files"), &m_window);
    m_recent->setObjectName(QStringLiteral("Recentdevicefiles1"));
    if (QAction *open = m_window.action(QStringLiteral("Opendevicefile1"))) {
        const auto menus = m_window.findChildren<QMenu *>();
        for (QMenu *menu : menus) {
            const QList<QAction *> items = menu->actions();
            const qsizetype at = items.indexOf(open);
            if (at < 0)
                continue;
            menu->insertMenu(items.value(at + 1), m_recent);
            MenuMnemonics::assign(menu);
            break;
        }
    }
    fillMenu();
    connect(&m_window, &TForm1::deviceFileLoaded, this, &RememberFeature::remember);

    m_page = new RememberOptionsPage;
    readPage();
    m_options.addPage(QStringLiteral("Start and logs"), m_page);
    connect(&m_options, &QDialog::accepted, this, &RememberFeature::storePage);
    connect(&m_options, &QDialog::rejected, this, &RememberFeature::readPage);
    applyKeepDays();

    resumeAtStart();
}

void RememberFeature::remember(const QString &path)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    const QStringList paths = RememberSettings::withRecent(m_paths, absolute);
    if (paths == m_paths)
        return;
    m_paths = paths;
    store();
    fillMenu();
}

void RememberFeature::store()
{
    ErrorReport::guarded([this] {
        SettingsStore settings;
        RememberSettings::writeRecentFiles(settings, m_paths);
    });
}

void RememberFeature::fillMenu()
{
    m_recent->clear();
    if (m_paths.isEmpty()) {
        QAction *none = m_recent->addAction(QStringLiteral("(&none)"));
        none->setEnabled(false);
        return;
    }
    for (qsizetype i = 0; i < m_paths.size(); ++i) {
        const QString path = m_paths[i];
        // "&1 name", the folder in the tooltip; a "&" of the name is shown as itself.
        QString name = QFileInfo(path).fileName();
        name.replace(u'&', QStringLiteral("&&"));
        QAction *item = m_recent->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(name));
        item->setToolTip(QDir::toNativeSeparators(path));
        item->setData(path);
        connect(item, &QAction::triggered, this, [this, path] { openRecent(path); });
    }
    m_recent->setToolTipsVisible(true);
}

void RememberFeature::openRecent(const QString &path)
{
    if (!QFileInfo(path).isFile()) {
        m_paths.removeAll(path);
        store();
        fillMenu();
        m_window.setStatusText(
            0, QStringLiteral("The device file \"%1\" is gone; it was taken off the recent files.")
                   .arg(QDir::toNativeSeparators(path)));
        return;
    }
    m_window.loadDeviceFile(path);
}

void RememberFeature::readPage()
{
    ErrorReport::guarded([this] {
        const SettingsStore settings;
        m_page->setValues(RememberSettings::resumePolling(settings),
                          RememberSettings::logKeepDays(settings));
    });
}

void RememberFeature::storePage()
{
    ErrorReport::guarded([this] {
        SettingsStore settings;
        RememberSettings::writeResumePolling(settings, m_page->resumePolling());
        RememberSettings::writeLogKeepDays(settings, m_page->keepDays());
    });
    applyKeepDays();
}

void RememberFeature::applyKeepDays()
{
    LogRetention::setKeepDays(m_page->keepDays());
}

void RememberFeature::resumeAtStart()
{
    bool resume = false;
    ErrorReport::guarded([&] { resume = RememberSettings::resumePolling(SettingsStore()); });
    if (!resume)
        return;
    if (m_window.interfaceList().isEmpty() && !m_paths.isEmpty())
        openRecent(m_paths.first());
    if (!m_window.interfaceList().isEmpty())
        m_window.startButton()->click();
}
