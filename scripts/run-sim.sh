#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program on the virtual pedal set,
# whose pedals move by themselves: the whole program without any hardware.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target vexo-setting-sim
exec build/default/vexo-setting-sim "$@"
