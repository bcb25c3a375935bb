#pragma once

#include <QString>

#include <exception>
#include <functional>

// A runtime error that ends the current handler and reaches the operator through the
// application's general error report. An error of something that is retried on its own (a log
// at every poll, the settings store at every change) names that thing as its source, so that a
// failure which repeats is reported once and not at every retry.
class OstralineError : public std::exception
{
public:
    explicit OstralineError(QString message, QString source = QString());
    const QString &message() const { return m_message; }
    const QString &source() const { return m_source; }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QString m_source;
    QByteArray m_utf8;
};

namespace ErrorReport
{

using Handler = std::function<void(const QString &message)>;

// Shows one error to the operator. The application installs a handler that shows a message
// box; tests install one that records the messages instead.
void show(const QString &message);

// Shows an error of a source that is retried on its own, unless the same source has failed
// before without working once since (see recovered()). Returns whether it was shown.
bool show(const QString &message, const QString &source);

// The source worked: its next failure is reported again.
void recovered(const QString &source);

// Whether the source's last failure was reported and it has not worked since.
bool isFailing(const QString &source);

// Replaces the handler and returns the previous one. An empty handler restores the default,
// which writes the message to Qt's warning log. Forgets every failing source.
Handler setHandler(Handler handler);

// Runs one handler body: an error it raises ends the body and is shown through show().
// Returns false when an error was raised (whether or not it was shown again).
bool guarded(const std::function<void()> &body);

} // namespace ErrorReport
