#!/usr/bin/env bash
# Configures and builds one build folder: build.sh DIR [cmake options...]
# Configures again when the options differ from the last configure's.
set -euo pipefail
dir=$1; shift
top=$(cd "$(dirname "$0")/../.." && pwd)
stamp=$dir/lum-configure-options
options=$(printf '%s\n' "$@")
if [ ! -f "$dir/build.ninja" ] || [ "$(cat "$stamp" 2>/dev/null)" != "$options" ]; then
  cmake -S "$top" -B "$dir" -G Ninja "$@"
  printf '%s' "$options" > "$stamp"
fi
# nproc obeys OpenMP's thread limits, which the test scripts set for the tests.
cmake --build "$dir" --parallel "$(env -u OMP_NUM_THREADS -u OMP_THREAD_LIMIT nproc)"
