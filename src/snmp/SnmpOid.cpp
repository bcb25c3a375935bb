#include "SnmpOid.h"

#include <QStringList>

#include <algorithm>

namespace
{

// The longest identifier SNMP allows (the SNMP library's MAX_OID_LEN).
constexpr qsizetype MaxComponents = 128;

} // namespace

QString oidText(const SnmpOid &oid)
{
    QStringList parts;
    parts.reserve(oid.size());
    for (quint32 part : oid)
        parts.append(QString::number(part));
    return parts.join(QLatin1Char('.'));
}

SnmpOid parseOidText(const QString &text)
{
    SnmpOid result;
    const QList<QStringView> parts = QStringView(text).split(QLatin1Char('.'));
    if (parts.size() < 2 || parts.size() > MaxComponents)
        return {};
    for (QStringView part : parts) {
        if (part.isEmpty() || part.size() > 10)
            return {};
        for (QChar c : part) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return {};
        }
        if (part.size() > 1 && part.front() == QLatin1Char('0'))
            return {};
        const qulonglong value = part.toULongLong();
        if (value > 0xffffffffULL)
            return {};
        result.append(static_cast<quint32>(value));
    }
    if (result[0] > 2 || (result[0] < 2 && result[1] >= 40))
        return {};
    return result;
}

int compareOids(const SnmpOid &a, const SnmpOid &b)
{
    const qsizetype n = qMin(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        if (a[i] != b[i])
            return a[i] < b[i] ? -1 : 1;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

bool isUnder(const SnmpOid &oid, const SnmpOid &root)
{
    return oid.size() > root.size() && std::equal(root.cbegin(), root.cend(), oid.cbegin());
}
