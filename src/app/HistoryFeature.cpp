#include "HistoryFeature.h"

#include "GraphBoard.h"
#include "GraphSlotControl.h"
#include "Histograph.h"
#include "HistoryStore.h"
#include "HistoryWindow.h"
#include "InterfaceTable.h"
#include "MainWindow.h"
#include "MenuMnemonics.h"
#include "PollRun.h"
#include "SettingsStore.h"

#include <QAction>
#include <QMenu>

HistoryFeature::HistoryFeature(TForm1 &window, const QString &folder)
    : QObject(&window), m_main(window), m_store(new HistoryStore(folder, this))
{
    m_store->setEnabled(
        HistoryStore::enabledBySetting(SettingsStore().read(HistoryStore::SettingName)));

    // Tools > "History...", placed after "Open log folder".
    if (QAction *anchor = window.action(QStringLiteral("Openlogfolder1"))) {
        for (QObject *owner : anchor->associatedObjects()) {
            if (auto *tools = qobject_cast<QMenu *>(owner)) {
                auto *item = new QAction(QStringLiteral("History..."), tools);
                item->setObjectName(QStringLiteral("History1"));
                tools->addAction(item);
                MenuMnemonics::assign(tools);
                connect(item, &QAction::triggered, this, [this] { open(0); });
                break;
            }
        }
    }
    for (int k = 1; k <= GraphSlotControl::SlotCount; ++k) {
        QMenu *menu = window.board().slot(k).SlotMenu;
        QAction *item = menu->addAction(QStringLiteral("History..."));
        item->setObjectName(QStringLiteral("History") + QString::number(k));
        MenuMnemonics::assign(menu);
        connect(item, &QAction::triggered, this, [this, k] { open(k); });
    }
    connect(&window.pollRun(), &PollRun::pollFinished, this, &HistoryFeature::onPollFinished);
    // A load: the window lists the interfaces of the new file, not those of the last poll.
    connect(&window, &TForm1::interfacesLoaded, this, [this] {
        m_lastPoll.clear();
        if (m_window)
            m_window->setLoaded(loadedInterfaces());
    });
    connect(m_store, &HistoryStore::written, this, [this](const PollResult &result) {
        if (m_window)
            m_window->onPollWritten(result);
    });
}

HistoryFeature::~HistoryFeature() = default;

HistoryWindow *HistoryFeature::window() const
{
    return m_window.data();
}

QList<InterfaceReading> HistoryFeature::loadedInterfaces() const
{
    // The latest poll's interfaces; before the first poll after a load, the loaded rows.
    QList<InterfaceReading> loaded = m_lastPoll.isEmpty() ? m_main.loadedInterfaces() : m_lastPoll;
    loaded.removeIf([](const InterfaceReading &r) { return r.address.isEmpty(); });
    return loaded;
}

void HistoryFeature::open(int slot)
{
    if (!m_window) {
        m_window = new HistoryWindow(m_store->loader(), &m_main);
        m_window->setAttribute(Qt::WA_DeleteOnClose);
    }
    // No wait for the writer: the window's reads run on the store's thread behind the polls
    // handed over before them.
    m_window->setLoaded(loadedInterfaces());
    if (slot >= 1 && slot <= GraphSlotControl::SlotCount) {
        const THistograph &graph = *m_main.board().slot(slot).Graph;
        m_window->setThresholds(graph.HighValue(), graph.LowValue());
        const InterfaceTable &table = m_main.interfaceTable();
        const QString address = table.cell(Col::IP, slot);
        if (!address.isEmpty())
            m_window->showInterface(address, table.cell(Col::Interface, slot));
    } else {
        const THistograph &graph = *m_main.board().slot(1).Graph;
        m_window->setThresholds(graph.HighValue(), graph.LowValue());
    }
    m_window->refresh();
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void HistoryFeature::onPollFinished(const PollResult &result)
{
    m_lastPoll = result.interfaces;
    m_store->onPollFinished(result);
}
