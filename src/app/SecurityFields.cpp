#include "SecurityFields.h"

#include "CoreDumps.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLineEdit>

namespace
{

QComboBox *combo(const QStringList &items, QWidget *parent)
{
    auto *box = new QComboBox(parent);
    box->addItems(items);
    return box;
}

QLineEdit *secretField(QWidget *parent)
{
    auto *field = new QLineEdit(parent);
    field->setEchoMode(QLineEdit::Password);
    return field;
}

} // namespace

SecurityFields::SecurityFields(QWidget *parent) : QGroupBox(QStringLiteral("SNMP v3 user"), parent)
{
    user = new QLineEdit(this);
    level = combo({SnmpSecurity::levelText(SnmpSecurity::Level::NoAuthNoPriv),
                   SnmpSecurity::levelText(SnmpSecurity::Level::AuthNoPriv),
                   SnmpSecurity::levelText(SnmpSecurity::Level::AuthPriv)},
                  this);
    auth = combo(SnmpSecurity::availableAuthTexts(), this);
    priv = combo(SnmpSecurity::availablePrivTexts(), this);
    authPassphrase = secretField(this);
    privPassphrase = secretField(this);
    context = new QLineEdit(this);
    auto *form = new QFormLayout(this);
    form->addRow(QStringLiteral("&User:"), user);
    form->addRow(QStringLiteral("Security &level:"), level);
    form->addRow(QStringLiteral("Au&thentication:"), auth);
    form->addRow(QStringLiteral("Authentication pass&phrase:"), authPassphrase);
    form->addRow(QStringLiteral("P&rivacy:"), priv);
    form->addRow(QStringLiteral("Privacy passp&hrase:"), privPassphrase);
    form->addRow(QStringLiteral("Conte&xt:"), context);
    connect(level, &QComboBox::currentTextChanged, this, &SecurityFields::followLevel);
    setSecurity(SnmpSecurity());
}

void SecurityFields::setSecurity(const SnmpSecurity &security)
{
    m_start = security;
    user->setText(security.user);
    level->setCurrentText(SnmpSecurity::levelText(security.level));
    auth->setCurrentText(SnmpSecurity::authText(security.auth));
    priv->setCurrentText(SnmpSecurity::privText(security.priv));
    context->setText(security.context);
    authPassphrase->clear();
    privPassphrase->clear();
    const auto hint = [](const QByteArray &kept) {
        return kept.isEmpty()
                   ? QStringLiteral("at least %1 characters").arg(SnmpSecurity::MinPassphrase)
                   : QStringLiteral("unchanged");
    };
    authPassphrase->setPlaceholderText(hint(security.authPassphrase));
    privPassphrase->setPlaceholderText(hint(security.privPassphrase));
    followLevel();
}

SnmpSecurity SecurityFields::security() const
{
    SnmpSecurity s = m_start;
    s.user = user->text();
    SnmpSecurity::parseLevel(level->currentText(), &s.level);
    SnmpSecurity::parseAuth(auth->currentText(), &s.auth);
    SnmpSecurity::parsePriv(priv->currentText(), &s.priv);
    if (!authPassphrase->text().isEmpty())
        s.authPassphrase = authPassphrase->text().toUtf8();
    if (!privPassphrase->text().isEmpty())
        s.privPassphrase = privPassphrase->text().toUtf8();
    s.context = context->text();
    return s;
}

void SecurityFields::followLevel()
{
    SnmpSecurity::Level l = SnmpSecurity::Level::AuthPriv;
    SnmpSecurity::parseLevel(level->currentText(), &l);
    const bool withAuth = l != SnmpSecurity::Level::NoAuthNoPriv;
    const bool withPriv = l == SnmpSecurity::Level::AuthPriv;
    auth->setEnabled(withAuth);
    authPassphrase->setEnabled(withAuth);
    priv->setEnabled(withPriv);
    privPassphrase->setEnabled(withPriv);
}
