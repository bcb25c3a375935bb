#include "HistoryFeature.h"

#include "GraphBoard.h"
#include "GraphSlotControl.h"
#include "Histograph.h"
#include "HistoryStore.h"
#include "HistoryWindow.h"
#include "InterfaceTable.h"
#include "MainWindow.h"
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
                connect(item, &QAction::triggered, this, [this] { open(0); });
                break;
            }
        }
    }
    for (int k = 1; k <= GraphSlotControl::SlotCount; ++k) {
        QAction *item = window.board().slot(k).SlotMenu->addAction(QStringLiteral("History..."));
        item->setObjectName(QStringLiteral("History") + QString::number(k));
        connect(item, &QAction::triggered, this, [this, k] { open(k); });
    }
    connect(&window.pollRun(), &PollRun::pollFinished, this, &HistoryFeature::onPollFinished);
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
    if (!m_lastPoll.isEmpty())
        return m_lastPoll;
    // Before the first poll: the loaded rows of the table.
    QList<InterfaceReading> loaded;
    const InterfaceTable &table = m_main.interfaceTable();
    for (int row = 1; row < InterfaceTable::RowCount; ++row) {
        if (table.cell(Col::IP, row).isEmpty())
            continue;
        InterfaceReading r;
        r.row = row;
        r.address = table.cell(Col::IP, row);
        r.ifIndex = table.cell(Col::Interface, row);
        r.description = table.cell(Col::Description, row);
        loaded.append(r);
    }
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
