#!/usr/bin/env bash
# The Windows build, as `scripts/setup.sh windows` runs it (the packages are
# installed by then):
#  1. the libraries for Windows, built once per machine into a cache folder
#     named after the script that builds them (scripts/windows/build-deps.sh);
#  2. Qt for mingw: the prebuilt one from ../shared/windows when it is there,
#     else built once with scripts/make-windows-qt.sh (about an hour);
#  3. core, command-line tool, desktop program and test programs cross-built
#     into build-windows/;
#  4. the test programs run under Wine (run-wine-tests.sh);
#  5. the Windows tool's output on the demo compared with the Linux tool's
#     (compare-cli.sh), and the zip and installer packed and checked
#     (check-packages.sh).
# TAKTARIUM_WINDOWS_CACHE overrides the cache folder (~/.cache/taktarium-windows).
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
cache=${TAKTARIUM_WINDOWS_CACHE:-$HOME/.cache/taktarium-windows}
buildWindows="$root/build-windows"
export root cache buildWindows
mkdir -p "$cache"
started=$(date +%s)

# ---- deb-src entry for the library sources -------------------------------------
sourcesList=/etc/apt/sources.list.d/taktarium-deb-src.sources
if ! apt-get source --print-uris -qq cairo=1.16.0-7 >/dev/null 2>&1; then
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    printf '%s\n' "Types: deb-src" "URIs: http://deb.debian.org/debian" "Suites: bookworm" "Components: main" \
        "Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg" | $sudo tee "$sourcesList" >/dev/null
    $sudo apt-get update -qq
fi

# ---- 1. the libraries ----------------------------------------------------------
key=$(cat scripts/windows/build-deps.sh cmake/mingw-w64-toolchain.cmake | sha256sum | cut -c1-16)
deps="$cache/deps-$key"
if [ ! -f "$deps/.complete" ]; then
    echo "== building the libraries for Windows into $deps"
    scripts/windows/build-deps.sh "$deps"
fi

# ---- 2. Qt for mingw -----------------------------------------------------------
qtArchive="$root/../shared/windows/qt6-mingw-6.4.2.tar.xz"
qtArchiveSha=7c7130787193967481c8549f65df821cc051d807fe7df42131f762076eede36b
qt="$cache/qt6-mingw"
if [ ! -f "$qt/.complete" ]; then
    rm -rf "$qt"
    if [ -f "$qtArchive" ] && echo "$qtArchiveSha  $qtArchive" | sha256sum -c --quiet -; then
        echo "== unpacking the prebuilt Qt for mingw"
        tar -xJf "$qtArchive" -C "$cache"
    else
        echo "== no prebuilt Qt for mingw: building it (about an hour on two cores)"
        scripts/make-windows-qt.sh "$cache"
    fi
    touch "$qt/.complete"
fi

# ---- 3. the cross-build --------------------------------------------------------
# The compiler cache keys on paths relative to the checkout, so that a clone in
# another folder (CI makes a fresh one each time) finds what an earlier build
# compiled.
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=true
fi
PKG_CONFIG_LIBDIR="$deps/lib/pkgconfig" cmake -S . -B "$buildWindows" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-toolchain.cmake" \
    -DTAKTARIUM_WINDOWS_PREFIX="$deps" -DTAKTARIUM_WINDOWS_QT="$qt" -DQT_HOST_PATH=/usr \
    -DCMAKE_BUILD_TYPE=Release -DTAKTARIUM_BENCH=OFF -DTAKTARIUM_WERROR=ON \
    -DTAKTARIUM_BUNDLED_FONTS_DIR=/usr/share/fonts/truetype/liberation2 \
    -DTAKTARIUM_TEST_SOURCE_DIR=S:/ -DTAKTARIUM_TEST_REALMAPS_DIR=R:/ "${launcher[@]}" >/dev/null
PKG_CONFIG_LIBDIR="$deps/lib/pkgconfig" cmake --build "$buildWindows"

# The Linux tool to compare with (the build of `setup.sh test`, when there is one).
[ -f build/CMakeCache.txt ] || cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAKTARIUM_WERROR=ON >/dev/null
cmake --build build --target taktarium-cli

# ---- 4. the tests under Wine ---------------------------------------------------
scripts/windows/run-wine-tests.sh

# ---- 5. the same documents as on Linux, and the packages -----------------------
scripts/windows/compare-cli.sh "$root/build/src/cli/taktarium-cli"
rm -f "$buildWindows"/Taktarium-*-win64.zip "$buildWindows"/Taktarium-*-win64.exe
(cd "$buildWindows" && cpack -G "ZIP;NSIS" >/dev/null)
scripts/windows/check-packages.sh

echo "== Windows build and tests done in $(( $(date +%s) - started )) s"
for exe in "$buildWindows"/src/cli/taktarium-cli.exe "$buildWindows"/src/ui/taktarium.exe "$buildWindows"/Taktarium-*.zip \
           "$buildWindows"/Taktarium-*.exe; do
    [ -f "$exe" ] && echo "   $(basename "$exe"): $(stat -c %s "$exe") bytes"
done
