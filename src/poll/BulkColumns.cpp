#include "BulkColumns.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

void BulkColumns::reset(const QList<SnmpOid> &roots, quint32 after, quint32 last)
{
    m_columns.clear();
    m_readAt.clear();
    m_last = last;
    for (const SnmpOid &root : roots) {
        SnmpOid start = root;
        if (after > 0)
            start.append(after);
        m_columns.push_back(Column{root, start, false, {}});
    }
    m_asked.clear();
    m_lastRows = 0;
    m_lastEnded = false;
}

QList<SnmpOid> BulkColumns::nextNames()
{
    m_asked.clear();
    QList<SnmpOid> names;
    for (std::size_t i = 0; i < m_columns.size(); ++i) {
        if (m_columns[i].done)
            continue;
        m_asked.push_back(int(i));
        names.append(m_columns[i].position);
    }
    return names;
}

void BulkColumns::endAsked()
{
    for (int i : m_asked)
        m_columns[std::size_t(i)].done = true;
    m_lastEnded = !m_asked.empty();
}

BulkColumns::Step BulkColumns::take(const std::vector<SnmpBinding> &bindings, std::size_t first,
                                    qint64 fromMs, qint64 toMs, QString *error)
{
    m_lastRows = 0;
    m_lastEnded = false;
    const std::size_t asked = m_asked.size();
    if (asked == 0)
        return Step::Done;
    if (bindings.size() <= first) {
        *error = QStringLiteral("an answer without values");
        return Step::Failed;
    }
    const std::size_t count = bindings.size() - first;
    m_lastRows = int(count / asked);
    for (std::size_t k = 0; k < count; ++k) {
        Column &column = m_columns[std::size_t(m_asked[k % asked])];
        if (column.done)
            continue;
        const SnmpBinding &binding = bindings[first + k];
        if (binding.rawType == SNMP_ENDOFMIBVIEW || binding.rawType == SNMP_NOSUCHOBJECT ||
            binding.rawType == SNMP_NOSUCHINSTANCE || !isUnder(binding.name, column.root)) {
            column.done = true;
            m_lastEnded = true;
            continue;
        }
        if (compareOids(binding.name, column.position) <= 0) {
            *error = QStringLiteral("%1 came after %2 (its answers do not advance)")
                         .arg(oidText(binding.name), oidText(column.position));
            return Step::Failed;
        }
        const quint32 index = binding.name[column.root.size()];
        if (m_last > 0 && index > m_last) {
            column.done = true; // the next stripe's
            m_lastEnded = true;
            continue;
        }
        column.position = binding.name;
        if (binding.name.size() == column.root.size() + 1) {
            column.rows.insert(index, binding.value);
            if (&column == &m_columns.front()) {
                const double row = double(k / asked) + 0.5;
                const double rows = double((count + asked - 1) / asked);
                m_readAt.insert(index, fromMs + qint64(double(toMs - fromMs) * row / rows));
            }
        }
    }
    for (const Column &column : m_columns) {
        if (!column.done)
            return Step::More;
    }
    return Step::Done;
}
