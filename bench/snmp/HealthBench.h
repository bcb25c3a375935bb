#pragma once

// The get step over 20 interfaces with "link health" on against the same step with it off, in
// the same run, for SNMP v1 rows (one extra request per interface in the same batch) and 64-bit
// SNMP v2c rows (the six objects in the counter request), against a
// loopback snmpd that has every link-health object and against a responder that never
// answers. Each case prints the median time of `runs` runs, the number of requests and the
// longest gap of a 10 ms heartbeat timer.
namespace SnmpBench
{

void runLinkHealth(int runs);

} // namespace SnmpBench
