#pragma once

#include "MaxInterfaces.h"
#include "TextEncoding.h"

#include <QAbstractTableModel>
#include <QString>

#include <array>

// Column indices of the interface table. Column 20 has no header and always stays empty.
namespace Col
{
enum : int {
    Number = 0,
    IP,
    Interface,
    Community,
    Bandwidth,
    OrgIn,
    InBitNew,
    InBitOld,
    InDelta,
    InDeltaPers,
    InUtil,
    OrgOut,
    OutBitNew,
    OutBitOld,
    OutDelta,
    OutDeltaPers,
    OutUtil,
    CombinedPers,
    CombinedUtil,
    Description,
    Unnamed,
};
inline constexpr int FirstValue = OrgIn; // value columns 5 to 18
inline constexpr int LastValue = CombinedUtil;

// What a column's values are, in words with their unit, for the header cell's tooltip
// ("octets per second", "percent of bandwidth"); "" for column 20 and out-of-range columns.
QString unitText(int column);
} // namespace Col

// The single store of everything known about the monitored interfaces: a fixed grid of
// 21 rows (row 0 the header, rows 1 to 20 the interfaces) by 21 columns, every cell text.
// Access is always (column, row). The grid is also a read-only item model, so the main
// window's table shows the cells themselves rather than a copy.
class InterfaceTable : public QAbstractTableModel
{
    Q_OBJECT

public:
    static constexpr int RowCount = MaxInterfaces + 1; // the header row, then the interfaces
    static constexpr int ColumnCount = 21;
    static constexpr int InterfaceRows = MaxInterfaces;

    explicit InterfaceTable(QObject *parent = nullptr);

    const QString &cell(int column, int row) const;
    void setCell(int column, int row, const QString &text);

    // How a row's texts were read from the device file (System for a row never loaded).
    LineEncoding rowEncoding(int row) const;
    void setRowEncoding(int row, LineEncoding encoding);
    // A cell's bytes in its row's encoding: what goes on the wire and into the logs.
    QByteArray cellBytes(int column, int row) const;

    // Row 0 gets the 20 header texts; rows 1 to 20 get "0" in columns 5 to 18 and an
    // empty description. Identity columns 0 to 4 are left as they are (empty at start).
    void writeHeaderAndInitialValues();

    // Sets columns 5 to 18 of one row to "0".
    void resetValueColumns(int row);
    // The twelve computed cells (new, old, delta, rate, utilisation of both directions and
    // combined) of one row to "0"; the raw readings "orgin" and "orgout" are kept.
    void resetComputedColumns(int row);

    static QString headerText(int column);

    // QAbstractTableModel
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    std::array<std::array<QString, ColumnCount>, RowCount> m_cells; // [row][column]
    std::array<LineEncoding, RowCount> m_rowEncodings{};
};
