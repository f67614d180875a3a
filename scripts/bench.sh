#!/usr/bin/env bash
# Builds the benchmarks (default preset), runs each on the virtual pedal set and prints one
# table. The window is shown on a private Xvfb server (xcb) and, where noted, offscreen.
# On a shared machine, run it while holding the build lock so no build competes:
#   flock /tmp/vexo-build.lock scripts/bench.sh
# BENCH_SECONDS shortens the streaming and idle runs (default 10 s each).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${BENCH_SECONDS:-10}

cmake --preset default >/dev/null
cmake --build --preset default --target bench_inputs bench_idle bench_startup bench_workflows \
  bench_firmware bench_watcher >/dev/null
bin=build/default/bench

# A display number nobody uses.
display=99
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
  display=$((display + 1))
done
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
rows=$(mktemp)
trap 'kill "$xvfb" 2>/dev/null || true; rm -f "$rows"' EXIT
for _ in $(seq 100); do
  [ -e "/tmp/.X11-unix/X$display" ] && break
  sleep 0.05
done

failed=0
run() { # platform, command...
  local platform=$1
  shift
  local env=(QT_QPA_PLATFORM="$platform")
  [ "$platform" = xcb ] && env+=(DISPLAY=":$display")
  echo "== $(basename "$1") ${*:2} ($platform)" >&2
  if ! env "${env[@]}" "$@" 2>/dev/null | grep '^ROW' >>"$rows"; then
    failed=1
    echo "   failed" >&2
  fi
}

for rate in 1000 8000; do
  run xcb "$bin/bench_inputs" "$rate" "$seconds" xcb
  run offscreen "$bin/bench_inputs" "$rate" "$seconds" offscreen
done
run xcb "$bin/bench_idle" "$seconds" xcb
run xcb "$bin/bench_startup" 5 xcb
run offscreen "$bin/bench_workflows" offscreen
run offscreen "$bin/bench_firmware"
run offscreen "$bin/bench_watcher"

awk -F'\t' '
  { bench[NR] = $2; fig[NR] = $3; val[NR] = $4; goal[NR] = $5
    if (length($2) > wb) wb = length($2); if (length($3) > wf) wf = length($3)
    if (length($4) > wv) wv = length($4); if (length($5) > wg) wg = length($5) }
  END {
    if (wb < 9) wb = 9; if (wv < 5) wv = 5; if (wg < 4) wg = 4
    fmt = "| %-" wb "s | %-" wf "s | %" wv "s | %-" wg "s |\n"
    printf fmt, "benchmark", "figure", "value", "goal"
    line = sprintf(fmt, "", "", "", ""); gsub(/ /, "-", line); gsub(/\|-/, "|-", line)
    printf "%s", line
    for (i = 1; i <= NR; i++) {
      b = (bench[i] == bench[i - 1]) ? "" : bench[i]
      printf fmt, b, fig[i], val[i], goal[i]
    }
  }' "$rows"
exit "$failed"
