#!/usr/bin/env bash
# Builds everything and runs the example analysis under Python 2.7, then
# under Python 3 when the build has it. Both write the same report and the
# same crack growth picture, build/crack_growth.svg; should the Python 3
# picture ever differ, it is kept beside the other as crack_growth_py3.svg.
source "$(dirname "$0")/common.sh"
build_all >/dev/null
# Run in the build folder, where the report writes its pictures.
cd "$BUILD_DIR"
python2 "$ROOT/examples/analysis.py"
if have_python3; then
  cp crack_growth.svg crack_growth_py2.svg
  echo
  echo "Under Python 3:"
  python3_build "$ROOT/examples/analysis.py"
  if cmp -s crack_growth.svg crack_growth_py2.svg; then
    rm -f crack_growth_py2.svg crack_growth_py3.svg
  else
    mv crack_growth.svg crack_growth_py3.svg
    mv crack_growth_py2.svg crack_growth.svg
    echo "warning: the Python 3 picture differs from the Python 2.7 one; it is in" \
      "$BUILD_DIR/crack_growth_py3.svg" >&2
  fi
fi
