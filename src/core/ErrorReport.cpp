#include "ErrorReport.h"

#include <QDebug>

OstralineError::OstralineError(QString message)
    : m_message(std::move(message)), m_utf8(m_message.toUtf8())
{
}

namespace ErrorReport {
namespace {

void defaultHandler(const QString &message)
{
    qWarning().noquote() << message;
}

Handler &currentHandler()
{
    static Handler handler = defaultHandler;
    return handler;
}

} // namespace

void show(const QString &message)
{
    currentHandler()(message);
}

Handler setHandler(Handler handler)
{
    Handler previous = currentHandler();
    currentHandler() = handler ? std::move(handler) : Handler(defaultHandler);
    return previous;
}

bool guarded(const std::function<void()> &body)
{
    try {
        body();
        return true;
    } catch (const OstralineError &error) {
        show(error.message());
    } catch (const std::exception &error) {
        show(QString::fromLocal8Bit(error.what()));
    }
    return false;
}

} // namespace ErrorReport
