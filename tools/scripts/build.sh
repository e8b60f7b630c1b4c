#!/usr/bin/env bash
# Configures (once) and builds one build folder: build.sh DIR [cmake options...]
set -euo pipefail
dir=$1; shift
top=$(cd "$(dirname "$0")/../.." && pwd)
if [ ! -f "$dir/build.ninja" ]; then
  cmake -S "$top" -B "$dir" -G Ninja "$@"
fi
cmake --build "$dir" --parallel "$(nproc)"
