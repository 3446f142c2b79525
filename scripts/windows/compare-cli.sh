#!/usr/bin/env bash
# Runs the Windows command-line tool under Wine and the Linux one on the demo
# map, case by case, and compares what they print and every document they
# write, byte for byte (PDF creation dates aside).
#
# The Windows tool runs as a user would have it: installed in
# "T:\Programme\Täktarium" with its Language and fonts folders, working in a
# folder with an umlaut, on a map folder with umlauts, given with backslashes
# in some cases and with slashes in others; the Linux file system is out of
# reach (see wine-env.sh). Prints one line per case and the list of documents
# compared; exits non-zero on the first difference or failure.
#
#   compare-cli.sh LINUX-CLI WINDOWS-BUILD-FOLDER
# (sourced environment: $root, $cache, $buildWindows from the caller)
set -euo pipefail

linuxCli=$1
root=${root:?}
cache=${cache:?}
buildWindows=${buildWindows:?}
. "$root/scripts/windows/wine-env.sh"
trap wine_cleanup EXIT
wine_prepare

linuxScratch=$(mktemp -d "${TMPDIR:-/tmp}/taktarium-linux.XXXXXX")
trap 'wine_cleanup; rm -rf "$linuxScratch"' EXIT

# The installation: the tool, its languages and the fonts it measures with.
install="$wine_scratch/Programme/Täktarium"
mkdir -p "$install/fonts"
cp "$buildWindows/src/cli/taktarium-cli.exe" "$install/"
cp -r "$root/Language" "$install/"
cp /usr/share/fonts/truetype/liberation2/Liberation*.ttf "$install/fonts/"
winCli='T:\Programme\Täktarium\taktarium-cli.exe'

# The map, once per side, below a folder with umlauts.
for side in "$wine_scratch" "$linuxScratch"; do
    mkdir -p "$side/Karten"
    cp -r "$root/examples/DemoMap" "$side/Karten/Mühlbrück"
done

documents=0
documentList=()

# Normalises what differs by design: the line ends of the console, and the
# project file's path and the map folder as given, which each side names in its
# own form (on Windows with backslashes everywhere, JSON-escaped in JSON).
normalise_output() {  # file project-path map-argument
    PROJECT="$2" MAP="$3" perl -0777 -pe '
        s/\r\n/\n/g;
        for my $pair (["PROJECT", "<project>"], ["MAP", "<map>"]) {
            my $plain = $ENV{$pair->[0]};
            (my $json = $plain) =~ s/\\/\\\\/g;
            s/\Q$json\E/$pair->[1]/g;
            s/\Q$plain\E/$pair->[1]/g;
        }' "$1"
}
normalise_pdf() { perl -0777 -pe 's/\(D:\d{14}[^)]*\)/(D:)/g' "$1"; }

fail() {
    echo "compare: $*" >&2
    exit 1
}

# run_case NAME CFG-EDIT MAP-ARGUMENT(windows) MAP-ARGUMENT(linux) COMMAND...
run_case() {
    local name=$1 edit=$2 winMap=$3 linuxMap=$4
    shift 4
    local winWork="$wine_scratch/$name/Übersicht" linuxWork="$linuxScratch/$name/Übersicht"
    # The project file is named after the map folder (and the date, if any).
    local project="Mühlbrück" argument
    for argument in "$@"; do
        [[ $argument =~ ^([0-9]{4})-([0-9]{2})-([0-9]{2})$ ]] &&
            project+="_${BASH_REMATCH[1]}${BASH_REMATCH[2]}${BASH_REMATCH[3]}"
    done
    for work in "$winWork" "$linuxWork"; do
        mkdir -p "$work/output"
        sed -e "$edit" "$root/examples/output/DemoMap.cfg" >"$work/output/$project.cfg"
    done
    local winStatus=0 linuxStatus=0
    (cd "$winWork" && LC_ALL=de_DE.UTF-8 wine "$winCli" "$1" "$winMap" "${@:2}" >"../windows.out" 2>"../windows.err") ||
        winStatus=$?
    (cd "$linuxWork" && LC_ALL=C.UTF-8 "$linuxCli" "$1" "$linuxMap" "${@:2}" >"../linux.out" 2>"../linux.err") ||
        linuxStatus=$?
    [ "$winStatus" = "$linuxStatus" ] || fail "$name: exit status $winStatus on Windows, $linuxStatus on Linux"
    # Every line the console received ends in CR LF, none in a bare LF or a doubled CR.
    if [ -s "$wine_scratch/$name/windows.out" ]; then
        perl -ne 'exit 1 unless /(?<!\r)\r\n\z/' "$wine_scratch/$name/windows.out" ||
            fail "$name: a line of the Windows output does not end in CR LF"
    fi
    local winProject="T:\\$name\\Übersicht\\output\\$project.cfg" linuxProject="$linuxWork/output/$project.cfg"
    if ! cmp -s <(normalise_output "$wine_scratch/$name/windows.out" "$winProject" "$winMap") \
        <(normalise_output "$linuxScratch/$name/linux.out" "$linuxProject" "$linuxMap"); then
        diff <(normalise_output "$wine_scratch/$name/windows.out" "$winProject" "$winMap") \
            <(normalise_output "$linuxScratch/$name/linux.out" "$linuxProject" "$linuxMap") | head -20 >&2
        fail "$name: the printed output differs"
    fi
    cmp -s <(normalise_output "$wine_scratch/$name/windows.err" "$winProject" "$winMap") \
        <(normalise_output "$linuxScratch/$name/linux.err" "$linuxProject" "$linuxMap") || fail "$name: the messages differ"
    # The documents: the same names, the same bytes.
    local winDocs linuxDocs
    winDocs=$(cd "$winWork/output" && find . -type f ! -name "$project.cfg" | LC_ALL=C sort)
    linuxDocs=$(cd "$linuxWork/output" && find . -type f ! -name "$project.cfg" | LC_ALL=C sort)
    [ "$winDocs" = "$linuxDocs" ] || fail "$name: different documents: $(diff <(echo "$winDocs") <(echo "$linuxDocs") | head -5)"
    local count=0
    while IFS= read -r doc; do
        [ -n "$doc" ] || continue
        if [[ $doc == *.pdf ]]; then
            cmp -s <(normalise_pdf "$winWork/output/$doc") <(normalise_pdf "$linuxWork/output/$doc") ||
                fail "$name: $doc differs"
        else
            cmp -s "$winWork/output/$doc" "$linuxWork/output/$doc" || fail "$name: $doc differs"
        fi
        count=$((count + 1))
        documentList+=("$name: ${doc#./}")
    done <<<"$winDocs"
    [ "$1" != output ] || [ "$count" -gt 0 ] || fail "$name: no document was written"
    documents=$((documents + count))
    echo "compare: $name: same output, $count documents identical"
}

back='T:\Karten\Mühlbrück'
slash='../../Karten/Mühlbrück'
keep='s/^//'
run_case info-de "$keep" "$back" "$linuxScratch/Karten/Mühlbrück" info
run_case info-en-date "$keep" "$slash" "$slash" info --lang English --date 2024-12-24
run_case info-json "$keep" "$slash" "$slash" info --json
run_case check-de "$keep" "$slash" "$slash" check
run_case check-en-json "$keep" "$slash" "$slash" check --lang English --json
run_case output-pdf-de "$keep" "$back" "$linuxScratch/Karten/Mühlbrück" output
run_case output-pdf-en "$keep" "$slash" "$slash" output --lang English
run_case output-pdf-date "$keep" "$slash" "$slash" output --date 2025-06-14
run_case output-txt "0,/\"Format\": 1,/s//\"Format\": 0,/" "$slash" "$slash" output
run_case output-all-in-one 's/"\(TT\|TP\|ST\)AllInOne": 0/"\1AllInOne": 1/' "$slash" "$slash" output
run_case output-routemap-pdf 's/"Format": 2,/"Format": 1,/' "$slash" "$slash" output --lang English

echo "compare: $documents documents identical on Windows and Linux:"
printf '  %s\n' "${documentList[@]}"
