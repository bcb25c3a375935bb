#pragma once

#include <QDialog>

class AlertHistory;
class QLineEdit;
class QSortFilterProxyModel;
class QStandardItemModel;
class QTableView;

// Tools > "Alerts...": the alert list, newest first (time, interface, condition, value, cleared
// at), with a filter that keeps the rows containing its text in any column (case ignored).
class AlertsDialog : public QDialog
{
    Q_OBJECT

public:
    explicit AlertsDialog(const AlertHistory &history, QWidget *parent = nullptr);

    // Rebuilds the rows from the history (the filter stays).
    void refresh();

    QLineEdit *filter() const { return m_filter; }
    QTableView *table() const { return m_table; }
    // The rows as shown (filtered), each as its column texts.
    QList<QStringList> shownRows() const;

private:
    const AlertHistory &m_history;
    QLineEdit *m_filter = nullptr;
    QTableView *m_table = nullptr;
    QStandardItemModel *m_model = nullptr;
    QSortFilterProxyModel *m_proxy = nullptr;
};
