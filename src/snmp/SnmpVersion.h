#pragma once

#include <QString>

#include <optional>

// The SNMP version of a request, a walk or an agent profile.
// - A GetRequest is V1 or V2c: V1 readings are the classic 32-bit ones; a V2c request asks for
//   64-bit counters, and only a Counter64 value is a reading there.
// - A V3 request is secured by the user-based security model (see SnmpSecurity); its
//   readings are the classic ones and Counter64.
// - A walk may also be Auto: v2c first, and v1 when v2c gets no answer or an error before the
//   agent has answered anything. A profile is never Auto.
enum class SnmpVersion { Auto, V1, V2c, V3 };

// The one text table: "auto", "1", "2c", "3" (as the command line, the discovery and the
// profile file write them).
QString snmpVersionText(SnmpVersion version);
// The version a text names, compared with the given case sensitivity; null for anything else.
std::optional<SnmpVersion> parseSnmpVersion(const QString &text,
                                            Qt::CaseSensitivity cs = Qt::CaseSensitive);
