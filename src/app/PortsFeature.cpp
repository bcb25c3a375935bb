#include "PortsFeature.h"

#include "MainWindow.h"
#include "MenuMnemonics.h"
#include "PollRun.h"
#include "PortsModel.h"

#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QVBoxLayout>

PortsFeature::PortsFeature(TForm1 &window) : QObject(&window), m_main(window)
{
    m_model = new PortsModel(this);
    connect(&m_main.pollRun(), &PollRun::pollFinished, m_model, &PortsModel::setResult);
    connect(&m_main, &TForm1::deviceFileLoaded, m_model, &PortsModel::clear);

    // View > "Ports", right after "Show More".
    if (QAction *more = m_main.action(QStringLiteral("ShowMore1"))) {
        const auto menus = m_main.findChildren<QMenu *>();
        for (QMenu *menu : menus) {
            const QList<QAction *> items = menu->actions();
            const qsizetype at = items.indexOf(more);
            if (at < 0)
                continue;
            auto *item = new QAction(QStringLiteral("Ports"), menu);
            item->setObjectName(QStringLiteral("Ports1"));
            connect(item, &QAction::triggered, this, &PortsFeature::open);
            menu->insertAction(items.value(at + 1), item);
            MenuMnemonics::assign(menu);
            break;
        }
    }
}

void PortsFeature::open()
{
    if (!m_window) {
        auto *window = new QWidget(&m_main, Qt::Window);
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->setObjectName(QStringLiteral("PortsWindow"));
        window->setWindowTitle(QStringLiteral("Ports"));
        auto *proxy = new QSortFilterProxyModel(window);
        proxy->setSourceModel(m_model);
        proxy->setSortRole(PortsModel::SortRole);
        auto *table = new QTableView(window);
        table->setModel(proxy);
        table->setSortingEnabled(true);
        table->sortByColumn(-1, Qt::AscendingOrder); // poll order until a header is clicked
        table->setSelectionBehavior(QAbstractItemView::SelectRows);
        table->setEditTriggers(QAbstractItemView::NoEditTriggers);
        table->verticalHeader()->hide();
        table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
        table->horizontalHeader()->setStretchLastSection(true);
        auto *note = new QLabel(
            QStringLiteral("The latest poll of every loaded interface; click a heading to sort. "
                           "Filled in by the first poll after a device file is loaded."),
            window);
        note->setWordWrap(true);
        auto *layout = new QVBoxLayout(window);
        layout->addWidget(table, 1);
        layout->addWidget(note);
        window->resize(1100, 420);
        m_window = window;
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}
