#include "SnmpSecurity.h"

#include <net-snmp/net-snmp-config.h>

namespace
{

QString normalised(const QString &text)
{
    QString t = text.trimmed().toUpper();
    t.remove(QLatin1Char('-'));
    return t;
}

} // namespace

QString SnmpSecurity::levelText(Level level)
{
    switch (level) {
    case Level::NoAuthNoPriv:
        return QStringLiteral("noAuthNoPriv");
    case Level::AuthNoPriv:
        return QStringLiteral("authNoPriv");
    case Level::AuthPriv:
        break;
    }
    return QStringLiteral("authPriv");
}

QString SnmpSecurity::authText(Auth auth)
{
    switch (auth) {
    case Auth::MD5:
        return QStringLiteral("MD5");
    case Auth::SHA1:
        return QStringLiteral("SHA");
    case Auth::SHA224:
        return QStringLiteral("SHA-224");
    case Auth::SHA256:
        return QStringLiteral("SHA-256");
    case Auth::SHA384:
        return QStringLiteral("SHA-384");
    case Auth::SHA512:
        break;
    }
    return QStringLiteral("SHA-512");
}

QString SnmpSecurity::privText(Priv priv)
{
    switch (priv) {
    case Priv::DES:
        return QStringLiteral("DES");
    case Priv::AES128:
        return QStringLiteral("AES");
    case Priv::AES192:
        return QStringLiteral("AES-192");
    case Priv::AES256:
        break;
    }
    return QStringLiteral("AES-256");
}

bool SnmpSecurity::parseLevel(const QString &text, Level *level)
{
    for (Level l : {Level::NoAuthNoPriv, Level::AuthNoPriv, Level::AuthPriv}) {
        if (text.trimmed().compare(levelText(l), Qt::CaseInsensitive) == 0) {
            *level = l;
            return true;
        }
    }
    return false;
}

bool SnmpSecurity::parseAuth(const QString &text, Auth *auth)
{
    const QString t = normalised(text);
    if (t == QLatin1String("SHA1")) {
        *auth = Auth::SHA1;
        return true;
    }
    for (Auth a : {Auth::MD5, Auth::SHA1, Auth::SHA224, Auth::SHA256, Auth::SHA384, Auth::SHA512}) {
        if (t == normalised(authText(a))) {
            *auth = a;
            return true;
        }
    }
    return false;
}

bool SnmpSecurity::parsePriv(const QString &text, Priv *priv)
{
    const QString t = normalised(text);
    if (t == QLatin1String("AES128")) {
        *priv = Priv::AES128;
        return true;
    }
    for (Priv p : {Priv::DES, Priv::AES128, Priv::AES192, Priv::AES256}) {
        if (t == normalised(privText(p))) {
            *priv = p;
            return true;
        }
    }
    return false;
}

QList<SnmpSecurity::Auth> SnmpSecurity::availableAuth()
{
    QList<Auth> list{Auth::SHA1, Auth::SHA224, Auth::SHA256, Auth::SHA384, Auth::SHA512};
#ifndef NETSNMP_DISABLE_MD5
    list.append(Auth::MD5);
#endif
    return list;
}

QList<SnmpSecurity::Priv> SnmpSecurity::availablePriv()
{
    QList<Priv> list{Priv::AES128};
#ifdef NETSNMP_DRAFT_BLUMENTHAL_AES_04
    list << Priv::AES192 << Priv::AES256;
#endif
#ifndef NETSNMP_DISABLE_DES
    list.append(Priv::DES);
#endif
    return list;
}

QStringList SnmpSecurity::availableAuthTexts()
{
    QStringList texts;
    for (Auth a : availableAuth())
        texts << authText(a);
    return texts;
}

QStringList SnmpSecurity::availablePrivTexts()
{
    QStringList texts;
    for (Priv p : availablePriv())
        texts << privText(p);
    return texts;
}

bool SnmpSecurity::isUsable() const
{
    if (user.isEmpty())
        return false;
    if (level != Level::NoAuthNoPriv &&
        (!availableAuth().contains(auth) || authPassphrase.size() < MinPassphrase))
        return false;
    if (level == Level::AuthPriv &&
        (!availablePriv().contains(priv) || privPassphrase.size() < MinPassphrase))
        return false;
    return true;
}
