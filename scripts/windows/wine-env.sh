# Sourced by the Windows scripts: a Wine prefix of our own in which the Linux
# file system is not reachable (drive Z: removed), so that nothing the Windows
# programs find (fonts above all) comes from the build machine by accident.
# Drives: S: the source folder, B: the Windows build folder, R: the real maps
# (when present), T: a scratch folder. Needs $cache, $root, $buildWindows.

export WINEDEBUG=-all
export WINEARCH=win64
# No Mono or Gecko installation prompts; no window system needed.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINEPREFIX="$cache/wine-prefix"
unset DISPLAY WAYLAND_DISPLAY

wine_scratch=$(mktemp -d "${TMPDIR:-/tmp}/taktarium-wine.XXXXXX")

wine_prepare() {
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        rm -rf "$WINEPREFIX"
        wineboot -i >/dev/null 2>&1 || true
        wineserver -w
    fi
    local devices="$WINEPREFIX/dosdevices"
    rm -f "$devices/z:"
    ln -sfn "$root" "$devices/s:"
    ln -sfn "$buildWindows" "$devices/b:"
    ln -sfn "$wine_scratch" "$devices/t:"
    if [ -d "$root/../shared/realmaps" ]; then
        ln -sfn "$(cd "$root/../shared/realmaps" && pwd)" "$devices/r:"
    else
        rm -f "$devices/r:"
    fi
    # Proof that the Linux file system is out of reach.
    if wine cmd /c "if exist Z:\\ (exit 1) else (exit 0)" >/dev/null 2>&1; then :; else
        echo "wine: drive Z: is still there" >&2
        return 1
    fi
}

wine_cleanup() {
    wineserver -k >/dev/null 2>&1 || true
    rm -rf "$wine_scratch"
}
