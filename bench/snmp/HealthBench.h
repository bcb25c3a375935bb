#pragma once

// The get step over 20 SNMP v1 interfaces with "link health" on (one extra request per
// interface in the same batch) against the same step with it off, in the same run, against a
// loopback snmpd that has every link-health object and against a responder that never
// answers. Each case prints the median time of `runs` runs, the number of requests and the
// longest gap of a 10 ms heartbeat timer.
namespace SnmpBench
{

void runLinkHealth(int runs);

} // namespace SnmpBench
