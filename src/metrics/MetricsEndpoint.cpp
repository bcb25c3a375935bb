#include "MetricsEndpoint.h"

#include "MetricsAddress.h"

MetricsEndpoint::MetricsEndpoint(QObject *parent) : QObject(parent) {}

QString MetricsEndpoint::apply(const QString &settingText)
{
    if (settingText == m_applied && (settingText.isEmpty() || m_server.isListening()))
        return QString();
    m_server.close();
    m_applied = settingText;
    if (settingText.isEmpty())
        return QString();
    const std::optional<MetricsAddress::Address> address = MetricsAddress::parse(settingText);
    if (!address)
        return QStringLiteral("The metrics address \"%1\" is not an IP address with a port, "
                              "such as 127.0.0.1:9650.")
            .arg(settingText);
    QString error;
    if (!m_server.listen(QHostAddress(address->host), address->port, &error))
        return QStringLiteral("Cannot serve metrics at %1: %2").arg(settingText, error);
    return QString();
}
