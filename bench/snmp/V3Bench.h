#pragma once

// The get step over 20 interfaces of one agent polled with SNMP v3 at authPriv (SHA, AES),
// first poll (the agent's engine ID still to learn, keys to derive) and later polls, next to
// the same agent polled with 64-bit counters on SNMP v2c, in the same run. Each case prints
// the median time of `runs` runs, the number of requests and the longest gap of a 5 ms
// heartbeat timer.
namespace SnmpBench
{

void runV3(int runs);

} // namespace SnmpBench
