#pragma once

// The SNMP version of a request or a walk.
// - A GetRequest is V1 or V2c: V1 readings are the classic 32-bit ones; a V2c request asks for
//   64-bit counters, and only a Counter64 value is a reading there.
// - A V3 request is secured by the user-based security model (see SnmpSecurity); its
//   readings are the classic ones and Counter64.
// - A walk may also be Auto: v2c first, and v1 when v2c gets no answer or an error before the
//   agent has answered anything.
enum class SnmpVersion { Auto, V1, V2c, V3 };
