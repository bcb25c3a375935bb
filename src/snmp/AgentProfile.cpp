#include "AgentProfile.h"

namespace
{

QByteArray encoded(const QByteArray &value)
{
    return value.toPercentEncoding();
}

QByteArray encoded(const QString &value)
{
    return value.toUtf8().toPercentEncoding();
}

} // namespace

QString AgentProfile::versionText(Version version)
{
    return snmpVersionText(version);
}

std::optional<AgentProfile::Version> AgentProfile::parseVersion(const QString &text)
{
    const auto version = parseSnmpVersion(text, Qt::CaseInsensitive);
    if (version == SnmpVersion::Auto)
        return std::nullopt;
    return version;
}

const AgentProfile *AgentProfiles::find(const QString &address) const
{
    const auto it = m_profiles.constFind(address);
    return it == m_profiles.constEnd() ? nullptr : &*it;
}

std::shared_ptr<const SnmpSecurity> AgentProfiles::v3Security(const QString &address) const
{
    const AgentProfile *profile = find(address);
    if (!profile || profile->version != AgentProfile::Version::V3)
        return nullptr;
    return std::make_shared<const SnmpSecurity>(profile->security);
}

void AgentProfiles::set(const AgentProfile &profile)
{
    m_profiles.insert(profile.address, profile);
}

bool AgentProfiles::remove(const QString &address)
{
    return m_profiles.remove(address) > 0;
}

QByteArray AgentProfiles::toText() const
{
    QByteArray text = "# Ostraline agent profiles. Private: holds SNMP v3 passphrases.\n";
    for (const AgentProfile &p : m_profiles) {
        const SnmpSecurity &s = p.security;
        text += "\n[" + encoded(p.address) + "]\n";
        text += "version=" + encoded(AgentProfile::versionText(p.version)) + '\n';
        if (p.version != AgentProfile::Version::V3)
            continue;
        text += "user=" + encoded(s.user) + '\n';
        text += "level=" + encoded(SnmpSecurity::levelText(s.level)) + '\n';
        text += "auth=" + encoded(SnmpSecurity::authText(s.auth)) + '\n';
        text += "priv=" + encoded(SnmpSecurity::privText(s.priv)) + '\n';
        text += "authPassphrase=" + encoded(s.authPassphrase) + '\n';
        text += "privPassphrase=" + encoded(s.privPassphrase) + '\n';
        text += "context=" + encoded(s.context) + '\n';
    }
    return text;
}

std::optional<AgentProfiles> AgentProfiles::fromText(const QByteArray &text, int *errorLine)
{
    AgentProfiles result;
    AgentProfile current;
    bool inSection = false;
    const auto flush = [&] {
        if (inSection)
            result.set(current);
    };
    const QList<QByteArray> lines = text.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        const auto fail = [&] {
            if (errorLine)
                *errorLine = int(i + 1);
            return std::nullopt;
        };
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        if (line.startsWith('[') && line.endsWith(']')) {
            flush();
            current = AgentProfile();
            current.address =
                QString::fromUtf8(QByteArray::fromPercentEncoding(line.mid(1, line.size() - 2)));
            if (current.address.isEmpty())
                return fail();
            inSection = true;
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (!inSection || equals <= 0)
            return fail();
        const QByteArray key = line.left(equals);
        const QByteArray raw = QByteArray::fromPercentEncoding(line.mid(equals + 1));
        const QString value = QString::fromUtf8(raw);
        SnmpSecurity &s = current.security;
        bool ok = true;
        if (key == "version") {
            const auto version = AgentProfile::parseVersion(value);
            ok = version.has_value();
            if (ok)
                current.version = *version;
        } else if (key == "user") {
            s.user = value;
        } else if (key == "level") {
            ok = SnmpSecurity::parseLevel(value, &s.level);
        } else if (key == "auth") {
            ok = SnmpSecurity::parseAuth(value, &s.auth);
        } else if (key == "priv") {
            ok = SnmpSecurity::parsePriv(value, &s.priv);
        } else if (key == "authPassphrase") {
            s.authPassphrase = raw;
        } else if (key == "privPassphrase") {
            s.privPassphrase = raw;
        } else if (key == "context") {
            s.context = value;
        } // other keys: written by a later version, kept out of the way
        if (!ok)
            return fail();
    }
    flush();
    return result;
}
