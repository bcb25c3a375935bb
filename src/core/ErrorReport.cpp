#include "ErrorReport.h"

#include <QDebug>
#include <QSet>

OstralineError::OstralineError(QString message, QString source)
    : m_message(std::move(message)), m_source(std::move(source)), m_utf8(m_message.toUtf8())
{
}

namespace ErrorReport
{
namespace
{

void defaultHandler(const QString &message)
{
    qWarning().noquote() << message;
}

Handler &currentHandler()
{
    static Handler handler = defaultHandler;
    return handler;
}

// Sources whose failure was reported and which have not worked since.
QSet<QString> &failingSources()
{
    static QSet<QString> sources;
    return sources;
}

} // namespace

void show(const QString &message)
{
    currentHandler()(message);
}

bool show(const QString &message, const QString &source)
{
    if (!source.isEmpty()) {
        if (failingSources().contains(source))
            return false;
        failingSources().insert(source);
    }
    show(message);
    return true;
}

void recovered(const QString &source)
{
    failingSources().remove(source);
}

bool isFailing(const QString &source)
{
    return failingSources().contains(source);
}

Handler setHandler(Handler handler)
{
    Handler previous = currentHandler();
    currentHandler() = handler ? std::move(handler) : Handler(defaultHandler);
    failingSources().clear();
    return previous;
}

bool guarded(const std::function<void()> &body)
{
    try {
        body();
        return true;
    } catch (const OstralineError &error) {
        show(error.message(), error.source());
    } catch (const std::exception &error) {
        show(QString::fromLocal8Bit(error.what()));
    }
    return false;
}

} // namespace ErrorReport
