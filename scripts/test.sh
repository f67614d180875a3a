#!/usr/bin/env bash
# Installs what is missing, builds and runs every test (headless, on the virtual pedal set).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --workflow --preset default
