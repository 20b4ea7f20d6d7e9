#!/usr/bin/env bash
# Installs what is missing, builds the test configuration (ASan + UBSan, warnings as
# errors) and runs every test.
# Extra arguments go to ctest (for example: -R app_ or --repeat until-fail:3).
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh

BUILD_DIR=${BUILD_DIR:-build-test}
JOBS=${JOBS:-$(nproc)}

cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DSTATION_SANITIZE=address -DSTATION_WERROR=ON
cmake --build "$BUILD_DIR" -j "$JOBS"

cd "$BUILD_DIR"
xvfb-run -a -s "-screen 0 1920x1080x24" ctest --output-on-failure --timeout 600 -j "$JOBS" "$@"
