#pragma once

// The get step over 20 interfaces with "64-bit counters" on against the 32-bit get step, in
// the same run: the first poll (both ways asked) and a later poll, against a loopback snmpd
// with 64-bit counters for every interface and against a responder that never answers. Each
// case prints the median time of `runs` runs, the number of requests, how many interfaces
// ended up on 64-bit counters, and the longest gap of a 10 ms heartbeat timer.
namespace SnmpBench
{

void runCounters64(int runs);

} // namespace SnmpBench
