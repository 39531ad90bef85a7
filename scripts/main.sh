#!/usr/bin/env bash
# The main job on the embedded default: installs what is missing, builds, and
# runs the demo: a realistic demo company, one party billed from its whole
# history and one continued from its rent voucher, both statements printed.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build -DCMAKE_BUILD_TYPE=Release -DRNT_BENCHMARKS=OFF
build/rnt0417 demo
