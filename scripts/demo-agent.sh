#!/usr/bin/env bash
# Serves this machine's own interface counters over SNMP on the loopback address, so that
# Ostraline shows live graphs without a router at hand.
#
#   scripts/demo-agent.sh start DIR   starts net-snmp's snmpd in DIR (read-only, community
#                                     "public", 127.0.0.1 at a free UDP port), writes the
#                                     device file DIR/this-machine.dev for it and prints the
#                                     device file's path
#   scripts/demo-agent.sh stop DIR    stops the agent started in DIR
#
# The agent answers only on 127.0.0.1 and only to requests from 127.0.0.1; it serves the
# system and interfaces groups (ifInOctets/ifOutOctets come from the kernel's counters).
# Everything it writes stays in DIR.
set -euo pipefail

usage() {
    echo "usage: $0 start|stop DIR" >&2
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

# Bandwidth in bit/s of one interface: the kernel's link speed when it reports one, else
# 1 Gbit/s for a physical device and 10 Mbit/s for loopback and virtual ones (so that
# loopback traffic shows on the graphs).
bandwidth_of() {
    local name=$1 speed=""
    speed=$(cat "/sys/class/net/$name/speed" 2>/dev/null || true)
    if [[ "$speed" =~ ^[0-9]+$ ]] && ((speed > 0)); then
        echo $((speed * 1000000))
    elif [ -e "/sys/class/net/$name/device" ]; then
        echo 1000000000
    else
        echo 10000000
    fi
}

# One device file line per interface of this machine, in ifIndex order, at most 20.
write_device_file() {
    local address=$1 file=$2 path name index
    : >"$file"
    for path in /sys/class/net/*; do
        name=${path##*/}
        index=$(cat "$path/ifindex" 2>/dev/null || true)
        [[ "$index" =~ ^[0-9]+$ ]] || continue
        printf '%s\t%s;%s;%s;public;%s\n' "$index" "$address" "$index" "$(bandwidth_of "$name")" "$name"
    done | sort -n | head -n 20 | cut -f2- >"$file"
    [ -s "$file" ] || { echo "no network interfaces found under /sys/class/net" >&2; return 1; }
}

# Starts snmpd on the given port; returns 0 once it serves, 1 when it exits (port taken).
try_port() {
    local dir=$1 snmpd=$2 port=$3 pid i
    : >"$dir/snmpd.log"
    # -f: foreground (the pid is the agent's own); -Lo: log to stdout (into the log file);
    # -C: only this configuration; -I -smux: no SMUX listener on TCP port 199.
    MIBS= MIBDIRS= SNMPCONFPATH="$dir" SNMP_PERSISTENT_DIR="$dir/persist" \
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

start() {
    local dir=$1 snmpd port attempt
    snmpd=$(find_snmpd)
    mkdir -p "$dir/persist"
    cat >"$dir/snmpd.conf" <<'EOF'
view ostraline included .1.3.6.1.2.1.1
view ostraline included .1.3.6.1.2.1.2
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

[ $# -eq 2 ] || usage
case "$1" in
start) start "$2" ;;
stop) stop "$2" ;;
*) usage ;;
esac
