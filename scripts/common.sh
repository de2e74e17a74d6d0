# Sourced by the other scripts: installs what the build needs (idempotently)
# and configures and builds everything into build/.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${BUILD_DIR:-$ROOT/build}"

# Debian packages: the toolchain, GoogleTest and Python 3 with its headers
# and virtual environments (for the Python 3 build and the pip check) are
# required, and so are numpy (the array tests of the Python 3 suites),
# Dask's distributed scheduler (the scale-out examples' tests) and
# pkg-config (the element library's plain-compile check); Google
# Benchmark, Boost, p4est (whose headers need MPI's) and the rtree package
# are only needed by the benchmarks.
REQUIRED_PACKAGES="cmake g++ make pkg-config libgtest-dev python3-dev python3-venv
  python3-numpy python3-distributed"
BENCH_PACKAGES="libbenchmark-dev libboost-dev libp4est-dev libopenmpi-dev python3-rtree"
# The native fuzz targets need clang++ with its libFuzzer and sanitizer
# runtimes; the lint step needs clang-format and clang-tidy.
FUZZ_PACKAGES="clang libclang-rt-14-dev"
LINT_PACKAGES="clang-format clang-tidy"
# The pip check (scripts/check_pip.sh) builds Python 3 wheels offline from
# Debian's wheels of setuptools (with python3-venv) and wheel.
PIP_CHECK_PACKAGES="python3-wheel-whl"

missing_packages() {
  local pkg out=""
  for pkg in "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || out="$out $pkg"
  done
  echo "$out"
}

install_packages() {
  local missing
  missing="$(missing_packages "$@")"
  [ -z "$missing" ] && return 0
  echo "Installing Debian packages:$missing"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq || return 1
  # shellcheck disable=SC2086
  $sudo apt-get install -y -qq --no-install-recommends $missing || return 1
}

ensure_dependencies() {
  install_packages $REQUIRED_PACKAGES
  install_packages $BENCH_PACKAGES ||
    echo "warning: benchmark libraries could not be installed; benchmarks are skipped" >&2
}

# True when clang++ can build libFuzzer targets (installing it if missing).
ensure_fuzz_toolchain() {
  install_packages $FUZZ_PACKAGES >/dev/null 2>&1 || true
  command -v clang++ >/dev/null 2>&1 || return 1
  echo 'extern "C" int LLVMFuzzerTestOneInput(const char*, unsigned long) { return 0; }' |
    clang++ -x c++ -fsanitize=fuzzer,address,undefined -o /dev/null - >/dev/null 2>&1
}

# True when clang-format and clang-tidy are there (installing them if missing).
ensure_lint_tools() {
  install_packages $LINT_PACKAGES >/dev/null 2>&1 || true
  command -v clang-format >/dev/null 2>&1 && command -v clang-tidy >/dev/null 2>&1
}

build_all() {
  ensure_dependencies
  cmake -S "$ROOT" -B "$BUILD_DIR" -UMODULES -UMODULES_FOR_PYTHON -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_EXPORT_COMPILE_COMMANDS=ON "$@"
  cmake --build "$BUILD_DIR" -j "$(nproc)"
}

# The interpreter the build found for dialect 2 or 3 (empty when none).
build_python() {
  sed -n "s/^PYTHON$1_EXECUTABLE:INTERNAL=//p" "$BUILD_DIR/CMakeCache.txt"
}

# Runs a script under Python 2.7 with the modules of build/lib.
python2() {
  PYTHONPATH="$BUILD_DIR/lib${PYTHONPATH:+:$PYTHONPATH}" "$(build_python 2)" "$@"
}

# Runs a script under Python 3 with the modules of build/lib3.
python3_build() {
  PYTHONPATH="$BUILD_DIR/lib3${PYTHONPATH:+:$PYTHONPATH}" "$(build_python 3)" "$@"
}

# True when the build has Python 3 modules.
have_python3() { [ -n "$(build_python 3)" ]; }
