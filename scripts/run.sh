#!/usr/bin/env bash
# Installs what is missing, builds, and starts Ostraline. Arguments go to the program
# (the first one is a device file to load at start).
#
# Without arguments and without a device file set to load at every start, it first starts a
# read-only SNMP agent on 127.0.0.1 serving this machine's own interface counters, and opens
# Ostraline on a device file for it, with the demo's own settings (names and last values over
# the graphs, 3-second polls); the operator's settings are neither read nor changed. Press
# "Start polling" to see live graphs. The agent stops and its folder goes when Ostraline ends,
# however it ends.
#
# OSTRALINE_EXECUTABLE=PATH runs that program instead, without installing or building (the
# tests start the demo of their own build this way).
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -n "${OSTRALINE_EXECUTABLE:-}" ]; then
    ostraline=$OSTRALINE_EXECUTABLE
else
    # Only the program: the demo runs it for its discovery too. Tests, benchmarks and
    # pictures are left to scripts/test.sh.
    OSTRALINE_TARGETS=ostraline scripts/setup.sh build
    ostraline=build/src/app/ostraline
fi

# Whether the stored settings load a device file at start ("first start file active" set to
# "yes"; the settings file stores blanks in names as %20).
start_file_active() {
    local ini="${XDG_CONFIG_HOME:-$HOME/.config}/Kelvane/OSL.ini"
    [ -f "$ini" ] && grep -Eq '^first(%20| )start(%20| )file(%20| )active[[:space:]]*=[[:space:]]*yes[[:space:]]*$' "$ini"
}

if [ $# -gt 0 ] || start_file_active; then
    exec "$ostraline" "$@"
fi

demo_dir=$(mktemp -d "${TMPDIR:-/tmp}/ostraline-demo.XXXXXX")
# This process becomes Ostraline (exec below). A watcher in a session of its own stops the
# agent and removes the demo folder once it is gone, whether it quits, is interrupted or is
# killed outright (SIGKILL leaves no chance for a trap here).
watcher=(scripts/demo-agent.sh watch "$demo_dir" "$$")
if command -v setsid >/dev/null; then watcher=(setsid "${watcher[@]}"); fi
"${watcher[@]}" </dev/null >/dev/null 2>&1 &

if ! device_file=$(OSTRALINE_EXECUTABLE=$ostraline scripts/demo-agent.sh start "$demo_dir"); then
    echo "The demo agent did not start; opening Ostraline without a device file." >&2
    scripts/demo-agent.sh stop "$demo_dir" || true
    rm -rf "$demo_dir"
    exec "$ostraline"
fi
names=$(cut -d';' -f5 "$device_file" | paste -sd' ')
echo "Demo: this machine's interfaces ($names), served read-only by snmpd on $(cut -d';' -f1 "$device_file" | head -n 1)."
echo "The demo keeps its own settings in $demo_dir/config and its history in $demo_dir/data;"
echo "your settings and history are not read or changed."
echo ">>> Press \"Start polling\" (Alt+S) in the Ostraline window. <<<"
echo "Each graph is one interface: its name in the middle, input and output in bit/s and % at"
echo "the top; from the second poll on, 3 seconds later, input shows as bars and output as a"
echo "line over them. Hover over a graph for its details. Close the window to end the demo."
XDG_CONFIG_HOME="$demo_dir/config" XDG_DATA_HOME="$demo_dir/data" exec "$ostraline" "$device_file"
