#!/usr/bin/env bash
# Installs what is needed, builds and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
ctest --test-dir "${BUILD_DIR:-build}" --output-on-failure -j "$(nproc)" --timeout 300
