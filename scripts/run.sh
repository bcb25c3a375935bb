#!/usr/bin/env bash
# Installs what is missing, builds, and starts Ostraline. Arguments go to the program
# (the first one is a device file to load at start).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh build
exec build/src/app/ostraline "$@"
