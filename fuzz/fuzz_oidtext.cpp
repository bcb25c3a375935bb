// Object identifier texts of SNMP queries.
//
// Properties checked:
// - an accepted text has 2 to 128 components within the encodable range and is exactly the
//   canonical dotted decimal form of its components (no sign, blank or leading zero slips in);
// - the canonical text of any component list within the rules is accepted as that list.

#include "FuzzCheck.h"
#include "SnmpQuery.h"

#include <QStringList>

#include <cstring>

namespace
{

QString joined(const QList<quint32> &oid)
{
    QStringList parts;
    for (const quint32 component : oid)
        parts.append(QString::number(component));
    return parts.join(QLatin1Char('.'));
}

bool withinRules(const QList<quint32> &oid)
{
    return oid.size() >= 2 && oid.size() <= 128 && oid[0] <= 2 && (oid[0] == 2 || oid[1] < 40);
}

} // namespace

// Input: a mode byte, then a text (UTF-8) or components as four bytes each.
extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const unsigned char mode = data[0];
    ++data;
    --size;
    if (mode & 1) {
        QList<quint32> oid;
        for (std::size_t i = 0; i + 4 <= size; i += 4) {
            quint32 component = 0;
            std::memcpy(&component, data + i, sizeof component);
            // Small numbers most of the time, as real identifiers have them.
            oid.append((mode & 2) ? component : component % 1000);
        }
        const QList<quint32> parsed = parseOidText(joined(oid));
        if (withinRules(oid))
            FUZZ_CHECK_TEXT(parsed == oid, joined(oid));
        else
            FUZZ_CHECK_TEXT(parsed.isEmpty(), joined(oid));
        return 0;
    }
    const QString text = QString::fromUtf8(fuzzBytes(data, size));
    const QList<quint32> oid = parseOidText(text);
    if (oid.isEmpty())
        return 0;
    FUZZ_CHECK_TEXT(withinRules(oid), text);
    FUZZ_CHECK_TEXT(joined(oid) == text, text);
    return 0;
}
