#include "HistoryFileName.h"

#include <QByteArray>
#include <QCryptographicHash>

namespace HistoryFileName
{
namespace
{

constexpr qsizetype MaxLength = 200;
const QLatin1StringView Suffix(".rrd");

bool isPlain(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '-';
}

QString escape(const QString &text)
{
    static const char Hex[] = "0123456789ABCDEF";
    QString out;
    for (const char c : text.toUtf8()) {
        if (isPlain(c)) {
            out += QLatin1Char(c);
        } else {
            const auto byte = static_cast<unsigned char>(c);
            out += QLatin1Char('%');
            out += QLatin1Char(Hex[byte >> 4]);
            out += QLatin1Char(Hex[byte & 15]);
        }
    }
    return out;
}

} // namespace

QString forInterface(const QString &address, const QString &ifIndex)
{
    const QString name = escape(address) + QLatin1Char('_') + escape(ifIndex) + Suffix;
    if (name.size() <= MaxLength)
        return name;
    const QByteArray key = address.toUtf8() + '\0' + ifIndex.toUtf8();
    return QLatin1Char('h') +
           QString::fromLatin1(QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex()) +
           Suffix;
}

std::optional<Key> parse(const QString &fileName)
{
    if (!fileName.endsWith(Suffix))
        return std::nullopt;
    const QString stem = fileName.chopped(Suffix.size());
    const qsizetype separator = stem.lastIndexOf(QLatin1Char('_'));
    if (separator < 0)
        return std::nullopt;
    Key key{QString::fromUtf8(QByteArray::fromPercentEncoding(stem.left(separator).toLatin1())),
            QString::fromUtf8(QByteArray::fromPercentEncoding(stem.mid(separator + 1).toLatin1()))};
    // Only the canonical spelling counts: a name that another program wrote is not ours.
    if (forInterface(key.address, key.ifIndex) != fileName)
        return std::nullopt;
    return key;
}

} // namespace HistoryFileName
