#!/usr/bin/env bash
# Builds everything and runs the example analysis.
source "$(dirname "$0")/common.sh"
build_all >/dev/null
python2 "$ROOT/examples/analysis.py"
