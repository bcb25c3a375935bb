#pragma once

#include <QString>

#include <exception>
#include <functional>

// A runtime error that ends the current handler and reaches the operator through the
// application's general error report (one message box per error).
class OstralineError : public std::exception
{
public:
    explicit OstralineError(QString message);
    const QString &message() const { return m_message; }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};

namespace ErrorReport {

using Handler = std::function<void(const QString &message)>;

// Shows one error to the operator. The application installs a handler that opens a
// message box; tests install one that records the messages instead.
void show(const QString &message);

// Replaces the handler and returns the previous one. An empty handler restores the default,
// which writes the message to Qt's warning log.
Handler setHandler(Handler handler);

// Runs one handler body: an error it raises ends the body and is shown through show().
// Returns false when an error was reported.
bool guarded(const std::function<void()> &body);

} // namespace ErrorReport
