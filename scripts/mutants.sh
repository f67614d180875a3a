#!/usr/bin/env bash
# Deliberate faults: each one is applied alone to a scratch copy of the tree, built and run
# against the whole suite (fastest tests first, stopping at the first failure). It prints
# every fault and whether a test caught it. A tool for refactoring, not part of CI.
#
#   scripts/mutants.sh              every fault
#   scripts/mutants.sh P04 F12 ...  only these
#
# MUTANTS_DIR (default /tmp/vexo-mutants) holds the scratch copy and its build; the table
# itself is scripts/mutants.txt. A fault whose text is not found exactly once in its file is
# reported as such: the code it aimed at has moved, and the table must follow it.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=${MUTANTS_DIR:-/tmp/vexo-mutants}
table=$work/mutants.txt
src=$work/src
build=$work/build
mkdir -p "$work"
# The table is read as the run goes: a copy, so that editing it meanwhile changes nothing.
cp "$root/scripts/mutants.txt" "$table"
# A shorter random walk keeps a run to about an hour; before and after use the same.
export VEXO_MONKEY_EVENTS=${VEXO_MONKEY_EVENTS:-1500}

# A fresh copy of the working tree, every file dated now: the whole scratch build is made
# again, so no object of a mutant from an earlier or stopped run can survive into this one.
rm -rf "$src" && mkdir -p "$src"
tar -C "$root" --exclude=./build --exclude=./.git -cf - . | tar -C "$src" -m -xf -
cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVEXO_BUILD_BENCHMARKS=OFF >"$work/configure.log" 2>&1 || {
    echo "configure failed, see $work/configure.log"
    exit 2
}
cmake --build "$build" >"$work/build.log" 2>&1 || {
    echo "the unchanged tree does not build, see $work/build.log"
    exit 2
}

# The suite, fastest test first, as measured on the unchanged tree.
(cd "$build" && ctest --timeout 300 >"$work/baseline.log" 2>&1) || {
    echo "the unchanged tree fails its tests, see $work/baseline.log"
    exit 2
}
mapfile -t tests < <(sed -n 's/^ *[0-9]*\/[0-9]* Test *#[0-9]*: \([^ ]*\) .*Passed *\([0-9.]*\) sec$/\2 \1/p' \
    "$work/baseline.log" | sort -n | awk '{print $2}')
echo "suite: ${tests[*]}"

run_suite() {
    local t
    for t in "${tests[@]}"; do
        if ! (cd "$build" && ctest --timeout 300 -R "^${t}\$" >"$work/last-test.log" 2>&1); then
            echo "$t"
            return 1
        fi
    done
    return 0
}

# mutate FILE OLD NEW: replaces the one occurrence of OLD; fails when there is not exactly one.
mutate() {
    python3 - "$1" "$2" "$3" <<'PY'
import sys
path, old, new = sys.argv[1], sys.argv[2].replace('\\n', '\n'), sys.argv[3].replace('\\n', '\n')
if new == '<nothing>':
    new = ''
text = open(path, encoding='utf-8').read()
if text.count(old) != 1:
    sys.exit(1)
open(path, 'w', encoding='utf-8').write(text.replace(old, new))
PY
}

wanted=" $* "
total=0 caught=0 missed=() unbuilt=() moved=()
while IFS=$'\t' read -r id file old new what; do
    [[ -z "$id" || "$id" == \#* ]] && continue
    [[ $# -gt 0 && "$wanted" != *" $id "* ]] && continue
    total=$((total + 1))
    cp "$src/$file" "$work/original"
    if ! mutate "$src/$file" "$old" "$new"; then
        printf '%-4s %-32s %s\n' "$id" "NOT FOUND in $file" "$what"
        moved+=("$id")
        continue
    fi
    if ! cmake --build "$build" >"$work/mutant-build.log" 2>&1; then
        printf '%-4s %-32s %s\n' "$id" "does not build" "$what"
        unbuilt+=("$id")
    elif failing=$(run_suite); then
        printf '%-4s %-32s %s\n' "$id" "MISSED" "$what"
        missed+=("$id")
    else
        printf '%-4s %-32s %s\n' "$id" "caught by $failing" "$what"
        caught=$((caught + 1))
    fi
    cp "$work/original" "$src/$file"
done <"$table"

# Leave the scratch build matching the tree.
cmake --build "$build" >/dev/null 2>&1
echo "caught $caught of $total"
[ ${#missed[@]} -eq 0 ] || echo "missed: ${missed[*]}"
[ ${#unbuilt[@]} -eq 0 ] || echo "did not build: ${unbuilt[*]}"
[ ${#moved[@]} -eq 0 ] || echo "not found: ${moved[*]}"
