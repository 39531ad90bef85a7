#!/usr/bin/env bash
# Builds the libFuzzer targets into build-fuzz with clang and runs each one for
# a bounded time from a copy of its seed corpus (tests/fuzz/TARGET), so that
# the committed corpus never changes. Fails when a target finds a crash,
# undefined behaviour, a leak or a timeout, keeping the input that did it in
# build-fuzz/findings/TARGET; prints each target's executions.
#   scripts/fuzz.sh [SECONDS per target, default 30] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(query_shape value_text parameters_line server_txt command_line)

CC=clang-14 CXX=clang++-14 scripts/build.sh build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRNT_FUZZ=ON

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=()
for target in "${targets[@]}"; do
  corpus="$work/$target/corpus"
  findings="build-fuzz/findings/$target"
  rm -rf "$findings"
  mkdir -p "$corpus" "$findings"
  cp tests/fuzz/"$target"/* "$corpus"/
  log="$work/$target/log"
  status=0
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    build-fuzz/fuzz_"$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$findings/" "$corpus" >"$log" 2>&1 ||
    status=$?
  runs=$(grep -o 'Done [0-9]* runs' "$log" | tail -1 || true)
  if [ "$status" -ne 0 ]; then
    echo "fuzz $target: FAILED (exit $status)"
    grep -E 'ERROR|SUMMARY|property broken|Test unit written' "$log" | head -20 || true
    for finding in "$findings"/*; do
      [ -e "$finding" ] || continue
      echo "  input kept in $finding ($(wc -c <"$finding") bytes): $(head -c 80 "$finding" | od -An -c | tr -s ' \n' ' ')"
    done
    failed+=("$target")
  else
    echo "fuzz $target: ${runs:-no run count} in ${seconds}s, corpus $(ls "$corpus" | wc -l) inputs"
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: findings in ${failed[*]}"
  exit 1
fi
