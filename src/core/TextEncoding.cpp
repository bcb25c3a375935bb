#include "TextEncoding.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <array>

namespace TextEncoding
{
namespace
{

// Bytes 0x80 to 0x9F; the rest of Windows-1252 is the same as Latin-1.
constexpr std::array<char16_t, 32> High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The length of an unfinished UTF-8 sequence at the end of bytes, 0 when there is none.
qsizetype unfinishedTail(const QByteArray &bytes)
{
    for (qsizetype back = 1; back <= 3 && back <= bytes.size(); ++back) {
        const auto c = static_cast<unsigned char>(bytes.at(bytes.size() - back));
        if ((c & 0xC0) == 0x80)
            continue; // a continuation byte: look further back for the lead byte
        const qsizetype length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        return length > back ? back : 0;
    }
    return 0;
}

bool isValidUtf8(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder(bytes);
    Q_UNUSED(text);
    return !decoder.hasError();
}

} // namespace

QString decodeLine(const QByteArray &bytes, LineEncoding *encoding, bool cut)
{
    const qsizetype checked = bytes.size() - (cut ? unfinishedTail(bytes) : 0);
    const bool utf8 = isValidUtf8(QByteArrayView(bytes).first(checked));
    if (encoding)
        *encoding = utf8 ? LineEncoding::System : LineEncoding::Windows1252;
    return utf8 ? QString::fromLocal8Bit(bytes) : fromWindows1252(bytes);
}

QString fromWindows1252(const QByteArray &bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar *out = text.data();
    for (const char byte : bytes) {
        const auto c = static_cast<unsigned char>(byte);
        *out++ = QChar(c >= 0x80 && c <= 0x9F ? High[c - 0x80] : char16_t(c));
    }
    return text;
}

std::optional<QByteArray> toWindows1252(const QString &text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (const QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            bytes.append(char(u));
            continue;
        }
        std::size_t i = 0;
        while (i < High.size() && High[i] != u)
            ++i;
        if (i == High.size())
            return std::nullopt;
        bytes.append(char(0x80 + i));
    }
    return bytes;
}

QByteArray encode(const QString &text, LineEncoding encoding)
{
    if (encoding == LineEncoding::Windows1252) {
        if (std::optional<QByteArray> bytes = toWindows1252(text))
            return *bytes;
    }
    QStringEncoder encoder(QStringEncoder::System);
    return encoder(text);
}

} // namespace TextEncoding
