#!/usr/bin/env bash
# Builds everything and runs the example analysis.
source "$(dirname "$0")/common.sh"
build_all >/dev/null
# Run in the build folder, where the report writes its pictures.
cd "$BUILD_DIR"
python2 "$ROOT/examples/analysis.py"
