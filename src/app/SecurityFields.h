#pragma once

#include "SnmpSecurity.h"

#include <QGroupBox>

class QComboBox;
class QLineEdit;

// The fields of an SNMP v3 user: name, security level, the two protocols with their
// passphrases, and the context. Passphrases are typed, never shown: the fields start empty,
// and an empty field keeps the passphrase the fields were given. The protocol and passphrase
// fields a level does not use are disabled. A group titled "SNMP v3 user".
class SecurityFields : public QGroupBox
{
    Q_OBJECT

public:
    explicit SecurityFields(QWidget *parent = nullptr);

    // Fills the fields; the passphrases are kept, not shown (the fields say "unchanged" when
    // there are any).
    void setSecurity(const SnmpSecurity &security);
    SnmpSecurity security() const;

    QLineEdit *user = nullptr;
    QComboBox *level = nullptr;
    QComboBox *auth = nullptr;
    QComboBox *priv = nullptr;
    QLineEdit *authPassphrase = nullptr;
    QLineEdit *privPassphrase = nullptr;
    QLineEdit *context = nullptr;

private:
    void followLevel();

    SnmpSecurity m_start;
};
