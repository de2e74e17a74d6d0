#!/usr/bin/env bash
# The Boxfinder module exports the element library's instances and classes
# to native callers, and nothing of the box tree or the vector binding.
set -euo pipefail
symbols="$(nm -D --defined-only "$1" | c++filt)"
status=0
for name in kTetrahedral4 kTetrahedral10 kPyramid5 kPyramid13 kWedge6 kWedge15 kBrick8 kBrick20 \
            kTriangle3 kTriangle6 kQuadrilateral4 kQuadrilateral8; do
  grep -q " Meshkit::$name\$" <<<"$symbols" || { echo "missing: Meshkit::$name"; status=1; }
done
for name in "vtable for Meshkit::ECBrick20" "Meshkit::ECBrick20::ShapeFunctions" \
            "vtable for Meshkit::SECQuadrilateral8" "Meshkit::SurfElemClass::AreaScale"; do
  grep -q "$name" <<<"$symbols" || { echo "missing: $name"; status=1; }
done
if grep -E "boxfinder::|pysupport::|VectorBinding|BindVectorClass" <<<"$symbols"; then
  echo "exported beyond the element library"
  status=1
fi
exit $status
