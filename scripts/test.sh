#!/usr/bin/env bash
# Installs what is needed, builds and runs every test; then the Qt-free
# programs and tests again under ASan/UBSan (build-asan/), and a smoke run of
# each fuzz target when clang is there (build-fuzz/). A ctest run that
# selects no test fails.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
JOBS=$(nproc)

scripts/build.sh
ctest --test-dir "${BUILD_DIR:-build}" --output-on-failure -j "$JOBS" --timeout 300 --no-tests=error

BUILD_DIR=${ASAN_BUILD_DIR:-build-asan} scripts/build.sh -DQUORVANE_BUILD_GUI=OFF \
  -DQUORVANE_BUILD_BENCH=OFF -DQUORVANE_SANITIZE=address
ctest --test-dir "${ASAN_BUILD_DIR:-build-asan}" --output-on-failure -j "$JOBS" --timeout 300 \
  --no-tests=error

if command -v clang++ >/dev/null; then
  scripts/fuzz.sh smoke
else
  echo "clang++ not found: fuzz smoke runs skipped"
fi
