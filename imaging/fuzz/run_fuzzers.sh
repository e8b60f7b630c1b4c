#!/usr/bin/env bash
# Builds the libFuzzer targets with clang++ (ASan + UBSan) and runs each for a
# bounded time, seeded from ../shared/testdata.
#   run_fuzzers.sh SOURCE_DIR WORK_DIR TESTDATA [SECONDS]
set -euo pipefail
src=$1; work=$2; testdata=$3; seconds=${4:-60}
clang=$(command -v clang++ || true)
if [ -z "$clang" ]; then
  echo "run_fuzzers: clang++ not found"; exit 1
fi
mkdir -p "$work/obj"
flags="-std=c++20 -O1 -g -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -ffp-contract=off -I$src/imaging"
# The codec is compiled once for both targets, and again only when a source
# is newer than its object.
objects=()
stale=()
for f in "$src"/imaging/jpeg/*.cpp "$src"/imaging/exif/*.cpp "$src"/imaging/fuzz/*Fuzzer.cpp; do
  o="$work/obj/$(basename "$f" .cpp).o"
  objects+=("$o")
  if [ ! -f "$o" ] || [ "$f" -nt "$o" ] || [ -n "$(find "$src/imaging/jpeg" "$src/imaging/exif" -name '*.h' -newer "$o")" ]; then
    stale+=("$f" "$o")
  fi
done
if [ ${#stale[@]} -gt 0 ]; then
  printf '%s\n' "${stale[@]}" | xargs -P "$(env -u OMP_NUM_THREADS -u OMP_THREAD_LIMIT nproc)" -n 2 sh -c "\"$clang\" $flags -c -o \"\$1\" \"\$0\""
fi
codec=()
for o in "${objects[@]}"; do
  case "$o" in *Fuzzer.o) ;; *) codec+=("$o") ;; esac
done
for target in JpegDecoderFuzzer ExifReaderFuzzer; do
  "$clang" -fsanitize=fuzzer,address,undefined -o "$work/$target" "$work/obj/$target.o" "${codec[@]}"
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
