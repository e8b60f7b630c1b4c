#!/usr/bin/env bash
# The main job: installs what is missing, builds in Release and runs lumocr
# headless on the default scenario (resources/scenarios/main.txt) on a fresh
# device root under out/, printing each step and where the results are.
#   ./run.sh                the default scenario
#   ./run.sh --root DIR     on that device root, reused as it is (pictures and
#                           contacts accumulate, as on the handset)
#   ./run.sh --photo FILE   the camera sees FILE (JPEG or PNG), not the drawn card
#   ./run.sh --window       lumocr in a desktop window for a person (SDL2)
#   ./run.sh --tools        the codec and the OCR engine through their tools
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)
cd "$top"

root="" photo="" mode=scenario
while [ $# -gt 0 ]; do
  case "$1" in
  --root) root=$(realpath -m "$2"); shift 2 ;;
  --photo) photo=$(realpath "$2"); shift 2 ;;
  --window) mode=window; shift ;;
  --tools) mode=tools; shift ;;
  *) echo "usage: ./run.sh [--root DIR] [--photo FILE] [--window | --tools]" >&2; exit 2 ;;
  esac
done

tools/scripts/deps.sh
tools/scripts/build.sh build -DCMAKE_BUILD_TYPE=Release
bin="$top/build/bin"
mkdir -p "$top/out"

if [ "$mode" = tools ]; then
  exec tools/scripts/tools-demo.sh "$top/out/tools"
fi

# A fresh run folder each time: results of an earlier run are never overwritten.
run=$(mktemp -d "$top/out/run-$(date -u +%Y%m%d-%H%M%S)-XXXX")
fresh=0
[ -n "$root" ] || { root="$run/device"; fresh=1; }
mkdir -p "$root"
if [ $fresh = 1 ]; then
  # A fresh root keeps its pictures after the result view, so the run can list them.
  "$bin/lumreg" --root "$root" set 'HKCU\SOFTWARE\Quarlo\LumOCR' EnableAutoSave dword 1
fi

if [ -n "$photo" ]; then
  # The camera sees the user's picture (a copy inside the device root).
  mkdir -p "$root/My Documents/Photo"
  name=$(basename "$photo")
  cp "$photo" "$root/My Documents/Photo/$name"
  "$bin/lumreg" --root "$root" set 'HKLM\Platform\Camera' Source sz picture
  "$bin/lumreg" --root "$root" set 'HKLM\Platform\Camera' Path sz "\\My Documents\\Photo\\$name"
fi

if [ "$mode" = window ]; then
  echo "== lumocr in a window on device root $root (keys: docs/scenarios.md, README)"
  exec "$bin/lumocr" --root "$root" --window
fi

# The default road types a correction over the drawn card's name; a photo of
# the user's goes the plain card road.
scenario="$top/resources/scenarios/main.txt"
[ -z "$photo" ] || scenario="$top/resources/scenarios/photo-card.txt"
echo "== lumocr, headless, on device root $root"
status=0
# Standard output carries the scenario's commentary and the key filter's
# diagnostic lines (kept in lumocr.out); the debug log goes to lumocr.log.
replay() {  # scenario file
  LUMOCR_LOG="$run/lumocr.log" "$bin/lumocr" --root "$root" --scenario "$1" 2>> "$run/lumocr.log" |
    tee -a "$run/lumocr.out" | { grep -v -E '^[0-9a-f]+ [0-9a-f]+ [0-9a-f]+ [0-9a-f]+$' || true; } | sed 's/^/   /'
}
replay "$scenario" || status=$?
# The default road's second start reads back what the first one saved.
if [ $status -eq 0 ] && [ -z "$photo" ]; then
  replay "$top/resources/scenarios/main-restart.txt" || status=$?
fi
"$bin/lumreg" --root "$root" dump > "$run/registry.txt"

shopt -s nullglob nocaseglob
contacts=("$root"/Contacts/*.vcf)
if [ ${#contacts[@]} -gt 0 ]; then
  # The newest contact: the one this run saved.
  newest=$(ls -t "${contacts[@]}" | head -n 1)
  echo "== the contact saved ($newest)"
  grep -E '^(FN|ORG|TITLE|TEL|EMAIL|URL|ADR)[;:]' "$newest" | sed 's/^/   /'
fi

echo "== results in $run"
list() {  # what, then the files
  local what=$1; shift
  local found=0
  for f in "$@"; do
    [ -e "$f" ] || continue
    echo "   $what: $f"
    found=1
  done
  [ $found = 1 ] || echo "   $what: none"
}
list "screenshot" "$root"/Screenshots/*.png
list "picture" "$root"/My\ Documents/KVIM/*.jpg
list "contact" "$root"/Contacts/*.vcf
list "text file" "$root"/My\ Documents/KVIM/*.txt
list "outbox message" "$root"/Outbox/*
echo "   registry: $run/registry.txt"
echo "   log: $run/lumocr.log"
if [ $status -ne 0 ]; then
  echo "lumocr ended with $status (see the log; a failed step is named above)" >&2
  exit $status
fi
