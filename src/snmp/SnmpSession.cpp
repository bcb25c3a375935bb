#include "SnmpSession.h"

#include "SnmpHost.h"

#include <QCryptographicHash>
#include <QHash>
#include <QHostAddress>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

// These need the configuration above.
#include <net-snmp/library/keytools.h>
#include <net-snmp/library/snmpusm.h>
#include <net-snmp/library/transform_oids.h>

#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdlib>
#include <cstring>

namespace
{

bool connectToPeer(int socket, const QHostAddress &address, quint16 port)
{
    sockaddr_storage storage;
    std::memset(&storage, 0, sizeof storage);
    socklen_t size = 0;
    if (address.protocol() == QAbstractSocket::IPv4Protocol) {
        auto *in4 = reinterpret_cast<sockaddr_in *>(&storage);
        in4->sin_family = AF_INET;
        in4->sin_port = htons(port);
        in4->sin_addr.s_addr = htonl(address.toIPv4Address());
        size = sizeof(sockaddr_in);
    } else if (address.protocol() == QAbstractSocket::IPv6Protocol) {
        auto *in6 = reinterpret_cast<sockaddr_in6 *>(&storage);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(port);
        const Q_IPV6ADDR bytes = address.toIPv6Address();
        std::memcpy(in6->sin6_addr.s6_addr, bytes.c, sizeof bytes.c);
        // The scope of a link-local address: an interface number or name ("fe80::1%eth0").
        bool numeric = false;
        const uint scope = address.scopeId().toUInt(&numeric);
        in6->sin6_scope_id =
            numeric ? scope : if_nametoindex(address.scopeId().toLocal8Bit().constData());
        size = sizeof(sockaddr_in6);
    } else {
        return false;
    }
    return ::connect(socket, reinterpret_cast<const sockaddr *>(&storage), size) == 0;
}

QHash<QString, QByteArray> &engineIds()
{
    static QHash<QString, QByteArray> ids;
    return ids;
}

// For each (engine ID, user) the library's user table holds: a digest of the protocols and
// passphrases its keys were made from.
QHash<QByteArray, QByteArray> &localisedUsers()
{
    static QHash<QByteArray, QByteArray> users;
    return users;
}

QByteArray securityDigest(const SnmpSecurity &security)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    const QByteArray settings = QByteArray::number(int(security.level)) + ' ' +
                                QByteArray::number(int(security.auth)) + ' ' +
                                QByteArray::number(int(security.priv)) + ' ' +
                                QByteArray::number(security.authPassphrase.size()) + ' ';
    hash.addData(settings);
    hash.addData(security.authPassphrase);
    hash.addData(security.privPassphrase);
    return hash.result();
}

const oid *authProtocol(SnmpSecurity::Auth auth, std::size_t *length)
{
    *length = USM_AUTH_PROTO_SHA_LEN;
    switch (auth) {
    case SnmpSecurity::Auth::MD5:
#ifndef NETSNMP_DISABLE_MD5
        return usmHMACMD5AuthProtocol;
#else
        return nullptr;
#endif
    case SnmpSecurity::Auth::SHA1:
        return usmHMACSHA1AuthProtocol;
    case SnmpSecurity::Auth::SHA224:
        return usmHMAC128SHA224AuthProtocol;
    case SnmpSecurity::Auth::SHA256:
        return usmHMAC192SHA256AuthProtocol;
    case SnmpSecurity::Auth::SHA384:
        return usmHMAC256SHA384AuthProtocol;
    case SnmpSecurity::Auth::SHA512:
        return usmHMAC384SHA512AuthProtocol;
    }
    return nullptr;
}

const oid *privProtocol(SnmpSecurity::Priv priv, std::size_t *length)
{
    switch (priv) {
    case SnmpSecurity::Priv::DES:
#ifndef NETSNMP_DISABLE_DES
        *length = USM_PRIV_PROTO_DES_LEN;
        return usmDESPrivProtocol;
#else
        return nullptr;
#endif
    case SnmpSecurity::Priv::AES128:
        *length = USM_PRIV_PROTO_AES_LEN;
        return usmAESPrivProtocol;
    case SnmpSecurity::Priv::AES192:
#ifdef NETSNMP_DRAFT_BLUMENTHAL_AES_04
        *length = OID_LENGTH(usmAES192PrivProtocol);
        return usmAES192PrivProtocol;
#else
        return nullptr;
#endif
    case SnmpSecurity::Priv::AES256:
#ifdef NETSNMP_DRAFT_BLUMENTHAL_AES_04
        *length = OID_LENGTH(usmAES256PrivProtocol);
        return usmAES256PrivProtocol;
#else
        return nullptr;
#endif
    }
    return nullptr;
}

} // namespace

namespace SnmpSession
{

void *open(snmp_session &settings, const QHostAddress &address, quint16 port, int *socket)
{
    void *session = snmp_sess_open(&settings);
    if (!session)
        return nullptr;
    netsnmp_transport *transport = snmp_sess_transport(session);
    if (!transport || transport->sock < 0 || !connectToPeer(transport->sock, address, port)) {
        snmp_sess_close(session);
        return nullptr;
    }
    *socket = transport->sock;
    return session;
}

void *openCommunity(SnmpVersion version, const QByteArray &community, const QHostAddress &address,
                    quint16 port, int *socket)
{
    const QByteArray peerName = SnmpHost::peerName(address, port).toLatin1();
    netsnmp_session settings;
    snmp_sess_init(&settings);
    settings.version = version == SnmpVersion::V1 ? SNMP_VERSION_1 : SNMP_VERSION_2c;
    settings.peername = const_cast<char *>(peerName.constData());
    settings.community = reinterpret_cast<u_char *>(const_cast<char *>(community.constData()));
    settings.community_len = static_cast<size_t>(community.size());
    settings.retries = 0; // the caller owns every wait
    void *session = open(settings, address, port, socket);
    if (session && community.isEmpty())
        snmp_sess_session(session)->community_len = 0;
    return session;
}

QByteArray knownEngine(const QString &peer)
{
    return engineIds().value(peer);
}

void learnEngine(const QString &peer, const QByteArray &engineId)
{
    engineIds().insert(peer, engineId);
}

void forgetEngine(const QString &peer)
{
    engineIds().remove(peer);
}

void *openEngineDiscovery(const QHostAddress &address, quint16 port, int *socket)
{
    const QByteArray peerName = SnmpHost::peerName(address, port).toLatin1();
    netsnmp_session settings;
    snmp_sess_init(&settings);
    settings.version = SNMP_VERSION_3;
    settings.peername = const_cast<char *>(peerName.constData());
    settings.retries = 0;
    settings.flags |= SNMP_FLAGS_DONT_PROBE;
    settings.securityModel = SNMP_SEC_MODEL_USM;
    settings.securityLevel = SNMP_SEC_LEVEL_NOAUTH;
    return open(settings, address, port, socket);
}

snmp_pdu *engineDiscoveryRequest()
{
    netsnmp_pdu *pdu = snmp_pdu_create(SNMP_MSG_GET);
    if (!pdu)
        return nullptr;
    // The PDU carries the empty user name itself (the library fills in the session's name
    // only when the PDU has none).
    pdu->securityName = static_cast<char *>(std::calloc(1, 1));
    pdu->securityNameLen = 0;
    pdu->securityLevel = SNMP_SEC_LEVEL_NOAUTH;
    pdu->securityModel = SNMP_SEC_MODEL_USM;
    return pdu;
}

QByteArray reportedEngine(const snmp_pdu *reply)
{
    if (!reply->securityEngineID || reply->securityEngineIDLen == 0)
        return QByteArray();
    return QByteArray(reinterpret_cast<const char *>(reply->securityEngineID),
                      static_cast<qsizetype>(reply->securityEngineIDLen));
}

void *openUser(const QHostAddress &address, quint16 port, const QByteArray &engineId,
               const SnmpSecurity &security, int *socket, SnmpFailure *failure)
{
    *failure = SnmpFailure::NotSent;
    const QByteArray peerName = SnmpHost::peerName(address, port).toLatin1();
    QByteArray user = security.user.toUtf8();
    QByteArray context = security.context.toUtf8();
    QByteArray engine = engineId;
    netsnmp_session settings;
    snmp_sess_init(&settings);
    settings.version = SNMP_VERSION_3;
    settings.peername = const_cast<char *>(peerName.constData());
    settings.retries = 0;
    // The engine ID is known: the session must not probe for it (a blocking exchange).
    settings.flags |= SNMP_FLAGS_DONT_PROBE;
    settings.securityModel = SNMP_SEC_MODEL_USM;
    settings.securityName = user.data();
    settings.securityNameLen = static_cast<size_t>(user.size());
    settings.securityEngineID = reinterpret_cast<u_char *>(engine.data());
    settings.securityEngineIDLen = static_cast<size_t>(engine.size());
    settings.contextName = context.data();
    settings.contextNameLen = static_cast<size_t>(context.size());
    switch (security.level) {
    case SnmpSecurity::Level::NoAuthNoPriv:
        settings.securityLevel = SNMP_SEC_LEVEL_NOAUTH;
        break;
    case SnmpSecurity::Level::AuthNoPriv:
        settings.securityLevel = SNMP_SEC_LEVEL_AUTHNOPRIV;
        break;
    case SnmpSecurity::Level::AuthPriv:
        settings.securityLevel = SNMP_SEC_LEVEL_AUTHPRIV;
        break;
    }
    const bool auth = security.level != SnmpSecurity::Level::NoAuthNoPriv;
    const bool priv = security.level == SnmpSecurity::Level::AuthPriv;
    std::size_t authLength = 0;
    std::size_t privLength = 0;
    const oid *authOid = authProtocol(security.auth, &authLength);
    const oid *privOid = privProtocol(security.priv, &privLength);
    if ((auth && !authOid) || (priv && !privOid)) {
        *failure = SnmpFailure::Unsupported;
        return nullptr;
    }
    if (auth) {
        settings.securityAuthProto = const_cast<oid *>(authOid);
        settings.securityAuthProtoLen = authLength;
    }
    if (priv) {
        settings.securityPrivProto = const_cast<oid *>(privOid);
        settings.securityPrivProtoLen = privLength;
    }

    // The library keeps the localised keys in its user table, which every later session of
    // the same engine and user uses.
    const QByteArray userKey = engineId + '\0' + user;
    const QByteArray digest = securityDigest(security);
    const bool needsKeys = localisedUsers().value(userKey) != digest;
    const auto wipeKeys = [&settings] {
        std::memset(settings.securityAuthKey, 0, sizeof settings.securityAuthKey);
        std::memset(settings.securityPrivKey, 0, sizeof settings.securityPrivKey);
    };
    if (needsKeys) {
        if (usmUser *old = usm_get_user(reinterpret_cast<const u_char *>(engineId.constData()),
                                        static_cast<size_t>(engineId.size()), user.data())) {
            usm_remove_user(old);
            usm_free_user(old);
        }
        localisedUsers().remove(userKey);
        if (auth) {
            QByteArray passphrase = security.authPassphrase;
            settings.securityAuthKeyLen = USM_AUTH_KU_LEN;
            if (generate_Ku(authOid, static_cast<u_int>(authLength),
                            reinterpret_cast<u_char *>(passphrase.data()),
                            static_cast<size_t>(passphrase.size()), settings.securityAuthKey,
                            &settings.securityAuthKeyLen) != SNMPERR_SUCCESS) {
                wipeKeys();
                return nullptr;
            }
        }
        if (priv) {
            QByteArray passphrase = security.privPassphrase;
            settings.securityPrivKeyLen = USM_PRIV_KU_LEN;
            if (generate_Ku(authOid, static_cast<u_int>(authLength),
                            reinterpret_cast<u_char *>(passphrase.data()),
                            static_cast<size_t>(passphrase.size()), settings.securityPrivKey,
                            &settings.securityPrivKeyLen) != SNMPERR_SUCCESS) {
                wipeKeys();
                return nullptr;
            }
        }
    }
    void *session = open(settings, address, port, socket);
    // The session holds its own copy; the keys on this stack frame are wiped.
    wipeKeys();
    if (!session)
        return nullptr;
    if (needsKeys) {
        if (usm_create_user_from_session(snmp_sess_session(session)) != SNMPERR_SUCCESS) {
            snmp_sess_close(session);
            return nullptr;
        }
        localisedUsers().insert(userKey, digest);
    }
    *failure = SnmpFailure::None;
    return session;
}

SnmpFailure reportFailure(snmp_pdu *report, const QString &peer)
{
    switch (snmpv3_get_report_type(report)) {
    case SNMPERR_UNKNOWN_USER_NAME:
        return SnmpFailure::UnknownUser;
    case SNMPERR_AUTHENTICATION_FAILURE:
        return SnmpFailure::WrongPassphrase;
    case SNMPERR_DECRYPTION_ERR:
        return SnmpFailure::WrongPrivPassphrase;
    case SNMPERR_UNSUPPORTED_SEC_LEVEL:
        return SnmpFailure::UnsupportedLevel;
    case SNMPERR_UNKNOWN_ENG_ID:
        forgetEngine(peer);
        return SnmpFailure::UnknownEngine;
    case SNMPERR_NOT_IN_TIME_WINDOW:
        return SnmpFailure::NotInTimeWindow;
    default:
        return SnmpFailure::Report;
    }
}

} // namespace SnmpSession
