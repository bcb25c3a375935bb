#!/usr/bin/env bash
# Serves this machine's own interface counters over SNMP on the loopback address, so that
# Ostraline shows live graphs without a router at hand.
#
#   scripts/demo-agent.sh start DIR       starts net-snmp's snmpd in DIR (read-only, community
#                                         "public", 127.0.0.1 at a free UDP port), writes the
#                                         device file DIR/this-machine.dev for it and the
#                                         demo's own settings DIR/config/Kelvane/OSL.ini, and
#                                         prints the device file's path
#   scripts/demo-agent.sh stop DIR        stops the agent started in DIR
#   scripts/demo-agent.sh watch DIR PID   waits until process PID has ended (however it
#                                         ends, SIGKILL included), then stops the agent
#                                         started in DIR and removes DIR
#
# The agent answers only on 127.0.0.1 and only to requests from 127.0.0.1; it serves the
# system and interfaces groups (ifInOctets/ifOutOctets come from the kernel's counters).
# Everything it writes stays in DIR. Ostraline uses the demo settings when started with
# XDG_CONFIG_HOME=DIR/config, so the operator's own settings are neither read nor changed.
set -euo pipefail

usage() {
    echo "usage: $0 start|stop DIR, or $0 watch DIR PID" >&2
    exit 2
}

find_snmpd() {
    local candidate
    for candidate in "$(command -v snmpd 2>/dev/null || true)" /usr/sbin/snmpd /usr/local/sbin/snmpd /sbin/snmpd; do
        if [ -n "$candidate" ] && [ -x "$candidate" ]; then
            echo "$candidate"
            return 0
        fi
    done
    echo "snmpd is not installed (Debian package snmpd)" >&2
    return 1
}

# The device file of the demo, made the way an operator makes one: Ostraline's own interface
# discovery walks the agent at ADDRESS (the interface names as descriptions, ifSpeed or
# ifHighSpeed as bandwidth, loopback at the 10 Mbit/s the agent reports, so that loopback
# traffic shows on the graphs). Interfaces whose speed the kernel does not know get 1 Gbit/s.
# The program is OSTRALINE_EXECUTABLE, else the one in build/.
write_device_file() {
    local address=$1 file=$2 ostraline
    ostraline=${OSTRALINE_EXECUTABLE:-$(dirname "$0")/../build/src/app/ostraline}
    "$ostraline" --discover "$address" --community public --snmp-version 2c \
        --default-bandwidth 1000000000 --output "$file" 2>"$file.discovery.log" || {
        echo "discovery of the demo agent failed:" >&2
        cat "$file.discovery.log" >&2
        return 1
    }
}

# The demo's own settings, in the form Ostraline stores them: interface names and last values
# shown over the graphs, errors shown, polls every 3 seconds with "Double update speed"
# (graphs scroll every second), "In and out" (input as bars, output as a line) and "Rates in
# bit/s" for the captions; every other value at its default. Written as Ostraline itself
# writes the file: names in sorted order, blanks in names as %20.
write_demo_settings() {
    local dir=$1/config/Kelvane
    mkdir -p "$dir"
    cat >"$dir/OSL.ini" <<'EOF'
[General]
Show%20errors=yes
Show%20interface%20names=yes
Show%20last%20values=yes
Write%20analysis%20log=no
Write%20util%20log=no
double%20update%20speed=yes
first%20start%20file=
first%20start%20file%20active=no
gmaxvalue=100
highvalue=70
highvaluecolor=clred
intervall=3
lowvalue=20
lowvaluecolor=clLime
normalvaluecolor=clYellow
numbergraphs=10
onerrors=stop
rates%20in%20bits=yes
values=INOUT
EOF
}

# Starts snmpd on the given port; returns 0 once it serves, 1 when it exits (port taken).
try_port() {
    local dir=$1 snmpd=$2 port=$3 pid i
    : >"$dir/snmpd.log"
    # -f: foreground (the pid is the agent's own); -Lo: log to stdout (into the log file);
    # -C: only this configuration; -I -smux: no SMUX listener on TCP port 199.
    MIBS='' MIBDIRS='' SNMPCONFPATH="$dir" SNMP_PERSISTENT_DIR="$dir/persist" \
        "$snmpd" -f -Lo -C -I -smux -c "$dir/snmpd.conf" "udp:127.0.0.1:$port" \
        </dev/null >>"$dir/snmpd.log" 2>&1 &
    pid=$!
    for ((i = 0; i < 100; i++)); do
        if ! kill -0 "$pid" 2>/dev/null; then
            wait "$pid" 2>/dev/null || true
            return 1
        fi
        # The agent logs its version once its listening endpoint is open.
        if grep -q "NET-SNMP version" "$dir/snmpd.log"; then
            echo "$pid" >"$dir/snmpd.pid"
            echo "$port" >"$dir/port"
            return 0
        fi
        sleep 0.05
    done
    kill "$pid" 2>/dev/null || true
    return 1
}

starter_file=""

start() {
    local dir=$1 snmpd port attempt
    snmpd=$(find_snmpd)
    mkdir -p "$dir/persist"
    # Lets a watcher of DIR wait for this start to finish before it stops the agent.
    starter_file=$dir/starter.pid
    echo "$$" >"$starter_file"
    trap 'rm -f "$starter_file"' EXIT
    write_demo_settings "$dir"
    cat >"$dir/snmpd.conf" <<'EOF'
view ostraline included .1.3.6.1.2.1.1
view ostraline included .1.3.6.1.2.1.2
view ostraline included .1.3.6.1.2.1.31.1.1
rocommunity public 127.0.0.1 -V ostraline
dontLogTCPWrappersConnects yes
EOF
    for ((attempt = 0; attempt < 20; attempt++)); do
        port=$((20000 + (RANDOM * 32768 + RANDOM) % 40000))
        if try_port "$dir" "$snmpd" "$port"; then
            write_device_file "127.0.0.1:$port" "$dir/this-machine.dev"
            echo "$dir/this-machine.dev"
            return 0
        fi
    done
    echo "snmpd did not start on 127.0.0.1; its last words:" >&2
    cat "$dir/snmpd.log" >&2
    return 1
}

stop() {
    local dir=$1 pid i
    [ -f "$dir/snmpd.pid" ] || return 0
    pid=$(cat "$dir/snmpd.pid")
    rm -f "$dir/snmpd.pid"
    [[ "$pid" =~ ^[0-9]+$ ]] || return 0
    kill "$pid" 2>/dev/null || return 0
    for ((i = 0; i < 60; i++)); do
        kill -0 "$pid" 2>/dev/null || return 0
        sleep 0.05
    done
    kill -KILL "$pid" 2>/dev/null || true
}

# Prints the start time of a running process (clock ticks after boot, field 22 of
# /proc/PID/stat), or nothing when it is gone or a zombie. Comparing it guards against a
# reused process number.
start_time_of() {
    local stat fields
    stat=$(cat "/proc/$1/stat" 2>/dev/null) || return 0
    # The fields after the command name, which may itself hold blanks and parentheses.
    read -r -a fields <<<"${stat##*) }"
    if [ "${fields[0]}" != Z ]; then echo "${fields[19]}"; fi
}

# Sleeps until the process with the given number and start time is gone.
wait_for_end() {
    local pid=$1 started=$2
    [ -n "$started" ] || return 0
    while [ "$(start_time_of "$pid")" = "$started" ]; do
        sleep 0.5
    done
}

watch() {
    local dir=$1 pid=$2 starter
    [[ "$pid" =~ ^[0-9]+$ ]] || usage
    wait_for_end "$pid" "$(start_time_of "$pid")"
    # A start still running would write its agent's number after this stop; let it finish.
    starter=$(cat "$dir/starter.pid" 2>/dev/null || true)
    if [[ "$starter" =~ ^[0-9]+$ ]]; then
        wait_for_end "$starter" "$(start_time_of "$starter")"
    fi
    stop "$dir"
    rm -rf "$dir"
}

case "${1:-}" in
start | stop)
    [ $# -eq 2 ] || usage
    "$1" "$2"
    ;;
watch)
    [ $# -eq 3 ] || usage
    watch "$2" "$3"
    ;;
*) usage ;;
esac
