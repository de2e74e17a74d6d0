#!/usr/bin/env bash
# Builds everything and runs every benchmark: each native benchmark
# executable built under build/bench/, then each bench/*/bench_*.py under
# Python 2.7 and, when the build has it, under Python 3 (each against its
# anchor in the same interpreter).
source "$(dirname "$0")/common.sh"
build_all >/dev/null
for exe in $(find "$BUILD_DIR/bench" -path '*/CMakeFiles' -prune -o -type f -executable -print | sort); do
  echo "== $(basename "$exe")"
  "$exe"
done
for script in $(ls "$ROOT"/bench/*/bench_*.py 2>/dev/null | sort); do
  echo "== $(basename "$script") (Python 2.7)"
  python2 "$script"
  if have_python3; then
    echo "== $(basename "$script") (Python 3)"
    python3_build "$script"
  fi
done
