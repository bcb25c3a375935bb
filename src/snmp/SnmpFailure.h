#pragma once

#include <QString>

// Why a request gave no reading (None when it did, or when nothing more is known).
enum class SnmpFailure {
    None,
    NotSent,             // malformed, unresolvable, or the library refused to send it
    NoAnswer,            // nothing came back before the deadline
    ErrorStatus,         // the agent answered with an error-status
    UnknownUser,         // v3 report: the agent does not know the user
    WrongPassphrase,     // v3 report: the authentication passphrase (or protocol) is wrong
    WrongPrivPassphrase, // v3 report: the agent could not decrypt the request
    UnsupportedLevel,    // v3 report: the user has no such security level
    Unsupported,         // the protocol is not offered by the SNMP library
    UnknownEngine,       // v3 report: the agent's engine ID changed (learnt afresh next time)
    NotInTimeWindow,     // v3 report: the agent's clock could not be followed
    Report,              // any other v3 report
};

// The failure in words for the operator, one sentence; empty for None.
QString snmpFailureText(SnmpFailure failure);
