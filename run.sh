#!/usr/bin/env bash
# The main job: installs what is missing, builds in Release and runs what
# works end to end: the program's start on a device root, then a business
# card from picture to typed fields through the codec and the OCR engine.
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)
cd "$top"
tools/scripts/deps.sh
tools/scripts/build.sh build -DCMAKE_BUILD_TYPE=Release
bin="$top/build/bin"

out="$top/out"
rm -rf "$out"
mkdir -p "$out/cards"
root="$out/device"

echo "== lumocr, headless, on device root $root: start, a screenshot, the end key"
cat > "$out/start-and-end.scn" <<'SCN'
# The program starts, shows its screen, and ends on the end key.
wait 800
expect-reg HKLM\System\State\Velmora\Keypad LumOCRWorking 1
screenshot start
key TEND
wait 500
SCN
"$bin/lumocr" --root "$root" --scenario "$out/start-and-end.scn" "$@" 2> "$out/lumocr.log" ||
  { cat "$out/lumocr.log"; exit 1; }
"$bin/lumreg" --root "$root" dump > "$out/registry-after.txt"
echo "   screenshot: $root/Screenshots/start.png; registry after the end: $out/registry-after.txt"

echo "== drawing a sample business card and saving it as a JPEG with EXIF and a thumbnail"
"$bin/cardgen" "$out/cards" > /dev/null
"$bin/jpegtool" encode "$out/cards/card-clean.pgm" "$out/card.jpg" --quality 90 \
  --exif --make LumOCR --model Handset --thumbnail 160x120
"$bin/jpegtool" info "$out/card.jpg" > "$out/card-info.txt"

echo "== recognising the card (fields: kind, text, rectangle)"
"$bin/ocrtool" card "$out/card.jpg" 2> "$out/ocr.log" | tee "$out/card-fields.txt"

photo="${LUM_TESTDATA:-$top/../shared/testdata}/cards/business-card-english.jpg"
if [ -f "$photo" ]; then
  echo "== recognising a photographed card ($photo)"
  "$bin/ocrtool" card "$photo" 2>> "$out/ocr.log" | tee "$out/photo-fields.txt"
fi

echo "== done. Results in $out:"
ls -1 "$out" | sed 's/^/   /'
echo "   (card-info.txt: EXIF and thumbnail; *-fields.txt: recognised fields; *.log: debug output; device/: the device root)"
