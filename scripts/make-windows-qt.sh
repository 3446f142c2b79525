#!/usr/bin/env bash
# Builds Qt 6 (Core, Gui, Widgets, Test, the platform plugins) for 64-bit
# Windows with Debian's mingw-w64, from Debian's qt6-base source package, as
# DLLs, Release, stripped, into DEST/qt6-mingw. The Windows build of the
# desktop program links it (scripts/windows/build-and-test.sh). Takes a little
# over an hour on two cores.
#
#   scripts/make-windows-qt.sh DEST [--dry-run]
#
# --dry-run fetches and prepares the source and configures it, but does not
# build. Needs the deb-src entry that `scripts/setup.sh windows` adds, the
# mingw-w64 compilers and the installed Qt 6 (its host tools: moc, rcc, uic).
set -euo pipefail

dest=${1:?usage: make-windows-qt.sh DEST [--dry-run]}
dryRun=${2:-}
version=6.4.2+dfsg-10
mkdir -p "$dest"
dest=$(cd "$dest" && pwd)
prefix="$dest/qt6-mingw"

for tool in x86_64-w64-mingw32-g++-posix /usr/lib/qt6/libexec/moc cmake ninja; do
    command -v "$tool" >/dev/null || { echo "make-windows-qt: $tool is missing" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/taktarium-qt.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"

echo "== fetching qt6-base $version"
apt-get source --download-only -qq "qt6-base=$version" >/dev/null
dpkg-source -x --skip-debianization qt6-base_*.dsc qtbase >/dev/null 2>&1

# With OpenGL off the Windows platform plugin does not compile: its dynamic-GL
# paths must depend on OpenGL too.
plugin=qtbase/src/plugins/platforms/windows/qwindowswindow.cpp
sed -i 's/^#if QT_CONFIG(dynamicgl)$/#if QT_CONFIG(dynamicgl) \&\& QT_CONFIG(opengl)/' "$plugin"
[ "$(grep -c '^#if QT_CONFIG(dynamicgl) && QT_CONFIG(opengl)$' "$plugin")" -eq 2 ] ||
    { echo "make-windows-qt: $plugin does not look as expected" >&2; exit 1; }

# The mingw toolchain, finding only what lies below the Qt being built.
cat >toolchain.cmake <<'EOF'
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
EOF

echo "== configuring"
features=(tabletevent network sql dbus xml concurrent printsupport opengl vulkan icu jpeg gif
          system_zlib system_png system_freetype system_harfbuzz system_pcre2)
featureOptions=()
for feature in "${features[@]}"; do featureOptions+=("-DFEATURE_$feature=OFF"); done
cmake -S qtbase -B build -G Ninja -DCMAKE_TOOLCHAIN_FILE="$work/toolchain.cmake" \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DQT_HOST_PATH=/usr \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake -DQT_QMAKE_TARGET_MKSPEC=win32-g++ \
    -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF \
    "${featureOptions[@]}" >configure.log 2>&1 || { tail -40 configure.log >&2; exit 1; }

if [ "$dryRun" = --dry-run ]; then
    echo "== configured in $work/build (dry run: not built)"
    exit 0
fi

echo "== building (about an hour on two cores)"
nice -n 10 cmake --build build >build.log 2>&1 || { tail -40 build.log >&2; exit 1; }
rm -rf "$prefix"
cmake --install build >/dev/null
find "$prefix" -name '*.dll' -exec x86_64-w64-mingw32-strip --strip-unneeded {} +
echo "== Qt for mingw in $prefix"
