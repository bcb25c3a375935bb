#!/usr/bin/env bash
# Installs what is missing, builds, and starts Ostraline. Arguments go to the program
# (the first one is a device file to load at start).
#
# Without arguments and without a device file set to load at every start, it first starts a
# read-only SNMP agent on 127.0.0.1 serving this machine's own interface counters, and opens
# Ostraline on a device file for it: press "Start polling" to see live graphs. The agent
# stops when Ostraline ends.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh build

# Whether the stored settings load a device file at start ("first start file active" set to
# "yes"; the settings file stores blanks in names as %20).
start_file_active() {
    local ini="${XDG_CONFIG_HOME:-$HOME/.config}/Kelvane/OSL.ini"
    [ -f "$ini" ] && grep -Eq '^first(%20| )start(%20| )file(%20| )active[[:space:]]*=[[:space:]]*yes[[:space:]]*$' "$ini"
}

if [ $# -gt 0 ] || start_file_active; then
    exec build/src/app/ostraline "$@"
fi

demo_dir=$(mktemp -d "${TMPDIR:-/tmp}/ostraline-demo.XXXXXX")
app_pid=""
cleanup() {
    if [ -n "$app_pid" ]; then kill "$app_pid" 2>/dev/null || true; fi
    scripts/demo-agent.sh stop "$demo_dir" || true
    rm -rf "$demo_dir"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP

if ! device_file=$(scripts/demo-agent.sh start "$demo_dir"); then
    echo "The demo agent did not start; opening Ostraline without a device file." >&2
    cleanup
    trap - EXIT
    exec build/src/app/ostraline
fi
echo "Demo: this machine's interfaces, served by snmpd on $(cut -d';' -f1 "$device_file" | head -n 1)."
echo "Press \"Start polling\" in Ostraline to see the graphs."
# Started in the background and waited for, so that a signal to this script ends both the
# program and the agent at once.
build/src/app/ostraline "$device_file" &
app_pid=$!
status=0
wait "$app_pid" || status=$?
app_pid=""
exit "$status"
