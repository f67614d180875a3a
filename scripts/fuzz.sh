#!/usr/bin/env bash
# Builds the libFuzzer targets and runs each for a bounded time (seconds, default 60) from
# its committed seed corpus. New inputs go to a scratch folder; crashes stop the run.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for target in $(ls fuzz/corpus); do
  mkdir -p "$work/$target"
  echo "== $target, ${seconds}s"
  build/fuzz/fuzz/"$target" -max_total_time="$seconds" -print_final_stats=1 \
      -artifact_prefix="$work/$target-" "$work/$target" "fuzz/corpus/$target" 2>&1 |
    grep -E '^(stat::number_of_executed_units|stat::new_units_added|==[0-9]+==|SUMMARY|.*(Test unit written|deadly signal))' || true
  if find "$work" -maxdepth 1 -name "$target-*" | grep -q .; then
    echo "$target found a failing input:"; ls "$work/$target"-*; exit 1
  fi
done
echo "== fuzzing passed"
