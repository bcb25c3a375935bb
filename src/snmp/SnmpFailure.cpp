#include "SnmpFailure.h"

QString snmpFailureText(SnmpFailure failure)
{
    switch (failure) {
    case SnmpFailure::None:
        break;
    case SnmpFailure::UnknownUser:
        return QStringLiteral("Wrong user: the agent does not know this user.");
    case SnmpFailure::WrongPassphrase:
        return QStringLiteral("Wrong passphrase: the agent rejected the authentication.");
    case SnmpFailure::WrongPrivPassphrase:
        return QStringLiteral("Wrong privacy passphrase: the agent could not decrypt the "
                              "request.");
    case SnmpFailure::UnsupportedLevel:
        return QStringLiteral("Unsupported security level: the user has no such level at the "
                              "agent.");
    case SnmpFailure::Unsupported:
        return QStringLiteral("Unsupported protocol: this SNMP library does not offer it.");
    case SnmpFailure::NoAnswer:
        return QStringLiteral("No answer from the agent (with privacy, a wrong privacy "
                              "passphrase or protocol also goes unanswered).");
    case SnmpFailure::ErrorStatus:
        return QStringLiteral("The agent refused the request: no access at this security "
                              "level or context.");
    case SnmpFailure::NotSent:
        return QStringLiteral("Nothing was sent: the address or the settings are not valid.");
    case SnmpFailure::UnknownEngine:
        return QStringLiteral("The agent reported unknownEngineIDs: the request was not for its "
                              "engine ID (a changed or replaced agent); try again.");
    case SnmpFailure::NotInTimeWindow:
        return QStringLiteral("The agent reported notInTimeWindows: the request was outside its "
                              "time window (its clock could not be followed); try again.");
    case SnmpFailure::Report:
        return QStringLiteral("The agent sent a report that names no known reason instead of "
                              "an answer; try again.");
    }
    return QString();
}
