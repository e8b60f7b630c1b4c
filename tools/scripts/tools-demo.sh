#!/usr/bin/env bash
# The codec and the OCR engine through their tools: a drawn business card
# saved as a JPEG with EXIF and a thumbnail, then recognised field by field.
#   tools-demo.sh OUT   (the build in build/ must exist)
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
bin="$top/build/bin"
out=$1
rm -rf "$out"
mkdir -p "$out/cards"

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
echo "   (card-info.txt: EXIF and thumbnail; *-fields.txt: recognised fields; ocr.log: debug output)"
