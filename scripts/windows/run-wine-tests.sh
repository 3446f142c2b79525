#!/usr/bin/env bash
# Runs the cross-built test programs under Wine, with the Linux file system out
# of reach (wine-env.sh) and the working folder in a folder with an umlaut.
# The window tests run with Qt's offscreen platform, Qt's DLLs and fonts
# beside them. Prints each program's result and a closing count; exits
# non-zero when a program fails.
#
#   run-wine-tests.sh           (environment: $root, $cache, $buildWindows)
set -euo pipefail

root=${root:?}
cache=${cache:?}
buildWindows=${buildWindows:?}
. "$root/scripts/windows/wine-env.sh"
trap wine_cleanup EXIT
wine_prepare

work="$wine_scratch/Prüfung"
mkdir -p "$work"
passed=0
failed=0
failedNames=()

run_program() {  # program-file [arguments...]
    local program=$1 name
    shift
    name=$(basename "$program" .exe)
    local windowsPath="B:\\${program#"$buildWindows"/}"
    windowsPath=${windowsPath//\//\\}
    local log="$wine_scratch/$name.log" status=0
    # At most ten minutes a program: a hang is a failure, not a stalled run.
    (cd "$work" && LC_ALL=de_DE.UTF-8 timeout 600 wine "$windowsPath" --gtest_brief=1 "$@" >"$log" 2>&1) || status=$?
    local summary
    summary=$(grep -E '^\[  (PASSED|FAILED|SKIPPED) +\] [0-9]|tests? from .* ran' "$log" | tr '\n' ' ')
    if [ "$status" -eq 0 ] && grep -q '^\[  PASSED  \]' "$log"; then
        passed=$((passed + 1))
        echo "wine: $name: $summary"
    else
        failed=$((failed + 1))
        failedNames+=("$name")
        echo "wine: $name FAILED (exit status $status): $summary"
        grep -E '^\[  FAILED  \]|Failure|error' "$log" | head -30 || true
    fi
}

for program in "$buildWindows"/tests/*/tests_*.exe; do
    [ "$(basename "$program")" = tests_ui.exe ] && continue
    run_program "$program"
done

# The window tests: Qt's DLLs, the offscreen platform plugin and fonts where
# Qt looks for them beside the program.
uiTests="$buildWindows/tests/ui/tests_ui.exe"
if [ -f "$uiTests" ]; then
    run_program "$uiTests" -platform offscreen
fi

echo "wine: $passed passed, $failed failed"
[ "$failed" -eq 0 ] || { echo "wine: failed: ${failedNames[*]}" >&2; exit 1; }
