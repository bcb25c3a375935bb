#include "AlertsDialog.h"

#include "AlertHistory.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

namespace
{

QString timeText(const QDateTime &time)
{
    return time.isValid()
               ? QLocale::c().toString(time.toLocalTime(), QStringLiteral("yyyy-MM-dd HH:mm:ss"))
               : QString();
}

QString conditionText(const AlertEvent &event)
{
    QString text = AlertText::condition(event.condition);
    text[0] = text[0].toUpper();
    return text;
}

} // namespace

AlertsDialog::AlertsDialog(const AlertHistory &history, QWidget *parent)
    : QDialog(parent), m_history(history)
{
    setObjectName(QStringLiteral("AlertsDialog"));
    setWindowTitle(QStringLiteral("Alerts"));
    resize(720, 400);

    m_filter = new QLineEdit(this);
    m_filter->setObjectName(QStringLiteral("AlertsFilter"));
    m_filter->setPlaceholderText(QStringLiteral("Filter: interface, condition, value, time"));
    m_filter->setClearButtonEnabled(true);

    m_model = new QStandardItemModel(0, 5, this);
    m_model->setHorizontalHeaderLabels({QStringLiteral("Time"), QStringLiteral("Interface"),
                                        QStringLiteral("Condition"), QStringLiteral("Value"),
                                        QStringLiteral("Cleared at")});
    m_proxy = new QSortFilterProxyModel(this);
    m_proxy->setSourceModel(m_model);
    m_proxy->setFilterKeyColumn(-1);
    m_proxy->setFilterCaseSensitivity(Qt::CaseInsensitive);
    connect(m_filter, &QLineEdit::textChanged, m_proxy,
            &QSortFilterProxyModel::setFilterFixedString);

    m_table = new QTableView(this);
    m_table->setObjectName(QStringLiteral("AlertsTable"));
    m_table->setModel(m_proxy);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_filter);
    layout->addWidget(m_table);
    auto *note = new QLabel(
        QStringLiteral("The last %1 alerts, newest first.").arg(AlertHistory::MaxRows), this);
    layout->addWidget(note);
    refresh();
}

void AlertsDialog::refresh()
{
    m_model->removeRows(0, m_model->rowCount());
    for (const AlertHistory::Row &row : m_history.rows()) {
        const AlertEvent &e = row.event;
        QList<QStandardItem *> items = {
            new QStandardItem(timeText(e.time)),
            new QStandardItem(
                QStringLiteral("%1 (%2 #%3)").arg(e.interfaceName, e.address, e.ifIndex)),
            new QStandardItem(conditionText(e)), new QStandardItem(e.value),
            new QStandardItem(timeText(row.clearedAt))};
        m_model->appendRow(items);
    }
    m_table->resizeColumnsToContents();
}

QList<QStringList> AlertsDialog::shownRows() const
{
    QList<QStringList> rows;
    for (int r = 0; r < m_proxy->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < m_proxy->columnCount(); ++c)
            cells << m_proxy->index(r, c).data().toString();
        rows << cells;
    }
    return rows;
}
