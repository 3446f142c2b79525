#!/usr/bin/env bash
# Builds the libraries the core links (zlib, libpng, expat, FreeType,
# fontconfig, pixman, cairo) for 64-bit Windows, as static libraries, from
# Debian's source packages of the versions Debian 12 ships, so that the
# Windows programs measure and draw exactly as the Linux ones do; and
# GoogleTest from Debian's googletest package for the test programs.
#
#   scripts/windows/build-deps.sh PREFIX
#
# PREFIX receives include/, lib/ and lib/pkgconfig/; a finished build leaves
# PREFIX/.complete and is not repeated. Needs the deb-src entry that
# scripts/setup.sh adds, and the mingw-w64 tools.
set -euo pipefail

prefix=${1:?usage: build-deps.sh PREFIX}
root=$(cd "$(dirname "$0")/../.." && pwd)
host=x86_64-w64-mingw32
jobs=$(nproc)

# The versions the main archive holds (its security archive serves no sources).
sources=(zlib=1:1.2.13.dfsg-1 libpng1.6=1.6.39-2+deb12u5 expat=2.5.0-1+deb12u2
         freetype=2.12.1+dfsg-5+deb12u4 fontconfig=2.14.1-4 pixman=0.42.2-1 cairo=1.16.0-7)

[ -f "$prefix/.complete" ] && exit 0
rm -rf "$prefix"
mkdir -p "$prefix"
work=$(mktemp -d "${TMPDIR:-/tmp}/taktarium-deps.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"

log() { echo "== $*" >&2; }

# ---- sources -----------------------------------------------------------------
for spec in "${sources[@]}"; do
    name=${spec%%=*}
    # pixman's Debian diff is gone from the archive; its original tarball is
    # all the Windows build needs.
    if ! apt-get source --download-only -qq "$spec" >/dev/null 2>&1; then
        [ "$name" = pixman ] && ls pixman_*.orig.tar.* >/dev/null 2>&1 || {
            echo "build-deps: could not fetch the source of $spec" >&2
            exit 1
        }
    fi
done
for dsc in *.dsc; do
    case $dsc in pixman_*) continue ;; esac
    dpkg-source -x --skip-debianization "$dsc" >/dev/null 2>&1
done
tar xf pixman_*.orig.tar.*

# Autotools packages whose Debian patches touch configure.ac or Makefile.am
# would otherwise try to regenerate their build files.
keep_generated() {
    find . -name aclocal.m4 -exec touch {} +
    sleep 1
    find . -name configure -exec touch {} +
    sleep 1
    find . \( -name Makefile.in -o -name config.h.in \) -exec touch {} +
}

export PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig"
unset PKG_CONFIG_PATH
export CPPFLAGS="-I$prefix/include"
export LDFLAGS="-L$prefix/lib"
export CFLAGS="-O2"
cmake_common=(-G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-toolchain.cmake"
              -DTAKTARIUM_WINDOWS_PREFIX="$prefix" -DCMAKE_INSTALL_PREFIX="$prefix"
              -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF)
configure_common=(--host=$host --prefix="$prefix" --enable-static --disable-shared)

# ---- zlib: only the static library (Debian's source has no resource file) ----
log zlib
cmake -S zlib-*/ -B build-zlib "${cmake_common[@]}" >/dev/null
nice -n 10 cmake --build build-zlib --target zlibstatic -j "$jobs" >/dev/null
mkdir -p "$prefix/include" "$prefix/lib/pkgconfig"
cp zlib-*/zlib.h build-zlib/zconf.h "$prefix/include/"
cp build-zlib/libzlibstatic.a "$prefix/lib/libz.a"
sed -e "s|^prefix=.*|prefix=$prefix|" build-zlib/zlib.pc >"$prefix/lib/pkgconfig/zlib.pc"

# ---- libpng -------------------------------------------------------------------
log libpng
cmake -S libpng1.6-*/ -B build-png "${cmake_common[@]}" -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF \
    -DPNG_EXECUTABLES=OFF -DZLIB_ROOT="$prefix" >/dev/null
nice -n 10 cmake --build build-png -j "$jobs" >/dev/null
cmake --install build-png >/dev/null

# ---- expat: Debian's patches test "#if XML_DTD == 1" -------------------------
log expat
cmake -S expat-*/expat -B build-expat "${cmake_common[@]}" -DEXPAT_SHARED_LIBS=OFF -DEXPAT_BUILD_TOOLS=OFF \
    -DEXPAT_BUILD_EXAMPLES=OFF -DEXPAT_BUILD_TESTS=OFF -DEXPAT_BUILD_DOCS=OFF \
    -DCMAKE_C_FLAGS="-DXML_DTD=1 -DXML_NS=1" >/dev/null
nice -n 10 cmake --build build-expat -j "$jobs" >/dev/null
cmake --install build-expat >/dev/null

# ---- FreeType -------------------------------------------------------------------
log freetype
cmake -S freetype-*/ -B build-freetype "${cmake_common[@]}" -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_BROTLI=ON \
    -DFT_DISABLE_BZIP2=ON -DFT_REQUIRE_ZLIB=ON -DFT_REQUIRE_PNG=ON -DZLIB_ROOT="$prefix" >/dev/null
nice -n 10 cmake --build build-freetype -j "$jobs" >/dev/null
cmake --install build-freetype >/dev/null

# ---- fontconfig -----------------------------------------------------------------
log fontconfig
(
    cd fontconfig-*/
    keep_generated
    ./configure "${configure_common[@]}" --disable-docs --disable-nls --disable-cache-build \
        CPPFLAGS="$CPPFLAGS -DXML_STATIC" >../fontconfig.log 2>&1
    nice -n 10 make -j "$jobs" -C fontconfig install >>../fontconfig.log 2>&1
    nice -n 10 make -j "$jobs" -C src install >>../fontconfig.log 2>&1
    make install-pkgconfigDATA >>../fontconfig.log 2>&1
) || { tail -40 fontconfig.log >&2; exit 1; }

# ---- pixman ---------------------------------------------------------------------
log pixman
(
    cd pixman-*/
    ./configure "${configure_common[@]}" --disable-gtk --disable-libpng --disable-openmp >../pixman.log 2>&1
    nice -n 10 make -j "$jobs" -C pixman install >>../pixman.log 2>&1
    make install-pkgconfigDATA >>../pixman.log 2>&1
) || { tail -40 pixman.log >&2; exit 1; }

# ---- cairo: image surfaces, PNG, FreeType and fontconfig only --------------------
log cairo
(
    cd cairo-*/
    # Without the PDF backend nothing declares the UTF-16 conversion that
    # cairo's own fopen uses on Windows.
    sed -i 's/^#if CAIRO_HAS_WIN32_FONT || CAIRO_HAS_QUARTZ_FONT || CAIRO_HAS_PDF_OPERATORS$/& || defined(_WIN32)/' \
        src/cairoint.h
    grep -q 'CAIRO_HAS_PDF_OPERATORS || defined(_WIN32)' src/cairoint.h
    # A DLL initialises cairo's Windows mutexes when it is loaded; linked
    # statically, nothing would, and the first font lock waits forever.
    cat >>src/cairo-mutex.c <<'EOC'

#if defined(_WIN32) && _CAIRO_MUTEX_IMPL_USE_STATIC_INITIALIZER
static void __attribute__((constructor)) _cairo_mutex_initialize_at_start (void)
{
    _cairo_mutex_initialize ();
}
#endif
EOC
    keep_generated
    ./configure "${configure_common[@]}" --enable-ft --enable-fc --enable-png \
        --disable-xlib --disable-xlib-xrender --disable-xcb --disable-win32 --disable-win32-font \
        --disable-gl --disable-glesv2 --disable-egl --disable-wgl --disable-pdf --disable-ps --disable-svg \
        --disable-script --disable-interpreter --disable-trace --disable-gobject --disable-symbol-lookup \
        --disable-full-testing --disable-gtk-doc \
        CPPFLAGS="$CPPFLAGS -DCAIRO_WIN32_STATIC_BUILD" >../cairo.log 2>&1
    nice -n 10 make -j "$jobs" -C src install >>../cairo.log 2>&1
) || { tail -40 cairo.log >&2; exit 1; }

# ---- GoogleTest, for the test programs: Debian's googletest package source ----
log googletest
cmake -S /usr/src/googletest -B build-gtest "${cmake_common[@]}" -DBUILD_GMOCK=OFF -DINSTALL_GTEST=ON >/dev/null
nice -n 10 cmake --build build-gtest -j "$jobs" >/dev/null
cmake --install build-gtest >/dev/null

# Static linking needs the private libraries too: fold them into the public
# lists, so that pkg-config users link what they need without --static.
for pc in "$prefix"/lib/pkgconfig/*.pc; do
    awk '
        /^Libs.private:/ { libsPrivate = substr($0, 15); next }
        /^Requires.private:/ { requiresPrivate = substr($0, 19); next }
        { lines[++n] = $0 }
        END {
            for (i = 1; i <= n; i++) {
                line = lines[i]
                if (line ~ /^Libs:/) line = line " " libsPrivate
                if (line ~ /^Requires:/) { line = line " " requiresPrivate; hadRequires = 1 }
                print line
            }
            if (!hadRequires && requiresPrivate != "") print "Requires: " requiresPrivate
        }' "$pc" >"$pc.new"
    mv "$pc.new" "$pc"
done
# Expat's CMake names its library libexpat*.a; fontconfig's Libs say -lexpat.
[ -f "$prefix/lib/libexpat.a" ] || cp "$(ls "$prefix"/lib/libexpat*.a | head -1)" "$prefix/lib/libexpat.a"

touch "$prefix/.complete"
log "dependencies ready in $prefix"
