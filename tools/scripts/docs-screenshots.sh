#!/usr/bin/env bash
# Regenerates the README's screenshots (docs/screens/*.png): replays the
# default road (resources/scenarios/main.txt, then main-restart.txt) on a
# fresh device root with the Release build and copies one screenshot of each
# main screen. Never edit the pictures by hand: run this again.
#   tools/scripts/docs-screenshots.sh        uses build/ (built by ./run.sh or ./test.sh)
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
bin="$top/build/bin"
[ -x "$bin/lumocr" ] || { echo "docs-screenshots: build first (./run.sh builds build/)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root="$work/device"
mkdir -p "$root"
"$bin/lumreg" --root "$root" set 'HKCU\SOFTWARE\Quarlo\LumOCR' EnableAutoSave dword 1
for scenario in main.txt main-restart.txt; do
  "$bin/lumocr" --root "$root" --scenario "$top/resources/scenarios/$scenario" > "$work/out.txt" 2>&1 ||
    { tail -20 "$work/out.txt" >&2; echo "docs-screenshots: $scenario failed" >&2; exit 1; }
done
# One picture per main screen, named by what it shows.
out="$top/docs/screens"
mkdir -p "$out"
rm -f "$out"/*.png
while read -r shot name; do
  cp "$root/Screenshots/$shot.png" "$out/$name.png"
done <<'LIST'
preview camera-preview
recognition-progress recognition
card-landscape card-view
card-corrected card-editor
document document-view
gallery-one-failed gallery-recognition
gallery-documents gallery-pages
settings-focus-off ocr-settings
LIST
ls -l "$out"
