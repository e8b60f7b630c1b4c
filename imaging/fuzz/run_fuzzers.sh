#!/usr/bin/env bash
# Builds the libFuzzer targets with clang++ (ASan + UBSan) and runs each for a
# bounded time, seeded from ../shared/testdata.
#   run_fuzzers.sh SOURCE_DIR WORK_DIR TESTDATA [SECONDS]
set -euo pipefail
src=$1; work=$2; testdata=$3; seconds=${4:-60}
clang=$(command -v clang++ || command -v clang++-14 || true)
if [ -z "$clang" ]; then
  echo "run_fuzzers: clang++ not found"; exit 1
fi
mkdir -p "$work"
codec=$(ls "$src"/imaging/jpeg/*.cpp "$src"/imaging/exif/*.cpp)
flags="-std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -ffp-contract=off -I$src/imaging"
for target in JpegDecoderFuzzer ExifReaderFuzzer; do
  # shellcheck disable=SC2086
  "$clang" $flags -o "$work/$target" "$src/imaging/fuzz/$target.cpp" $codec
done

# Seeds: every JPEG of the test data (the decoder target skips the first
# byte, which picks the scale), and the APP1 bodies of the camera files.
seeds=$work/seeds-decoder; mkdir -p "$seeds"
find "$testdata/jpeg-decoder" "$testdata/libjpeg-turbo" "$testdata/exiftool" -name '*.jpg' | while read -r f; do
  { printf '\0'; cat "$f"; } > "$seeds/$(basename "$f")"
done
exif=$work/seeds-exif; mkdir -p "$exif"
python3 - "$testdata/exiftool" "$exif" <<'PY'
import os, sys
src, out = sys.argv[1], sys.argv[2]
for name in os.listdir(src):
    if not name.endswith('.jpg'):
        continue
    d = open(os.path.join(src, name), 'rb').read()
    i = d.find(b'\xff\xe1')
    if i >= 0:
        n = d[i + 2] << 8 | d[i + 3]
        open(os.path.join(out, name), 'wb').write(d[i + 4:i + 2 + n])
PY

dict=$testdata/fuzz/jpeg.dict
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
mkdir -p "$work/corpus-decoder" "$work/corpus-exif"
"$work/JpegDecoderFuzzer" -max_total_time="$seconds" -rss_limit_mb=2048 -max_len=200000 -timeout=10 \
  -dict="$dict" -artifact_prefix="$work/" "$work/corpus-decoder" "$seeds"
"$work/ExifReaderFuzzer" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
  -artifact_prefix="$work/" "$work/corpus-exif" "$exif"
