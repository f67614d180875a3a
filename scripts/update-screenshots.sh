#!/usr/bin/env bash
# Retakes the README's pictures of the five pages, of a pedal set without access and of one
# games may not see: the screenshot test runs the program on the virtual pedal set and grabs
# them; this copies them into docs/screenshots.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --build --preset default --target tst_screenshots
QT_QPA_PLATFORM=offscreen build/default/tests/tst_screenshots connectedProgram noAccess gamesLine >/dev/null
mkdir -p docs/screenshots
cp build/default/tests/screenshots/program-*.png docs/screenshots/
ls docs/screenshots
