#include "AlertsFeature.h"

#include "AlertsDialog.h"
#include "AlertsOptionsPage.h"
#include "ErrorReport.h"
#include "MainWindow.h"
#include "MenuMnemonics.h"
#include "OptionsDialog.h"
#include "PanelStatusBar.h"
#include "PollRun.h"
#include "SettingsStore.h"
#include "WindowRaiser.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPushButton>

AlertsFeature::AlertsFeature(TForm1 &window, TForm3 &options, const QString &filePath)
    : QObject(&window), m_window(window), m_options(options), m_centre(filePath)
{
    attach();
}

AlertsFeature::AlertsFeature(TForm1 &window, TForm3 &options, const QString &filePath,
                             const QDBusConnection &bus)
    : QObject(&window), m_window(window), m_options(options), m_centre(filePath, bus)
{
    attach();
}

void AlertsFeature::attach()
{
    m_centre.reloadSettings();

    m_page = new AlertsOptionsPage;
    ErrorReport::guarded([this] {
        SettingsStore store;
        m_page->setValues(AlertSettings::read(store));
    });
    m_options.addPage(QStringLiteral("Alerts"), m_page);
    connect(&m_options, &QDialog::accepted, this, &AlertsFeature::storePage);
    // Cancel reloads the stored values, as the dialog's own fields do; OK may also have
    // changed the high threshold or the on-error mode the conditions use.
    connect(&m_options, &QDialog::rejected, this, [this] {
        ErrorReport::guarded([this] {
            SettingsStore store;
            m_page->setValues(AlertSettings::read(store));
        });
    });

    // Tools > "Alerts...", after "Agents...".
    if (QAction *agents = m_window.action(QStringLiteral("Agents1"))) {
        const auto menus = m_window.findChildren<QMenu *>();
        for (QMenu *menu : menus) {
            const QList<QAction *> items = menu->actions();
            const qsizetype at = items.indexOf(agents);
            if (at < 0)
                continue;
            auto *item = new QAction(QStringLiteral("Alerts..."), menu);
            item->setObjectName(QStringLiteral("Alerts1"));
            connect(item, &QAction::triggered, this, &AlertsFeature::Alerts1Click);
            menu->insertAction(items.value(at + 1), item);
            MenuMnemonics::assign(menu);
            break;
        }
    }

    connect(&m_window.pollRun(), &PollRun::pollFinished, &m_centre, &AlertCentre::onPollFinished);
    connect(&m_window, &TForm1::interfacesLoaded, &m_centre, &AlertCentre::interfacesLoaded);
    // Start polling: ports must be seen up again before they count as down.
    connect(m_window.startButton(), &QPushButton::clicked, &m_centre, &AlertCentre::pollingStarted);
    if (QAction *start = m_window.action(QStringLiteral("Startpolling1")))
        connect(start, &QAction::triggered, &m_centre, &AlertCentre::pollingStarted);

    connect(&m_centre, &AlertCentre::statusMessage, this, [this](const QString &text) {
        if (auto *bar = qobject_cast<PanelStatusBar *>(m_window.statusBar()))
            bar->panel(0)->setText(text);
    });
    if (!m_centre.loadError().isEmpty() && m_centre.enabled())
        Q_EMIT m_centre.statusMessage(m_centre.loadError());
    connect(&m_centre, &AlertCentre::activated, this, &AlertsFeature::raiseWindow);
    connect(&m_centre, &AlertCentre::historyChanged, this, [this] {
        if (m_dialog)
            m_dialog->refresh();
    });
}

void AlertsFeature::storePage()
{
    ErrorReport::guarded([this] {
        SettingsStore store;
        AlertSettings::write(store, m_page->values());
    });
    m_centre.reloadSettings();
}

void AlertsFeature::Alerts1Click()
{
    if (!m_dialog)
        m_dialog = new AlertsDialog(m_centre.history(), &m_window);
    m_dialog->refresh();
    m_dialog->show();
    m_dialog->raise();
    m_dialog->activateWindow();
}

void AlertsFeature::raiseWindow()
{
    WindowRaiser::of(m_window).raise();
}
