// Host texts of SNMP queries.
//
// Properties checked for any text:
// - an accepted text holds no blank or control character;
// - an address result is usable (IPv4 or IPv6, never an unspecified address, also not in its
//   IPv4-mapped form), its numeric peer text has no blank, and writing the address and port
//   back as a host text parses to the same address and port;
// - a scope of an IPv6 address is plain interface-name text (no bracket, colon or the like);
// - a name result is a plain host name: letters, digits, "-", "_" and dots, at most 253
//   characters before an optional final dot, and its last label is not all digits.

#include "FuzzCheck.h"
#include "SnmpHost.h"

namespace
{

bool isNameChar(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9') ||
           u == u'-' || u == u'_' || u == u'.';
}

void checkAddress(const QString &text, const SnmpHost &host)
{
    FUZZ_CHECK_TEXT(SnmpHost::isUsableAddress(host.address), text);
    bool mapped = false;
    const quint32 ipv4 = host.address.toIPv4Address(&mapped);
    FUZZ_CHECK_TEXT(!mapped || ipv4 != 0, text);
    FUZZ_CHECK_TEXT(host.port != 0, text);

    const QString scope = host.address.scopeId();
    for (const QChar c : scope)
        FUZZ_CHECK_TEXT(isNameChar(c), text);

    const QString peer = SnmpHost::peerName(host.address, host.port);
    for (const QChar c : peer)
        FUZZ_CHECK_TEXT(!c.isSpace() && c.unicode() >= 0x20, text);

    // The address written back as a host text (the port only when it is not the default) must
    // read back the same way, unless writing it made it longer than the text read.
    const bool v6 = host.address.protocol() == QAbstractSocket::IPv6Protocol;
    const bool withPort = host.port != SnmpHost::DefaultPort;
    QString written = host.address.toString();
    if (v6 && withPort)
        written = QLatin1Char('[') + written + QLatin1Char(']');
    if (withPort)
        written += QLatin1Char(':') + QString::number(host.port);
    if (written.size() > text.size())
        return; // such as "::ffff:c000:201", written "::ffff:192.0.2.1"
    const SnmpHost again = SnmpHost::parse(written);
    FUZZ_CHECK_TEXT(again.kind == SnmpHost::Kind::Address, written);
    FUZZ_CHECK_TEXT(again.address == host.address && again.port == host.port, written);
}

void checkName(const QString &text, const SnmpHost &host)
{
    QString name = host.name;
    if (name.endsWith(QLatin1Char('.')))
        name.chop(1);
    FUZZ_CHECK_TEXT(!name.isEmpty() && name.size() <= SnmpHost::MaxNameLength, text);
    for (const QChar c : std::as_const(name))
        FUZZ_CHECK_TEXT(isNameChar(c), text);
    const QString last = name.section(QLatin1Char('.'), -1);
    bool digitsOnly = true;
    for (const QChar c : last)
        digitsOnly = digitsOnly && c >= QLatin1Char('0') && c <= QLatin1Char('9');
    FUZZ_CHECK_TEXT(!digitsOnly, text);
    FUZZ_CHECK_TEXT(host.port != 0, text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, std::size_t size)
{
    const QString text = QString::fromUtf8(fuzzBytes(data, size));
    const SnmpHost host = SnmpHost::parse(text);
    if (!host.isValid())
        return 0;
    for (const QChar c : text)
        FUZZ_CHECK_TEXT(!c.isSpace() && c.unicode() >= 0x20 && c.unicode() != 0x7f, text);
    if (host.kind == SnmpHost::Kind::Address)
        checkAddress(text, host);
    else
        checkName(text, host);
    return 0;
}
