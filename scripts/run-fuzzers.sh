#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for a few seconds each, starting from
# the seed corpus in fuzz/corpus/<target>. Fails when a target finds a crash.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=$1
seconds=${2:-20}
# The leak suppressions of the sanitizer tests: leaks inside system libraries.
export LSAN_OPTIONS="suppressions=$PWD/tests/leak-suppressions.txt:print_suppressions=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
for target in "$dir"/fuzz/fuzz_*; do
    [ -x "$target" ] || continue
    name=$(basename "$target")
    work=$(mktemp -d)
    cp -r "fuzz/corpus/$name/." "$work/" 2>/dev/null || true
    echo "fuzzing $name for ${seconds}s"
    "$target" -max_total_time="$seconds" -max_len=65536 -timeout=5 \
        -artifact_prefix="$work/" "$work" >"$work.log" 2>&1 || {
        tail -n 40 "$work.log"
        echo "fuzz target $name failed; inputs kept in $work" >&2
        exit 1
    }
    rm -rf "$work" "$work.log"
done
