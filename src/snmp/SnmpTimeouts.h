#pragma once

// The one time-out and retry policy of every SNMP exchange, whatever the version (v1, v2c and
// v3 alike, a v3 engine ID discovery included).
namespace SnmpTimeouts
{

// A poll: every request of it leaves at once and all share one deadline from the poll's
// start, without retransmission (the next poll is the retry).
constexpr int PollDeadlineMs = 2000;

// A walk: each request waits WalkAttemptMs and is sent WalkRetries more times before the walk
// gives up on the agent.
constexpr int WalkAttemptMs = 2000;
constexpr int WalkRetries = 1;

} // namespace SnmpTimeouts
