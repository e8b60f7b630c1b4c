#!/usr/bin/env bash
# Configures (once) and builds one build folder: build.sh DIR [cmake options...]
set -euo pipefail
dir=$1; shift
top=$(cd "$(dirname "$0")/../.." && pwd)
if [ ! -f "$dir/build.ninja" ]; then
  cmake -S "$top" -B "$dir" -G Ninja "$@"
fi
# nproc obeys OpenMP's thread limits, which the test scripts set for the tests.
cmake --build "$dir" --parallel "$(env -u OMP_NUM_THREADS -u OMP_THREAD_LIMIT nproc)"
