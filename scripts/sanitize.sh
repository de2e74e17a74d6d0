#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer into
# build-sanitize/ and runs the whole suite; CTest preloads the ASan runtime
# into the interpreters (Python 2.7 and Python 3) for the Python tests.
export BUILD_DIR="$(cd "$(dirname "$0")/.." && pwd)/build-sanitize"
source "$(dirname "$0")/common.sh"
build_all -DSANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_BENCHMARKS=OFF
ctest --test-dir "$BUILD_DIR" --output-on-failure "$@"
