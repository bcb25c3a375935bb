#pragma once

// Keeps SNMP v3 passphrases and keys out of core files: once a process holds secrets, a
// crash must not write its memory to a file. Called wherever secrets come in (the profile
// file, the fields they are typed into, the command line's environment). A no-op where the
// platform has no core files.
namespace CoreDumps
{

void disable();
// Whether this process may still write a core file.
bool enabled();

} // namespace CoreDumps
