#pragma once

#include "PollResult.h"

#include <QAbstractTableModel>
#include <QDateTime>
#include <QHash>
#include <QList>

// The "Ports" table: one row per loaded interface of the latest poll, in the operator's units,
// made from the typed poll result alone. Qt::DisplayRole gives the text, SortRole the value to
// sort by (numbers as numbers, unknown lowest). The community is not a column.
class PortsModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column {
        Description,
        Address,
        IfIndex,
        State,
        In,
        Out,
        InUtilisation,
        OutUtilisation,
        Errors,
        Discards,
        Counters,
        LastReading,
        ColumnCount
    };
    static constexpr int SortRole = Qt::UserRole;

    explicit PortsModel(QObject *parent = nullptr);

    // The rows of this poll; the time of each interface's last good reading is kept across
    // polls (and forgotten by clear()).
    void setResult(const PollResult &result);
    // No rows: another device file was loaded.
    void clear();

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // The words of the State column: "not polled", "no reading", "first reading", or the link
    // state ("up", "down", "disabled", "testing", ...) when link health read it, else "read".
    static QString stateText(const InterfaceReading &reading);

private:
    struct Row {
        InterfaceReading reading;
        QDateTime lastGood; // invalid: never read in this run
    };
    QVariant display(const Row &row, int column) const;
    QVariant sortValue(const Row &row, int column) const;

    QList<Row> m_rows;
    QHash<QString, QDateTime> m_lastGood; // by address and ifIndex
};
