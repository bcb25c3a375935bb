#pragma once

#include "SnmpSecurity.h"
#include "SnmpVersion.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

#include <memory>
#include <optional>

// How to talk to one agent, keyed by its address text exactly as the device file holds it
// (host, IPv4, [IPv6], optional :port). Only a v3 profile changes how the agent is polled; a
// v1 or v2c profile records the version for testing and discovery.
struct AgentProfile {
    using Version = SnmpVersion; // V1, V2c or V3, never Auto

    QString address;
    Version version = Version::V3;
    SnmpSecurity security; // v3 only

    bool operator==(const AgentProfile &) const = default;

    // "1", "2c", "3" (case-insensitive when read; "auto" is no profile version).
    static QString versionText(Version version);
    static std::optional<Version> parseVersion(const QString &text);
};

// The saved profiles, one per address, and their text form: a section per profile with one
// "key=value" line per field, every value percent-encoded (so any text survives).
class AgentProfiles
{
public:
    const AgentProfile *find(const QString &address) const;
    // The security of a v3 profile for the address, or null (no profile, or v1/v2c).
    std::shared_ptr<const SnmpSecurity> v3Security(const QString &address) const;

    void set(const AgentProfile &profile);
    bool remove(const QString &address);
    QList<AgentProfile> all() const { return m_profiles.values(); } // by address
    bool isEmpty() const { return m_profiles.isEmpty(); }
    bool operator==(const AgentProfiles &) const = default;

    QByteArray toText() const;
    // Null for text that is not a profile list (the line of the first fault in *errorLine).
    static std::optional<AgentProfiles> fromText(const QByteArray &text, int *errorLine = nullptr);

private:
    QMap<QString, AgentProfile> m_profiles;
};
