#!/usr/bin/env bash
# Checks the Windows packages that cpack made in the Windows build folder:
#  - the zip holds the programs, Qt's DLLs and platform plugin, the run-time
#    DLLs, Language\, fonts\, Qt's translations, the README and the licences;
#  - unpacked into "T:\Programme\Täktarium", its command-line tool reads the
#    demo map (the Linux file system out of reach, see wine-env.sh);
#  - the installer holds the same files and makes a Start-menu entry that
#    points at the installed taktarium.exe.
# Prints what it checked; exits non-zero on the first fault.
#
#   check-packages.sh           (environment: $root, $cache, $buildWindows)
set -euo pipefail

root=${root:?}
cache=${cache:?}
buildWindows=${buildWindows:?}
. "$root/scripts/windows/wine-env.sh"
trap wine_cleanup EXIT
wine_prepare

fail() {
    echo "packages: $*" >&2
    exit 1
}

zip=$(ls "$buildWindows"/Taktarium-*-win64.zip 2>/dev/null | head -1)
installer=$(ls "$buildWindows"/Taktarium-*-win64.exe 2>/dev/null | head -1)
[ -f "$zip" ] || fail "no zip in $buildWindows"
[ -f "$installer" ] || fail "no installer in $buildWindows"

required=(taktarium.exe taktarium-cli.exe Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll platforms/qwindows.dll
          libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll Language/German.txt Language/English.txt
          fonts/LiberationSans-Regular.ttf fonts/LiberationSans-Bold.ttf translations/qtbase_de.qm README.md
          licences/cairo.txt licences/qt6.txt licences/liberation-fonts.txt licences/gcc-runtime.txt)

# has_files FOLDER: every required file is there and not empty.
has_files() {
    local file
    for file in "${required[@]}"; do
        [ -s "$1/$file" ] || fail "$(basename "$1"): $file is missing"
    done
}

# ---- the zip ----------------------------------------------------------------------
unpacked="$wine_scratch/Programme"
mkdir -p "$unpacked"
(cd "$unpacked" && unzip -q "$zip")
mv "$unpacked"/Taktarium-*-win64 "$unpacked/Täktarium"
has_files "$unpacked/Täktarium"
mkdir -p "$wine_scratch/Karten"
cp -r "$root/examples/DemoMap" "$wine_scratch/Karten/Mühlbrück"
mkdir -p "$wine_scratch/Übersicht"
status=0
(cd "$wine_scratch/Übersicht" && wine 'T:\Programme\Täktarium\taktarium-cli.exe' info 'T:\Karten\Mühlbrück' \
    --lang English >../info.out 2>&1) || status=$?
[ "$status" -eq 0 ] || fail "the zip's taktarium-cli.exe info ended with $status: $(head -5 "$wine_scratch/info.out")"
grep -q "Road works" "$wine_scratch/info.out" || fail "the zip's taktarium-cli.exe did not list the demo's events"
echo "packages: $(basename "$zip"): ${#required[@]} required files inside; its taktarium-cli.exe reads the demo map"

# ---- the installer ------------------------------------------------------------------
# NSIS makes a 32-bit installer, which a 64-bit-only Wine cannot start: its
# contents are read with 7-Zip, its Start-menu entry from the script cpack
# compiled it from.
listing=$(7z l -slt "$installer" | sed -n 's/^Path = //p' | tr '\\' /)
for file in "${required[@]}" Uninstall.exe; do
    grep -qxF "$file" <<<"$listing" || fail "$(basename "$installer"): $file is missing"
done
script="$buildWindows/_CPack_Packages/win64/NSIS/project.nsi"
[ -f "$script" ] || fail "no installer script in $buildWindows/_CPack_Packages"
grep -qF 'CreateShortCut "$SMPROGRAMS\$STARTMENU_FOLDER\Taktarium.lnk" "$INSTDIR\.\taktarium.exe"' "$script" ||
    fail "the installer's Start-menu entry does not point at the installed taktarium.exe"
echo "packages: $(basename "$installer"): ${#required[@]} required files and the uninstaller inside;" \
    "Start-menu entry Taktarium -> taktarium.exe"
