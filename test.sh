#!/usr/bin/env bash
# Runs every test: installs what is missing, builds and runs ctest.
#   ./test.sh            all tests in build/
#   ./test.sh --sanitize the unit tests under ASan and UBSan, in build-asan/
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)
cd "$top"
tools/scripts/deps.sh

jobs=$(env -u OMP_NUM_THREADS -u OMP_THREAD_LIMIT nproc)
export OMP_THREAD_LIMIT=1  # tests run side by side; see cmake/LumOCR.cmake
if [ "${1:-}" = "--sanitize" ]; then
  tools/scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUM_SANITIZE=ON -DLUM_BUILD_BENCH=OFF
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  ctest --test-dir build-asan -L unit --output-on-failure -j "$jobs"
else
  tools/scripts/build.sh build -DCMAKE_BUILD_TYPE=Release
  ctest --test-dir build --output-on-failure -j "$jobs"
fi
