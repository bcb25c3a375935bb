#include "InterfaceTable.h"

namespace
{

const char *const HeaderTexts[Col::Unnamed] = {
    "Number",       "IP",       "Interface",    "community",    "bandwidth",
    "orgin",        "inbitnew", "inbitold",     "indelta",      "indeltapers",
    "inutil",       "orgout",   "outbitnew",    "outbitold",    "outdelta",
    "outdeltapers", "oututil",  "combinedpers", "combinedutil", "description",
};

bool validCell(int column, int row)
{
    return column >= 0 && column < InterfaceTable::ColumnCount && row >= 0 &&
           row < InterfaceTable::RowCount;
}

} // namespace

QString Col::unitText(int column)
{
    switch (column) {
    case Number:
        return QStringLiteral("row number, 1 to 20");
    case IP:
        return QStringLiteral("address of the agent (host, optional :port)");
    case Interface:
        return QStringLiteral("SNMP interface index (ifIndex)");
    case Community:
        return QStringLiteral("SNMP community");
    case Bandwidth:
        return QStringLiteral("bits per second");
    case OrgIn:
    case OrgOut:
        return QStringLiteral("octets: the counter as the agent answered");
    case InBitNew:
    case InBitOld:
    case OutBitNew:
    case OutBitOld:
        return QStringLiteral("octets: counter reading (despite the name, not bits)");
    case InDelta:
    case OutDelta:
        return QStringLiteral("octets between the last two readings");
    case InDeltaPers:
    case OutDeltaPers:
    case CombinedPers:
        return QStringLiteral("octets per second (times 8 for bit/s)");
    case InUtil:
    case OutUtil:
    case CombinedUtil:
        return QStringLiteral("percent of bandwidth");
    case Description:
        return QStringLiteral("description from the device file");
    default:
        return QString();
    }
}

InterfaceTable::InterfaceTable(QObject *parent) : QAbstractTableModel(parent) {}

const QString &InterfaceTable::cell(int column, int row) const
{
    static const QString empty;
    return validCell(column, row) ? m_cells[std::size_t(row)][std::size_t(column)] : empty;
}

void InterfaceTable::setCell(int column, int row, const QString &text)
{
    if (!validCell(column, row) || column == Col::Unnamed)
        return;
    QString &target = m_cells[std::size_t(row)][std::size_t(column)];
    if (target == text)
        return;
    target = text;
    const QModelIndex at = index(row, column);
    Q_EMIT dataChanged(at, at, {Qt::DisplayRole});
}

LineEncoding InterfaceTable::rowEncoding(int row) const
{
    return row >= 0 && row < RowCount ? m_rowEncodings[std::size_t(row)] : LineEncoding::System;
}

void InterfaceTable::setRowEncoding(int row, LineEncoding encoding)
{
    if (row >= 0 && row < RowCount)
        m_rowEncodings[std::size_t(row)] = encoding;
}

QByteArray InterfaceTable::cellBytes(int column, int row) const
{
    return TextEncoding::encode(cell(column, row), rowEncoding(row));
}

QString InterfaceTable::headerText(int column)
{
    return column >= 0 && column < Col::Unnamed ? QString::fromLatin1(HeaderTexts[column])
                                                : QString();
}

void InterfaceTable::writeHeaderAndInitialValues()
{
    for (int column = 0; column < Col::Unnamed; ++column)
        setCell(column, 0, headerText(column));
    for (int row = 1; row <= InterfaceRows; ++row) {
        resetValueColumns(row);
        setCell(Col::Description, row, QString());
    }
}

void InterfaceTable::resetValueColumns(int row)
{
    for (int column = Col::FirstValue; column <= Col::LastValue; ++column)
        setCell(column, row, QStringLiteral("0"));
}

void InterfaceTable::resetComputedColumns(int row)
{
    for (int column = Col::FirstValue; column <= Col::LastValue; ++column) {
        if (column != Col::OrgIn && column != Col::OrgOut)
            setCell(column, row, QStringLiteral("0"));
    }
}

int InterfaceTable::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : RowCount;
}

int InterfaceTable::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant InterfaceTable::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    if (role == Qt::DisplayRole)
        return cell(index.column(), index.row());
    return {};
}

Qt::ItemFlags InterfaceTable::flags(const QModelIndex &index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}
