#pragma once

#include "SnmpSecurity.h"

#include <QCommandLineOption>
#include <QList>
#include <QString>

#include <optional>

class QCommandLineParser;

// The command line's SNMP v3 options: --user, --security-level, --auth-protocol,
// --priv-protocol and --context. The passphrases come only from the environment, never from
// an option value, since a command line is readable by every local user.
class SecurityOptions
{
public:
    static constexpr const char *AuthPassphraseVariable = "OSTRALINE_AUTH_PASSPHRASE";
    static constexpr const char *PrivPassphraseVariable = "OSTRALINE_PRIV_PASSPHRASE";

    SecurityOptions();
    QList<QCommandLineOption> options() const;
    bool anySet(const QCommandLineParser &parser) const;

    // The security for --snmp-version 3, or nothing with the usage error in *error.
    std::optional<SnmpSecurity> read(const QCommandLineParser &parser, QString *error) const;

private:
    QCommandLineOption m_user;
    QCommandLineOption m_level;
    QCommandLineOption m_auth;
    QCommandLineOption m_priv;
    QCommandLineOption m_context;
};
