#include "PortsModel.h"

#include "IfStatus.h"
#include "RateFormat.h"

#include <QLocale>

#include <limits>

namespace
{

QString keyOf(const InterfaceReading &r)
{
    return r.address + QLatin1Char('\n') + r.ifIndex;
}

bool good(const InterfaceReading &r)
{
    return r.polled && r.outcome == InterfaceReading::Outcome::Good;
}

// "3 / 0": input and output counts of this poll; "" when neither is known.
QString pairText(const std::optional<std::uint64_t> &in, const std::optional<std::uint64_t> &out)
{
    if (!in && !out)
        return QString();
    const auto one = [](const std::optional<std::uint64_t> &v) {
        return v ? QString::number(*v) : QStringLiteral("?");
    };
    return one(in) + QStringLiteral(" / ") + one(out);
}

double pairSum(const std::optional<std::uint64_t> &in, const std::optional<std::uint64_t> &out)
{
    if (!in && !out)
        return -1;
    return static_cast<double>(in.value_or(0)) + static_cast<double>(out.value_or(0));
}

} // namespace

PortsModel::PortsModel(QObject *parent) : QAbstractTableModel(parent) {}

void PortsModel::setResult(const PollResult &result)
{
    beginResetModel();
    m_rows.clear();
    for (const InterfaceReading &reading : result.interfaces) {
        if (good(reading))
            m_lastGood.insert(keyOf(reading), result.time);
        m_rows.append({reading, m_lastGood.value(keyOf(reading))});
    }
    endResetModel();
}

void PortsModel::clear()
{
    beginResetModel();
    m_rows.clear();
    m_lastGood.clear();
    endResetModel();
}

int PortsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int PortsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString PortsModel::stateText(const InterfaceReading &r)
{
    if (!r.polled)
        return QStringLiteral("not polled");
    if (r.outcome == InterfaceReading::Outcome::Failed)
        return QStringLiteral("no reading");
    if (r.adminStatus && *r.adminStatus == IfStatus::Down)
        return QStringLiteral("disabled");
    if (r.operStatus) {
        const int s = *r.operStatus;
        return IfStatus::isNamed(s) ? ifStatusName(s) : QStringLiteral("status %1").arg(s);
    }
    if (r.outcome == InterfaceReading::Outcome::First)
        return QStringLiteral("first reading");
    return QStringLiteral("read");
}

QVariant PortsModel::display(const Row &row, int column) const
{
    const InterfaceReading &r = row.reading;
    const bool rates = good(r);
    const QLocale locale;
    switch (column) {
    case Description:
        return r.description;
    case Address:
        return r.address;
    case IfIndex:
        return r.ifIndex;
    case State:
        return stateText(r);
    case In:
        return rates ? RateFormat::bitRate(r.inOctetsPerSecond * 8.0L, locale) : QString();
    case Out:
        return rates ? RateFormat::bitRate(r.outOctetsPerSecond * 8.0L, locale) : QString();
    case InUtilisation:
        return rates ? locale.toString(r.inUtilisation, 'f', 1) : QString();
    case OutUtilisation:
        return rates ? locale.toString(r.outUtilisation, 'f', 1) : QString();
    case Errors:
        return pairText(r.inErrorsDelta, r.outErrorsDelta);
    case Discards:
        return pairText(r.inDiscardsDelta, r.outDiscardsDelta);
    case Counters:
        if (!r.polled)
            return QString();
        return QString(
            (r.counters64 ? QStringLiteral("64-bit") : QStringLiteral("32-bit")) +
            (r.snmpVersion.isEmpty() ? QString() : QStringLiteral(", v") + r.snmpVersion));
    case LastReading:
        if (!row.lastGood.isValid())
            return QString();
        return row.lastGood.date() == QDate::currentDate()
                   ? row.lastGood.toString(QStringLiteral("HH:mm:ss"))
                   : row.lastGood.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    default:
        return QVariant();
    }
}

QVariant PortsModel::sortValue(const Row &row, int column) const
{
    const InterfaceReading &r = row.reading;
    const bool rates = good(r);
    constexpr double None = -std::numeric_limits<double>::infinity();
    switch (column) {
    case IfIndex: {
        bool ok = false;
        const qlonglong n = r.ifIndex.toLongLong(&ok);
        return ok ? QVariant(n) : QVariant(r.ifIndex);
    }
    case In:
        return rates ? r.inOctetsPerSecond : None;
    case Out:
        return rates ? r.outOctetsPerSecond : None;
    case InUtilisation:
        return rates ? r.inUtilisation : None;
    case OutUtilisation:
        return rates ? r.outUtilisation : None;
    case Errors:
        return pairSum(r.inErrorsDelta, r.outErrorsDelta);
    case Discards:
        return pairSum(r.inDiscardsDelta, r.outDiscardsDelta);
    case LastReading:
        return row.lastGood.isValid() ? row.lastGood.toMSecsSinceEpoch() : qint64(-1);
    default:
        return display(row, column);
    }
}

QVariant PortsModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return QVariant();
    const Row &row = m_rows[index.row()];
    if (role == Qt::DisplayRole)
        return display(row, index.column());
    if (role == SortRole)
        return sortValue(row, index.column());
    if (role == Qt::TextAlignmentRole && index.column() >= In && index.column() <= Discards)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    return QVariant();
}

QVariant PortsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char *const Titles[] = {
        "Description", "Address",     "ifIndex", "State",           "In",
        "Out",         "In %",        "Out %",   "Errors in / out", "Discards in / out",
        "Counters",    "Last reading"};
    return section >= 0 && section < ColumnCount ? QLatin1StringView(Titles[section]).toString()
                                                 : QVariant();
}
