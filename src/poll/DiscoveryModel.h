#pragma once

#include "InterfaceDiscovery.h"

#include <QAbstractTableModel>
#include <QList>

// The interfaces found by a discovery, as a table with a check box per entry. At most
// Discovery::MaxPolled entries can be checked: checking one more is refused and reported by
// limitReached(), never cut silently. The bandwidth column can be edited.
class DiscoveryModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum ColumnIndex {
        IndexColumn,
        NameColumn,
        AliasColumn,
        TypeColumn,
        SpeedColumn,
        StatusColumn,
        Counters64Column,
        ColumnCount
    };

    explicit DiscoveryModel(QObject *parent = nullptr);

    // Replaces the entries; pre-checks those that are up and neither loopback nor virtual,
    // by index order, at most Discovery::MaxPolled.
    void setInterfaces(const QList<DiscoveredInterface> &interfaces);
    const QList<DiscoveredInterface> &interfaces() const { return m_entries; }

    bool isChecked(int row) const { return m_checked.value(row); }
    int checkedCount() const;
    // The checked entries in list order.
    QList<DiscoveredInterface> checkedInterfaces() const;
    // Whether a checked entry has no bandwidth yet.
    bool checkedHaveUnknownBandwidth() const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

Q_SIGNALS:
    void limitReached();
    void checkedChanged(int count);

private:
    QList<DiscoveredInterface> m_entries;
    QList<bool> m_checked;
};
