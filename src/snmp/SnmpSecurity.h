#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// How an SNMP v3 request is secured (the user-based security model): the user, the security
// level, the two protocols, the two passphrases and the context. The passphrases live only
// here and in the profile file; nothing prints them.
struct SnmpSecurity {
    enum class Level { NoAuthNoPriv, AuthNoPriv, AuthPriv };
    enum class Auth { MD5, SHA1, SHA224, SHA256, SHA384, SHA512 };
    enum class Priv { DES, AES128, AES192, AES256 };

    QString user;
    Level level = Level::AuthPriv;
    Auth auth = Auth::SHA1;
    Priv priv = Priv::AES128;
    QByteArray authPassphrase;
    QByteArray privPassphrase;
    QString context;

    bool operator==(const SnmpSecurity &) const = default;

    // The texts the operator sees and the profile file stores: "noAuthNoPriv", "authNoPriv",
    // "authPriv"; "MD5", "SHA", "SHA-224", "SHA-256", "SHA-384", "SHA-512"; "DES", "AES",
    // "AES-192", "AES-256".
    static QString levelText(Level level);
    static QString authText(Auth auth);
    static QString privText(Priv priv);
    // Case-insensitive; "SHA-1", "SHA1", "AES-128" and "AES128" are accepted as well.
    static bool parseLevel(const QString &text, Level *level);
    static bool parseAuth(const QString &text, Auth *auth);
    static bool parsePriv(const QString &text, Priv *priv);

    // The protocols the SNMP library offers, in the order the operator is offered them.
    static QList<Auth> availableAuth();
    static QList<Priv> availablePriv();
    static QStringList availableAuthTexts();
    static QStringList availablePrivTexts();

    // Whether the settings can be used: a user name; with authentication an offered protocol
    // and a passphrase of at least MinPassphrase bytes; the same for privacy.
    bool isUsable() const;
    static constexpr int MinPassphrase = 8;
};
