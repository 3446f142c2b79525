#!/usr/bin/env bash
# Writes a map's documents with two builds of taktarium-cli and compares them
# byte for byte, the PDF creation date aside. For changes that must not change
# any document.
#   scripts/compare-documents.sh <cli before> <cli after> [map folder] [project file]
set -euo pipefail
cd "$(dirname "$0")/.."
before=$(realpath "$1"); after=$(realpath "$2")
map=$(realpath "${3:-examples/DemoMap}")
project=$(realpath "${4:-examples/output/DemoMap.cfg}")
name=$(basename "$map")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for side in before after; do
    mkdir -p "$work/$side/output"
    cp "$project" "$work/$side/output/$name.cfg"
    cli=$before; [ "$side" = after ] && cli=$after
    if ! (cd "$work/$side" && "$cli" output "$map" >/dev/null); then
        echo "the build $side the change ($cli) could not write the documents"; exit 1
    fi
done
status=0
for file in "$work/before/output/$name"/*; do
    other="$work/after/output/$name/$(basename "$file")"
    if [ -f "$other" ] && cmp -s <(sed 's/CreationDate (D:[0-9]*)/CreationDate ()/' "$file") \
                                 <(sed 's/CreationDate (D:[0-9]*)/CreationDate ()/' "$other"); then
        echo "same       $(basename "$file")"
    else
        echo "DIFFERENT  $(basename "$file")"; status=1
    fi
done
[ "$(ls "$work/before/output/$name" | wc -l)" = "$(ls "$work/after/output/$name" | wc -l)" ] || { echo "the builds wrote different sets of documents"; status=1; }
exit $status
