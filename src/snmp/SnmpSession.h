#pragma once

#include "SnmpFailure.h"
#include "SnmpSecurity.h"
#include "SnmpVersion.h"

#include <QByteArray>
#include <QString>

class QHostAddress;
struct snmp_session;
struct snmp_pdu;

// Opens the SNMP library's sessions for SnmpExchange, the one user of these calls. Every
// session has a UDP socket of its own, connected to the agent's address and port, so that the
// kernel drops each datagram that does not come from exactly there: a local user who spots the
// socket cannot answer in the agent's place. For SNMP v3 it keeps the agents' engine IDs and
// the users' localised keys. All on the GUI thread.
namespace SnmpSession
{

// The library's single-session handle for the settings, with its socket connected, or null.
void *open(snmp_session &settings, const QHostAddress &address, quint16 port, int *socket);

// Sends the PDU on the session (the library owns it on success; 0 on failure, the caller
// frees it then) and reads what waits on its socket. Both first forbid the library's own
// engine ID probe on the session: the library clears that setting once a session is open,
// and the probe is a synchronous exchange with no time-out that an agent answering with
// reports for ever (notInTimeWindows) keeps going for good.
int send(void *session, snmp_pdu *pdu,
         int (*callback)(int, snmp_session *, int, snmp_pdu *, void *), void *magic);
void read(void *session, int socket);

// SNMP v1 or v2c with the community's exact bytes (an empty community stays empty: the
// library would otherwise put in its default).
void *openCommunity(SnmpVersion version, const QByteArray &community, const QHostAddress &address,
                    quint16 port, int *socket);

// SNMP v3 engine IDs learnt, by the peer name of SnmpHost::peerName().
QByteArray knownEngine(const QString &peer);
void learnEngine(const QString &peer, const QByteArray &engineId);
void forgetEngine(const QString &peer);
// A v3 request to the peer went unanswered: its engine ID stays in use, but the next request
// also asks for the engine ID beside it (a replaced device drops requests for the old one
// without a word). Learning an engine ID clears the mark.
void markSilent(const QString &peer);
bool isSilent(const QString &peer);

// The first exchange with a v3 agent whose engine ID is not known: a session without user or
// security that never probes (a blocking exchange), and the empty GET the agent answers with a
// report carrying its engine ID. The reply's engine ID, or empty when it carries none.
void *openEngineDiscovery(const QHostAddress &address, quint16 port, int *socket);
snmp_pdu *engineDiscoveryRequest();
QByteArray reportedEngine(const snmp_pdu *reply);

// A v3 session for the user at the agent whose engine ID is known, without probing. The keys
// are derived from the passphrases once per engine and user (a derivation takes milliseconds)
// and again only when the security changes. Null with *failure set (Unsupported for a
// protocol the library does not offer, NotSent otherwise) when it cannot be opened.
void *openUser(const QHostAddress &address, quint16 port, const QByteArray &engineId,
               const SnmpSecurity &security, int *socket, SnmpFailure *failure);

// What a v3 report says went wrong; an unknown engine ID is forgotten for the peer.
SnmpFailure reportFailure(snmp_pdu *report, const QString &peer);

} // namespace SnmpSession
