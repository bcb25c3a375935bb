#include "DiscoveryModel.h"

#include "RateFormat.h"

DiscoveryModel::DiscoveryModel(QObject *parent) : QAbstractTableModel(parent) {}

void DiscoveryModel::setInterfaces(const QList<DiscoveredInterface> &interfaces)
{
    beginResetModel();
    m_entries = interfaces;
    m_checked = Discovery::preCheckSelection(interfaces);
    const int checked = static_cast<int>(m_checked.count(true));
    endResetModel();
    Q_EMIT checkedChanged(checked);
}

int DiscoveryModel::checkedCount() const
{
    return static_cast<int>(m_checked.count(true));
}

QList<DiscoveredInterface> DiscoveryModel::checkedInterfaces() const
{
    QList<DiscoveredInterface> result;
    for (qsizetype row = 0; row < m_entries.size(); ++row) {
        if (m_checked[row])
            result.append(m_entries[row]);
    }
    return result;
}

bool DiscoveryModel::checkedHaveUnknownBandwidth() const
{
    for (qsizetype row = 0; row < m_entries.size(); ++row) {
        if (m_checked[row] && m_entries[row].bandwidth == 0)
            return true;
    }
    return false;
}

int DiscoveryModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_entries.size());
}

int DiscoveryModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant DiscoveryModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_entries.size())
        return {};
    const DiscoveredInterface &entry = m_entries[index.row()];
    if (role == Qt::CheckStateRole && index.column() == IndexColumn)
        return m_checked[index.row()] ? Qt::Checked : Qt::Unchecked;
    if (role == Qt::EditRole && index.column() == SpeedColumn)
        return QString::number(entry.bandwidth);
    if (role == Qt::ToolTipRole && index.column() == NameColumn)
        return entry.descr;
    if (role == Qt::ToolTipRole && index.column() == SpeedColumn) {
        if (entry.bandwidth == 0)
            return QStringLiteral("The agent reports no speed: enter the bandwidth in bit/s.");
        // The exact figure the device file gets.
        return QStringLiteral("%1 bit/s").arg(entry.bandwidth);
    }
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case IndexColumn:
        return QString::number(entry.index);
    case NameColumn:
        return entry.name;
    case AliasColumn:
        return entry.alias;
    case TypeColumn:
        return Discovery::typeName(entry.type);
    case SpeedColumn:
        return RateFormat::speed(entry.bandwidth);
    case StatusColumn:
        return QString(Discovery::statusName(entry.adminStatus) + QLatin1Char('/') +
                       Discovery::statusName(entry.operStatus));
    case Counters64Column:
        return entry.counters64 ? QStringLiteral("yes") : QStringLiteral("no");
    default:
        return {};
    }
}

bool DiscoveryModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || index.row() >= m_entries.size())
        return false;
    const int row = index.row();
    if (role == Qt::CheckStateRole && index.column() == IndexColumn) {
        const bool on = value.toInt() == Qt::Checked;
        if (on == m_checked[row])
            return true;
        if (on && checkedCount() >= Discovery::MaxPolled) {
            Q_EMIT limitReached();
            return false;
        }
        m_checked[row] = on;
        Q_EMIT dataChanged(index, index, {Qt::CheckStateRole});
        Q_EMIT checkedChanged(checkedCount());
        return true;
    }
    if (role == Qt::EditRole && index.column() == SpeedColumn) {
        bool ok = false;
        const quint64 bits = value.toString().trimmed().toULongLong(&ok);
        if (!ok)
            return false;
        m_entries[row].bandwidth = bits;
        Q_EMIT dataChanged(index, index);
        Q_EMIT checkedChanged(checkedCount());
        return true;
    }
    return false;
}

Qt::ItemFlags DiscoveryModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == IndexColumn)
        result |= Qt::ItemIsUserCheckable;
    if (index.column() == SpeedColumn)
        result |= Qt::ItemIsEditable;
    return result;
}

QVariant DiscoveryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case IndexColumn:
        return QStringLiteral("Index");
    case NameColumn:
        return QStringLiteral("Name");
    case AliasColumn:
        return QStringLiteral("Alias");
    case TypeColumn:
        return QStringLiteral("Type");
    case SpeedColumn:
        return QStringLiteral("Speed");
    case StatusColumn:
        return QStringLiteral("Admin/oper");
    case Counters64Column:
        return QStringLiteral("64-bit");
    default:
        return {};
    }
}
