#include "DisplayCheck.h"

#include <QList>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>

namespace DisplayCheck
{
namespace
{

struct Held {
    QtMsgType type;
    QString text;
};

QtMessageHandler previous = nullptr;
QList<Held> held;

QString displayName()
{
    QStringList names;
    for (const char *variable : {"WAYLAND_DISPLAY", "DISPLAY"}) {
        const QString value = qEnvironmentVariable(variable);
        if (!value.isEmpty())
            names.append(QString::fromLatin1(variable) + QLatin1Char('=') + value);
    }
    return names.join(QStringLiteral(", "));
}

void holdBack(QtMsgType type, const QMessageLogContext &, const QString &text)
{
    if (type != QtFatalMsg) {
        held.append({type, text});
        return;
    }
    const QString name = displayName();
    const QString line =
        QStringLiteral("ostraline: cannot open the window: the display %1 cannot be used.\n")
            .arg(name.isEmpty() ? QStringLiteral("asked for") : name);
    const QByteArray bytes = line.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
    std::_Exit(1);
}

} // namespace

QString missingDisplay()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS) && !defined(Q_OS_ANDROID)
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return QStringLiteral("ostraline: cannot open the window: no display (neither DISPLAY "
                              "nor WAYLAND_DISPLAY is set); --discover needs none.\n");
#endif
    return QString();
}

Guard::Guard()
{
    held.clear();
    previous = qInstallMessageHandler(holdBack);
}

Guard::~Guard()
{
    qInstallMessageHandler(previous);
    const QMessageLogContext context;
    for (const Held &message : std::as_const(held)) {
        if (previous)
            previous(message.type, context, message.text);
        else
            qt_message_output(message.type, context, message.text);
    }
    held.clear();
}

} // namespace DisplayCheck
