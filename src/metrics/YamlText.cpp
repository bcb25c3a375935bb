#include "YamlText.h"

#include <QList>
#include <QStringDecoder>

#include <cctype>

namespace YamlText
{
namespace
{

// By hand: Qt's UCS-4 decoding would take a U+FEFF for a byte order mark and drop it.
void appendUtf8(QByteArray &out, char32_t c)
{
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xc0 | (c >> 6));
        out += char(0x80 | (c & 0x3f));
    } else if (c < 0x10000) {
        out += char(0xe0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3f));
        out += char(0x80 | (c & 0x3f));
    } else {
        out += char(0xf0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3f));
        out += char(0x80 | ((c >> 6) & 0x3f));
        out += char(0x80 | (c & 0x3f));
    }
}

QByteArray hex(char32_t c, int digits)
{
    return QByteArray::number(uint(c), 16).toUpper().rightJustified(digits, '0');
}

// The escape of a character that is not printable.
QByteArray escaped(char32_t c)
{
    if (c <= 0xff)
        return "\\x" + hex(c, 2);
    if (c <= 0xffff)
        return "\\u" + hex(c, 4);
    return "\\U" + hex(c, 8);
}

// The text of a whole file, or empty when it is not UTF-8.
std::optional<QString> decodeUtf8(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

// What a file may hold as itself: the readers' printable set.
bool allowedInFile(char32_t c)
{
    return c == '\n' || c == 0x20 || isPrintable(c);
}

bool isKeyCharacter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

bool isPlainCharacter(char c)
{
    return isKeyCharacter(c) || c == '.' || c == '/' || c == '-';
}

// A value after "key: " or "- ": a double-quoted scalar, a plain word or "[word]".
QString valueProblem(QByteArrayView value)
{
    if (value.startsWith('"'))
        return unquote(value) ? QString()
                              : QStringLiteral("a double-quoted value is not closed "
                                               "or holds an unknown escape");
    QByteArrayView word = value;
    if (word.startsWith('[') && word.endsWith(']'))
        word = word.sliced(1, word.size() - 2);
    if (word.isEmpty())
        return QStringLiteral("an empty value");
    for (const char c : word) {
        if (!isPlainCharacter(c))
            return QStringLiteral("a value that is neither quoted nor a plain word");
    }
    return {};
}

// "key:", "key: value" or a value alone (after "- ").
QString entryProblem(QByteArrayView entry, bool valueAlone)
{
    qsizetype key = 0;
    while (key < entry.size() && isKeyCharacter(entry[key]))
        ++key;
    if (key > 0 && key < entry.size() && entry[key] == ':') {
        const QByteArrayView rest = entry.sliced(key + 1);
        if (rest.isEmpty())
            return {};
        if (!rest.startsWith(' ') || rest.size() < 2 || rest[1] == ' ')
            return QStringLiteral("a key without one space before its value");
        return valueProblem(rest.sliced(1));
    }
    if (valueAlone)
        return valueProblem(entry);
    return QStringLiteral("neither a comment, a key nor a list item");
}

QString lineProblem(QByteArrayView line)
{
    qsizetype indent = 0;
    while (indent < line.size() && line[indent] == ' ')
        ++indent;
    QByteArrayView rest = line.sliced(indent);
    if (rest.isEmpty() || rest.startsWith('#'))
        return {};
    if (rest.startsWith("- "))
        return entryProblem(rest.sliced(2), true);
    return entryProblem(rest, false);
}

} // namespace

bool isPrintable(char32_t c)
{
    return (c >= 0x21 && c <= 0x7e) || c == 0x20 ||
           (c >= 0xa0 && c <= 0xd7ff && c != 0x2028 && c != 0x2029) ||
           (c >= 0xe000 && c <= 0xfffd && c != 0xfeff) || (c >= 0x10000 && c <= 0x10ffff);
}

QByteArray quoted(const QString &text)
{
    QByteArray out = "\"";
    // Code points, so that a surrogate pair stays one character (a lone half arrives as
    // U+FFFD).
    for (const char32_t c : text.toUcs4()) {
        if (c == '\\' || c == '"') {
            out += '\\';
            out += char(c);
        } else if (isPrintable(c)) {
            appendUtf8(out, c);
        } else {
            out += escaped(c);
        }
    }
    return out + '"';
}

std::optional<QByteArray> unquote(QByteArrayView scalar)
{
    if (scalar.size() < 2 || !scalar.startsWith('"') || !scalar.endsWith('"'))
        return std::nullopt;
    const QByteArrayView inner = scalar.sliced(1, scalar.size() - 2);
    QByteArray out;
    for (qsizetype i = 0; i < inner.size(); ++i) {
        const char c = inner[i];
        if (c == '"' || c == '\n' || c == '\r')
            return std::nullopt;
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++i >= inner.size())
            return std::nullopt;
        int digits = 0;
        switch (inner[i]) {
        case '0':
            out += '\0';
            break;
        case 'a':
            out += '\a';
            break;
        case 'b':
            out += '\b';
            break;
        case 't':
        case '\t':
            out += '\t';
            break;
        case 'n':
            out += '\n';
            break;
        case 'v':
            out += '\v';
            break;
        case 'f':
            out += '\f';
            break;
        case 'r':
            out += '\r';
            break;
        case 'e':
            out += '\x1b';
            break;
        case ' ':
            out += ' ';
            break;
        case '"':
            out += '"';
            break;
        case '\'':
            out += '\'';
            break;
        case '\\':
            out += '\\';
            break;
        case 'N':
            appendUtf8(out, 0x85);
            break;
        case '_':
            appendUtf8(out, 0xa0);
            break;
        case 'L':
            appendUtf8(out, 0x2028);
            break;
        case 'P':
            appendUtf8(out, 0x2029);
            break;
        case 'x':
            digits = 2;
            break;
        case 'u':
            digits = 4;
            break;
        case 'U':
            digits = 8;
            break;
        default:
            return std::nullopt;
        }
        if (digits == 0)
            continue;
        if (i + digits >= inner.size())
            return std::nullopt;
        bool ok = false;
        const uint code = inner.sliced(i + 1, digits).toByteArray().toUInt(&ok, 16);
        // A hexadecimal number of exactly that many digits, and a character (no surrogate).
        for (const char d : inner.sliced(i + 1, digits)) {
            if (!std::isxdigit(static_cast<unsigned char>(d)))
                ok = false;
        }
        if (!ok || (code >= 0xd800 && code <= 0xdfff) || code > 0x10ffff)
            return std::nullopt;
        appendUtf8(out, char32_t(code));
        i += digits;
    }
    return out;
}

QByteArray commentText(const QString &text)
{
    QByteArray out;
    for (const char32_t c : text.toUcs4()) {
        if (isPrintable(c))
            appendUtf8(out, c);
        else
            out += escaped(c);
    }
    return out;
}

QString check(const QByteArray &file)
{
    const std::optional<QString> text = decodeUtf8(file);
    if (!text)
        return QStringLiteral("it is not UTF-8");
    int lineNumber = 1;
    for (const char32_t c : text->toUcs4()) {
        if (c == '\n')
            ++lineNumber;
        else if (!allowedInFile(c))
            return QStringLiteral("line %1: the character U+%2, which the readers refuse")
                .arg(lineNumber)
                .arg(QString::fromLatin1(hex(c, 4)));
    }
    lineNumber = 0;
    for (const QByteArray &line : file.split('\n')) {
        ++lineNumber;
        const QString problem = lineProblem(line);
        if (!problem.isEmpty())
            return QStringLiteral("line %1: %2").arg(lineNumber).arg(problem);
    }
    return {};
}

} // namespace YamlText
