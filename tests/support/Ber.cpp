#include "Ber.h"

namespace Ber
{

QByteArray length(int size)
{
    if (size < 0x80)
        return QByteArray(1, static_cast<char>(size));
    QByteArray bytes;
    for (int rest = size; rest > 0; rest >>= 8)
        bytes.prepend(static_cast<char>(rest & 0xff));
    bytes.prepend(static_cast<char>(0x80 | bytes.size()));
    return bytes;
}

QByteArray tlv(unsigned char tag, const QByteArray &content)
{
    return QByteArray(1, static_cast<char>(tag)) + length(int(content.size())) + content;
}

QByteArray integer(qint64 value, unsigned char tag)
{
    QByteArray bytes;
    for (int i = 7; i >= 0; --i)
        bytes.append(static_cast<char>((static_cast<quint64>(value) >> (8 * i)) & 0xff));
    // Drop redundant leading bytes while the sign stays the same.
    while (bytes.size() > 1) {
        const auto first = static_cast<unsigned char>(bytes[0]);
        const auto second = static_cast<unsigned char>(bytes[1]);
        if ((first == 0x00 && !(second & 0x80)) || (first == 0xff && (second & 0x80)))
            bytes.remove(0, 1);
        else
            break;
    }
    return tlv(tag, bytes);
}

QByteArray unsignedValue(quint64 value, unsigned char tag)
{
    QByteArray bytes;
    do {
        bytes.prepend(static_cast<char>(value & 0xff));
        value >>= 8;
    } while (value);
    if (static_cast<unsigned char>(bytes[0]) & 0x80)
        bytes.prepend('\0');
    return tlv(tag, bytes);
}

QByteArray objectId(const QList<quint32> &parts)
{
    QByteArray bytes;
    QList<quint64> subs;
    if (parts.size() >= 2)
        subs.append(quint64(parts[0]) * 40 + parts[1]);
    for (qsizetype i = 2; i < parts.size(); ++i)
        subs.append(parts[i]);
    for (quint64 sub : subs) {
        QByteArray encoded(1, static_cast<char>(sub & 0x7f));
        for (sub >>= 7; sub; sub >>= 7)
            encoded.prepend(static_cast<char>(0x80 | (sub & 0x7f)));
        bytes += encoded;
    }
    return tlv(ObjectId, bytes);
}

QByteArray binding(const QByteArray &encodedOid, const QByteArray &encodedValue)
{
    return tlv(Sequence, encodedOid + encodedValue);
}

QByteArray message(const QByteArray &community, unsigned char pduTag, qint64 requestId,
                   qint64 errorStatus, qint64 errorIndex, const QList<QByteArray> &bindings,
                   qint64 version)
{
    QByteArray list;
    for (const QByteArray &b : bindings)
        list += b;
    const QByteArray pdu = tlv(pduTag, integer(requestId) + integer(errorStatus) +
                                           integer(errorIndex) + tlv(Sequence, list));
    return tlv(Sequence, integer(version) + tlv(OctetString, community) + pdu);
}

namespace
{

// Reads one TLV at pos within [pos, end); false when it does not fit.
bool readTlv(const QByteArray &data, int &pos, int end, unsigned char *tag, int *start, int *size)
{
    if (pos + 2 > end)
        return false;
    *tag = static_cast<unsigned char>(data[pos++]);
    int len = static_cast<unsigned char>(data[pos++]);
    if (len & 0x80) {
        const int count = len & 0x7f;
        if (count == 0 || count > 3 || pos + count > end)
            return false;
        len = 0;
        for (int i = 0; i < count; ++i)
            len = (len << 8) | static_cast<unsigned char>(data[pos++]);
    }
    if (len > end - pos)
        return false;
    *start = pos;
    *size = len;
    pos += len;
    return true;
}

qint64 readInteger(const QByteArray &data, int start, int size)
{
    qint64 value = size > 0 && (static_cast<unsigned char>(data[start]) & 0x80) ? -1 : 0;
    for (int i = 0; i < size && i < 8; ++i)
        value = (value << 8) | static_cast<unsigned char>(data[start + i]);
    return value;
}

} // namespace

std::optional<Request> parseRequest(const QByteArray &data)
{
    Request request;
    int pos = 0;
    unsigned char tag = 0;
    int start = 0, size = 0;
    if (!readTlv(data, pos, int(data.size()), &tag, &start, &size) || tag != Sequence)
        return std::nullopt;
    const int end = start + size;
    pos = start;
    if (!readTlv(data, pos, end, &tag, &start, &size) || tag != Integer)
        return std::nullopt;
    request.version = readInteger(data, start, size);
    if (!readTlv(data, pos, end, &tag, &start, &size) || tag != OctetString)
        return std::nullopt;
    request.community = data.mid(start, size);
    if (!readTlv(data, pos, end, &tag, &start, &size))
        return std::nullopt;
    request.pduTag = tag;
    const int pduEnd = start + size;
    pos = start;
    if (!readTlv(data, pos, pduEnd, &tag, &start, &size) || tag != Integer)
        return std::nullopt;
    request.requestId = readInteger(data, start, size);
    for (int skip = 0; skip < 2; ++skip) { // error-status, error-index
        if (!readTlv(data, pos, pduEnd, &tag, &start, &size) || tag != Integer)
            return std::nullopt;
    }
    if (!readTlv(data, pos, pduEnd, &tag, &start, &size) || tag != Sequence)
        return std::nullopt;
    pos = start;
    const int listEnd = start + size;
    // Every binding's name; the first one also as encodedOid and oid.
    while (pos < listEnd) {
        if (!readTlv(data, pos, listEnd, &tag, &start, &size) || tag != Sequence)
            return std::nullopt;
        const int bindingEnd = start + size;
        int at = start;
        const int oidPos = at;
        int oidStart = 0, oidSize = 0;
        if (!readTlv(data, at, bindingEnd, &tag, &oidStart, &oidSize) || tag != ObjectId ||
            oidSize < 1)
            return std::nullopt;
        QList<quint32> oid;
        quint64 sub = 0;
        bool first = true;
        for (int i = oidStart; i < oidStart + oidSize; ++i) {
            const auto byte = static_cast<unsigned char>(data[i]);
            sub = (sub << 7) | (byte & 0x7f);
            if (byte & 0x80)
                continue;
            if (first) {
                const quint32 head = sub < 80 ? quint32(sub / 40) : 2;
                oid << head << quint32(sub - head * 40);
                first = false;
            } else {
                oid << quint32(sub);
            }
            sub = 0;
        }
        if (request.oids.isEmpty()) {
            request.encodedOid = data.mid(oidPos, at - oidPos);
            request.oid = oid;
        }
        request.oids.append(oid);
        pos = bindingEnd;
    }
    if (request.oids.isEmpty())
        return std::nullopt;
    return request;
}

} // namespace Ber
