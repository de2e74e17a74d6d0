#!/usr/bin/env bash
# The element library as a caller outside the tree gets it, three ways, each
# building and running the point-location example (examples/cpp/) in a
# temporary folder:
#   1. `cmake --install <build> --component meshkit` into a temporary prefix
#      after building only the library's target, then a project of its own
#      with find_package(Meshkit 1.0 CONFIG REQUIRED);
#   2. a project that takes meshkit/ alone by add_subdirectory (no Python, no
#      GoogleTest, no helpers of the tree's), whose cache must hold exactly
#      what the same project's holds without it;
#   3. a plain compile line with pkg-config against the installed prefix.
# Usage: check_meshkit_package.sh <configured build dir> [C++ compiler]
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="$1"
CXX="${2:-c++}"
SOURCE="$ROOT/examples/cpp/locate_point_example.cpp"
CONSUMER="$ROOT/meshkit/tests/consumer"
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT
configure() {
  cmake -S "$CONSUMER" -G "Unix Makefiles" -DCMAKE_CXX_COMPILER="$CXX" \
    -DCONSUMER_SOURCE="$SOURCE" "$@" >"$WORK/log" 2>&1 || { cat "$WORK/log"; exit 1; }
}
build_and_run() {
  cmake --build "$1" -j 2 >"$WORK/log" 2>&1 || { cat "$WORK/log"; exit 1; }
  "$1/consumer" >/dev/null
}

echo "-- install of the meshkit component, then find_package"
cmake --build "$BUILD" --target meshkit >/dev/null
cmake --install "$BUILD" --component meshkit --prefix "$WORK/prefix" >/dev/null
for f in include/meshkit/meshkit.h lib/libmeshkit.a lib/cmake/Meshkit/MeshkitConfig.cmake \
         lib/cmake/Meshkit/MeshkitConfigVersion.cmake lib/pkgconfig/meshkit.pc; do
  [ -f "$WORK/prefix/$f" ] || { echo "not installed: $f"; exit 1; }
done
configure -B "$WORK/package" -DMESHKIT_ROUTE=package -DCMAKE_PREFIX_PATH="$WORK/prefix"
build_and_run "$WORK/package"
# A request for a later major version is refused.
if cmake -S "$CONSUMER" -B "$WORK/too-new" -DMESHKIT_ROUTE=package -DMESHKIT_REQUEST=2.0 \
     -DCMAKE_PREFIX_PATH="$WORK/prefix" -DCONSUMER_SOURCE="$SOURCE" >/dev/null 2>&1; then
  echo "find_package(Meshkit 2.0) was satisfied by 1.x"
  exit 1
fi

echo "-- add_subdirectory(meshkit) alone"
configure -B "$WORK/subdirectory" -DMESHKIT_ROUTE=subdirectory -DMESHKIT_SOURCE="$ROOT/meshkit"
build_and_run "$WORK/subdirectory"
configure -B "$WORK/none" -DMESHKIT_ROUTE=none -DMESHKIT_SOURCE="$ROOT/meshkit"
cache_keys() { sed -n 's/^\([A-Za-z_][A-Za-z0-9_-]*\):.*/\1/p' "$1/CMakeCache.txt" | sort; }
if ! diff <(cache_keys "$WORK/none") <(cache_keys "$WORK/subdirectory"); then
  echo "add_subdirectory(meshkit) changed the caller's cache (lines > above)"
  exit 1
fi
grep -q '^CMAKE_BUILD_TYPE:STRING=$' "$WORK/subdirectory/CMakeCache.txt" ||
  { echo "add_subdirectory(meshkit) set the caller's build type"; exit 1; }

echo "-- plain compile with pkg-config"
flags="$(PKG_CONFIG_PATH="$WORK/prefix/lib/pkgconfig" pkg-config --cflags --libs meshkit)"
# shellcheck disable=SC2086
"$CXX" -std=c++17 -O2 -o "$WORK/plain" "$SOURCE" $flags
"$WORK/plain" >/dev/null
echo "meshkit package: find_package, add_subdirectory and pkg-config routes passed"
