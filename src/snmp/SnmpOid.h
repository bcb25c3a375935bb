#pragma once

#include <QList>
#include <QString>

// An object identifier as its components (1.3.6.1.2.1.1.3.0 is {1, 3, 6, 1, 2, 1, 1, 3, 0}),
// with its dotted text form and the order the agent's tree has.
using SnmpOid = QList<quint32>;

// "1.3.6.1": the components joined with dots ("" for an empty identifier).
QString oidText(const SnmpOid &oid);

// Parses dotted decimal object identifier text: 2 to 128 components, each plain decimal
// without leading zeros and below 2^32, the first 0 to 2 (and the second below 40 unless the
// first is 2). Returns an empty list for malformed text; nothing is sent for such a request.
SnmpOid parseOidText(const QString &text);

// -1, 0, 1 as a is before, equal to or after b in the agent's (lexicographic) order.
int compareOids(const SnmpOid &a, const SnmpOid &b);

// Whether oid lies strictly below root (root itself is not under root).
bool isUnder(const SnmpOid &oid, const SnmpOid &root);
