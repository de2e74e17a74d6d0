#!/usr/bin/env bash
# Builds everything and runs every test (native and Python) through CTest,
# then the pip check (`pip install .` offline into throwaway environments
# for each interpreter, scripts/check_pip.sh), a short seeded pass of the
# fuzzers (15 seconds per native fuzz target, 15 seconds of Python calls on
# the Release modules) and the lint step. Extra arguments go to CTest (for
# example -R py.test_triad); with them the pip check and the fuzz and lint
# passes are left out.
source "$(dirname "$0")/common.sh"
build_all
ctest --test-dir "$BUILD_DIR" --output-on-failure -j "$(nproc)" "$@"
[ $# -eq 0 ] || exit 0

bash "$ROOT/scripts/check_pip.sh"

if ensure_fuzz_toolchain; then
  bash "$ROOT/scripts/fuzz.sh" --seconds 15 --seed 1 --python-build "$BUILD_DIR"
else
  echo "WARNING: clang++ with libFuzzer missing and not installable: FUZZ PASS SKIPPED" >&2
fi
# After the fuzz pass, whose build gives clang-tidy the fuzz targets.
if ensure_lint_tools; then
  bash "$ROOT/scripts/lint.sh"
else
  echo "WARNING: clang-format or clang-tidy missing and not installable: LINT SKIPPED" >&2
fi
