#include "MetricsOptions.h"

#include "ErrorReport.h"
#include "MetricsAddress.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

MetricsOptions::MetricsOptions(QWidget *parent, int top)
    : m_on(new QCheckBox(QStringLiteral("Serve metrics for Prometheus at"), parent)),
      m_address(new QLineEdit(parent)), m_port(new QSpinBox(parent)), m_warning(new QLabel(parent))
{
    // The check box on its own line, the address and port under it, then the warning.
    m_on->setObjectName(QStringLiteral("CheckBoxMetrics"));
    m_on->setGeometry(12, top, 335, 20);
    m_address->setObjectName(QStringLiteral("EditMetricsAddress"));
    m_address->setGeometry(30, top + 22, 160, 22);
    m_address->setMaxLength(64);
    m_port->setObjectName(QStringLiteral("SpinMetricsPort"));
    m_port->setGeometry(196, top + 22, 80, 22);
    m_port->setRange(1, 65535);
    m_warning->setObjectName(QStringLiteral("LabelMetricsWarning"));
    m_warning->setGeometry(30, top + 48, 315, 48);
    m_warning->setWordWrap(true);
    m_warning->setText(QStringLiteral("Not a loopback address: the interface names and rates "
                                      "become readable by anyone who can reach that port."));
    QObject::connect(m_on, &QCheckBox::toggled, m_address, [this] { updateWarning(); });
    QObject::connect(m_address, &QLineEdit::textChanged, m_address, [this] { updateWarning(); });
}

void MetricsOptions::fill(const QString &settingText)
{
    const std::optional<MetricsAddress::Address> address = MetricsAddress::parse(settingText);
    m_on->setChecked(!settingText.isEmpty());
    m_address->setText(address                 ? address->host
                       : settingText.isEmpty() ? MetricsAddress::proposedHost()
                                               : settingText);
    m_port->setValue(address ? address->port : MetricsAddress::ProposedPort);
    updateWarning();
}

QString MetricsOptions::settingText() const
{
    if (!m_on->isChecked())
        return QString();
    const QString text =
        MetricsAddress::text(m_address->text().trimmed(), quint16(m_port->value()));
    if (!MetricsAddress::parse(text))
        throw OstralineError(QStringLiteral("\"%1\" is not an IP address to serve metrics at "
                                            "(such as 127.0.0.1).")
                                 .arg(m_address->text()));
    return text;
}

void MetricsOptions::updateWarning()
{
    const QString host = m_address->text().trimmed();
    m_warning->setVisible(m_on->isChecked() && !MetricsAddress::text(host, 1).isEmpty() &&
                          !MetricsAddress::isLoopback(host));
}
