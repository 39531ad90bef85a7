#!/usr/bin/env bash
# Every test: installs what is missing, checks the formatting, builds and runs
# the suite, then builds and runs it again under the address and
# undefined-behaviour sanitizers, then fuzzes every parser of outside input
# for a short while.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

echo "== formatting"
git ls-files -- '*.cc' '*.h' | xargs clang-format --dry-run --Werror

echo "== tests"
scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
ctest --test-dir build --output-on-failure -j "$(nproc)"

echo "== tests under address and undefined-behaviour sanitizers"
scripts/build.sh build-sanitize -DCMAKE_BUILD_TYPE=Debug -DRNT_SANITIZE=ON -DRNT_BENCHMARKS=OFF
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-sanitize --output-on-failure -j "$(nproc)"

echo "== fuzzing the parsers of outside input"
scripts/fuzz.sh 30
