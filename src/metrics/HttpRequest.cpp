#include "HttpRequest.h"

#include <QList>

#include <cstring>

namespace
{

bool isTokenCharacter(char c)
{
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return true;
    return c != '\0' && std::strchr("!#$%&'*+-.^_`|~", c) != nullptr;
}

bool isToken(QByteArrayView text)
{
    if (text.isEmpty())
        return false;
    for (const char c : text) {
        if (!isTokenCharacter(c))
            return false;
    }
    return true;
}

// The path of a request target: origin form ("/metrics?x") or absolute form
// ("http://host:port/metrics").
std::optional<QByteArray> pathOf(QByteArrayView target)
{
    for (const char c : target) {
        if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7f)
            return std::nullopt;
    }
    if (!target.startsWith('/')) {
        const qsizetype scheme = target.indexOf("://");
        if (scheme <= 0 || !isToken(target.first(scheme)))
            return std::nullopt;
        const QByteArrayView rest = target.sliced(scheme + 3);
        const qsizetype slash = rest.indexOf('/');
        target = slash < 0 ? QByteArrayView() : rest.sliced(slash);
    }
    const qsizetype query = target.indexOf('?');
    return (query < 0 ? target : target.first(query)).toByteArray();
}

} // namespace

std::optional<HttpRequest> HttpRequest::parse(QByteArrayView head)
{
    QList<QByteArrayView> lines;
    while (!head.isEmpty()) {
        const qsizetype end = head.indexOf('\n');
        QByteArrayView line = end < 0 ? head : head.first(end);
        if (line.endsWith('\r'))
            line.chop(1);
        lines.append(line);
        head = end < 0 ? QByteArrayView() : head.sliced(end + 1);
    }
    if (lines.isEmpty())
        return std::nullopt;

    // METHOD SP target SP HTTP/1.x
    const QByteArrayView start = lines.first();
    const qsizetype first = start.indexOf(' ');
    const qsizetype last = start.lastIndexOf(' ');
    if (first <= 0 || last <= first)
        return std::nullopt;
    HttpRequest request;
    const QByteArrayView method = start.first(first);
    const QByteArrayView version = start.sliced(last + 1);
    if (!isToken(method) || version.size() != 8 || !version.startsWith("HTTP/1.") ||
        version[7] < '0' || version[7] > '9')
        return std::nullopt;
    const std::optional<QByteArray> path = pathOf(start.sliced(first + 1, last - first - 1));
    if (!path)
        return std::nullopt;
    request.method = method.toByteArray();
    request.path = *path;
    request.minorVersion = version[7] - '0';
    bool close = false;
    bool keepAlive = false;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArrayView line = lines[i];
        const qsizetype colon = line.indexOf(':');
        // A field without a name, or a folded line (a line that starts with white space).
        if (colon <= 0 || !isToken(line.first(colon)))
            return std::nullopt;
        const QByteArray name = line.first(colon).toByteArray().toLower();
        const QByteArray value = line.sliced(colon + 1).toByteArray().trimmed();
        if (name == "connection") {
            for (const QByteArray &option : value.split(',')) {
                const QByteArray token = option.trimmed().toLower();
                close = close || token == "close";
                keepAlive = keepAlive || token == "keep-alive";
            }
        } else if (name == "content-length") {
            if (value != "0")
                request.hasBody = true;
        } else if (name == "transfer-encoding") {
            request.hasBody = true;
        }
    }
    // HTTP/1.1 keeps the connection unless asked to close it; HTTP/1.0 closes it unless asked
    // to keep it.
    request.keepAlive = !close && (request.minorVersion >= 1 || keepAlive);
    return request;
}
