#!/usr/bin/env bash
# Builds everything and runs every test (native and Python) through CTest.
# Extra arguments go to CTest (for example -R py.test_triad).
source "$(dirname "$0")/common.sh"
build_all
ctest --test-dir "$BUILD_DIR" --output-on-failure -j "$(nproc)" "$@"
