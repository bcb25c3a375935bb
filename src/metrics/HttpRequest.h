#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

// The head of one HTTP/1.x request (request line and header fields, without the empty line
// that ends it), as far as the metrics endpoint needs it.
struct HttpRequest {
    QByteArray method;
    QByteArray path;       // the target's path, without a query; "" for a target of no path
    int minorVersion = 1;  // HTTP/1.0 or HTTP/1.1
    bool keepAlive = true; // the version's default as the Connection field changes it
    bool hasBody = false;  // a Content-Length above 0 or a Transfer-Encoding

    // The head parsed; empty when it is not an HTTP/1.x request (then the answer is 400 and the
    // connection is closed).
    static std::optional<HttpRequest> parse(QByteArrayView head);
};
