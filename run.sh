#!/usr/bin/env bash
# The main job: installs what is missing, builds in Release and runs lumocr
# headless on the sample card scenario.
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)
cd "$top"
tools/scripts/deps.sh
tools/scripts/build.sh build -DCMAKE_BUILD_TYPE=Release

out="$top/out"
mkdir -p "$out"
root="$out/device"
echo "== lumocr, headless, device root $root"
build/bin/lumocr --root "$root" "$@"
echo "== done: the device root is $root; the log is above"
