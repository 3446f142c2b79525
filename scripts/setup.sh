#!/usr/bin/env bash
# Set-up in one step on a fresh Debian 12 machine.
#   scripts/setup.sh demo   install what is missing, build, run the main job on the demo map
#   scripts/setup.sh test   install what is missing, build (plain and sanitizer), run every test
#   scripts/setup.sh windows  cross-build for 64-bit Windows, run the tests under Wine and
#                             compare the Windows tool's documents with the Linux tool's
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(build-essential cmake pkg-config ninja-build
          zlib1g-dev libpng-dev libcairo2-dev libfontconfig-dev libfreetype-dev fonts-dejavu-core fonts-liberation2
          qt6-base-dev qt6-translations-l10n libgtest-dev libgmock-dev libbenchmark-dev
          clang libclang-rt-14-dev qpdf poppler-utils locales libhpdf-dev appstream desktop-file-utils)

# For the Windows build: the cross compilers, Wine, the tools Debian's library
# sources build with, NSIS for the installer and 7-Zip to look inside it.
windows_packages=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-tools wine64 wine
                  meson gperf dpkg-dev googletest nsis p7zip-full perl unzip ccache)

install_missing() {
    local missing=()
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
}

# The tests also write files under a comma-decimal locale, to prove that no
# number in a file depends on it.
ensure_test_locale() {
    locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$' && return 0
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo sed -i 's/^# *de_DE.UTF-8 UTF-8/de_DE.UTF-8 UTF-8/' /etc/locale.gen
    grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
    $sudo locale-gen >/dev/null
}

build() {  # build <dir> [cmake options...]; a compiler warning fails it
    local dir=$1; shift
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAKTARIUM_WERROR=ON "$@" >/dev/null
    cmake --build "$dir"
}

jobs=$(nproc)

case "${1:-}" in
demo)
    install_missing
    build build
    # The program keeps project files in output/ below its working folder; the
    # bundled demo project is copied there once and never changed in place.
    mkdir -p output
    [ -f output/DemoMap.cfg ] || cp examples/output/DemoMap.cfg output/DemoMap.cfg
    ./build/src/cli/taktarium-cli info examples/DemoMap
    ./build/src/cli/taktarium-cli output examples/DemoMap
    ;;
test)
    install_missing
    ensure_test_locale
    build build
    ctest --test-dir build --output-on-failure -j "$jobs"
    build build-asan -DTAKTARIUM_SANITIZE=ON -DTAKTARIUM_BENCH=OFF
    # Leaks inside system libraries are suppressed by name (tests/leak-suppressions.txt).
    ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
        LSAN_OPTIONS="suppressions=$PWD/tests/leak-suppressions.txt:print_suppressions=0" \
        ctest --test-dir build-asan --output-on-failure -j "$jobs"
    CC=clang CXX=clang++ build build-fuzz -DTAKTARIUM_FUZZ=ON -DTAKTARIUM_TESTS=OFF -DTAKTARIUM_BENCH=OFF
    scripts/run-fuzzers.sh build-fuzz 20
    ;;
windows)
    packages+=("${windows_packages[@]}")
    install_missing
    ensure_test_locale
    scripts/windows/build-and-test.sh
    ;;
*)
    echo "usage: scripts/setup.sh demo|test|windows" >&2
    exit 2
    ;;
esac
