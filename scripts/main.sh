#!/usr/bin/env bash
# The main job on the embedded default: installs what is missing, builds,
# and runs a check that makes a company file and its work table.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build -DCMAKE_BUILD_TYPE=Release
company="$(mktemp -d)/company.db"
build/rnt0417-selfcheck "$company"
