#!/usr/bin/env bash
# Soak test, not part of the normal suite: the main window polls twenty interfaces of a
# loopback snmpd every 3 seconds with "Double update speed" for SOAK_SECONDS (default 600),
# and fails when its resident memory grows by more than SOAK_TOLERANCE_KB (default 2048)
# after the warm-up. Usage: bench/soak/soak.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/../.."
build_dir=${1:-build}
cmake -S . -B "$build_dir" -G Ninja >/dev/null
cmake --build "$build_dir" -j"$(nproc)" --target soak_harness
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
exec "$build_dir/bench/soak/soak_harness" --seconds "${SOAK_SECONDS:-600}" \
    --tolerance-kb "${SOAK_TOLERANCE_KB:-2048}"
