#include "SecurityOptions.h"

#include "CoreDumps.h"

#include <QCommandLineParser>

SecurityOptions::SecurityOptions()
    : m_user(QStringLiteral("user"), QStringLiteral("SNMP v3 user name."), QStringLiteral("NAME")),
      m_level(QStringLiteral("security-level"),
              QStringLiteral("SNMP v3: authPriv, authNoPriv or noAuthNoPriv (default: authPriv)."),
              QStringLiteral("LEVEL"), QStringLiteral("authPriv")),
      m_auth(QStringLiteral("auth-protocol"),
             QStringLiteral("SNMP v3 authentication: %1 (default: SHA).")
                 .arg(SnmpSecurity::availableAuthTexts().join(QStringLiteral(", "))),
             QStringLiteral("PROTOCOL"), QStringLiteral("SHA")),
      m_priv(QStringLiteral("priv-protocol"),
             QStringLiteral("SNMP v3 privacy: %1 (default: AES).")
                 .arg(SnmpSecurity::availablePrivTexts().join(QStringLiteral(", "))),
             QStringLiteral("PROTOCOL"), QStringLiteral("AES")),
      m_context(QStringLiteral("context"), QStringLiteral("SNMP v3 context name (default: none)."),
                QStringLiteral("NAME"))
{
}

QList<QCommandLineOption> SecurityOptions::options() const
{
    return {m_user, m_level, m_auth, m_priv, m_context};
}

bool SecurityOptions::anySet(const QCommandLineParser &parser) const
{
    for (const QCommandLineOption &option : options()) {
        if (parser.isSet(option))
            return true;
    }
    return false;
}

std::optional<SnmpSecurity> SecurityOptions::read(const QCommandLineParser &parser,
                                                  QString *error) const
{
    SnmpSecurity security;
    security.user = parser.value(m_user);
    if (security.user.isEmpty()) {
        *error = QStringLiteral("--snmp-version 3 needs --user NAME.");
        return std::nullopt;
    }
    if (!SnmpSecurity::parseLevel(parser.value(m_level), &security.level)) {
        *error = QStringLiteral("--security-level must be authPriv, authNoPriv or noAuthNoPriv.");
        return std::nullopt;
    }
    const bool auth = security.level != SnmpSecurity::Level::NoAuthNoPriv;
    const bool priv = security.level == SnmpSecurity::Level::AuthPriv;
    if (auth && (!SnmpSecurity::parseAuth(parser.value(m_auth), &security.auth) ||
                 !SnmpSecurity::availableAuth().contains(security.auth))) {
        *error = QStringLiteral("--auth-protocol must be one of %1.")
                     .arg(SnmpSecurity::availableAuthTexts().join(QStringLiteral(", ")));
        return std::nullopt;
    }
    if (priv && (!SnmpSecurity::parsePriv(parser.value(m_priv), &security.priv) ||
                 !SnmpSecurity::availablePriv().contains(security.priv))) {
        *error = QStringLiteral("--priv-protocol must be one of %1.")
                     .arg(SnmpSecurity::availablePrivTexts().join(QStringLiteral(", ")));
        return std::nullopt;
    }
    CoreDumps::disable();
    if (auth)
        security.authPassphrase = qgetenv(AuthPassphraseVariable);
    if (priv)
        security.privPassphrase = qgetenv(PrivPassphraseVariable);
    if (!security.isUsable()) {
        *error = priv ? QStringLiteral("--security-level authPriv needs the passphrases in the "
                                       "environment variables %1 and %2, at least %3 "
                                       "characters each.")
                            .arg(QLatin1String(AuthPassphraseVariable),
                                 QLatin1String(PrivPassphraseVariable))
                            .arg(SnmpSecurity::MinPassphrase)
                      : QStringLiteral("--security-level authNoPriv needs the passphrase in the "
                                       "environment variable %1, at least %2 characters.")
                            .arg(QLatin1String(AuthPassphraseVariable))
                            .arg(SnmpSecurity::MinPassphrase);
        return std::nullopt;
    }
    security.context = parser.value(m_context);
    return security;
}
