#!/usr/bin/env bash
# Runs every test: installs what is missing, builds and runs ctest.
#   ./test.sh            all tests in build/
#   ./test.sh --sanitize every test but the fuzzers and the slow label under ASan and UBSan, in build-asan/
#   ./test.sh --tsan     the platform, shell and capture suites and the gallery's tests under ThreadSanitizer, in build-tsan/
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)
cd "$top"
tools/scripts/deps.sh

jobs=$(env -u OMP_NUM_THREADS -u OMP_THREAD_LIMIT nproc)
export OMP_THREAD_LIMIT=1  # tests run side by side; see cmake/LumOCR.cmake
case "${1:-}" in
--sanitize)
  tools/scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUM_SANITIZE=ON -DLUM_BUILD_BENCH=OFF
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  # The fuzzers build their own sanitized programs with clang. The slow label's
  # long runs watch memory and handles over time, which the sanitizers'
  # own bookkeeping would drown; they run in the plain build.
  ctest --test-dir build-asan -E '^imaging_fuzzers$' -LE slow --output-on-failure -j "$jobs"
  ;;
--tsan)
  tools/scripts/build.sh build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUM_TSAN=ON -DLUM_BUILD_BENCH=OFF
  export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
  # Each test in a process of its own, from the build folder, as ctest runs them;
  # a failing test shows the output of the run that failed, since a race may not come again.
  cd build-tsan
  # The dialogs suite: the gallery's run, whose worker shares words with the GUI thread.
  for entry in platform_tests shell_tests capture_tests "dialogs_tests:GalleryTest.*"; do
    suite=${entry%%:*}
    filter='*'
    [ "$suite" = "$entry" ] || filter=${entry#*:}
    [ -x "bin/$suite" ] || continue
    "bin/$suite" --gtest_list_tests --gtest_filter="$filter-*Slow.*" | awk '/^[^ ]/ { s = $1 } /^  / { print s $1 }' | grep -v DISABLED_ |
      xargs -P "$jobs" -I{} sh -c 'log=$(mktemp); "$0" --gtest_filter="$1" > "$log" 2>&1 || { cat "$log"; rm -f "$log"; exit 255; }; rm -f "$log"' "bin/$suite" {}
  done
  ;;
"")
  tools/scripts/build.sh build -DCMAKE_BUILD_TYPE=Release
  ctest --test-dir build --output-on-failure -j "$jobs"
  ;;
*)
  echo "usage: ./test.sh [--sanitize | --tsan]" >&2
  exit 2
  ;;
esac
