#!/usr/bin/env bash
# Runs the fuzzers for as long as asked:
#   - every native libFuzzer target (add_fuzz_target), built with clang++ and
#     the address and undefined-behaviour sanitizers into build-fuzz/; each
#     keeps its corpus in build-fuzz/corpus/<target>/ from run to run;
#   - the seeded random-argument fuzzer over every Python entry point of
#     every built module (fuzz/fuzz_modules.py), against the sanitizer build
#     in build-sanitize/ (built here when needed): under Python 2.7 with the
#     modules of lib/, then, when the build has Python 3, under Python 3
#     with those of lib3/.
#
#   bash scripts/fuzz.sh [--seconds N] [--seed S] [--python-build DIR] [--python-only]
#
# --seconds: per fuzzer and per interpreter (default 60). --seed: default
# random; it is printed, and the same seed makes the same Python calls.
# --python-build: fuzz the modules of another build directory instead (the
# test command uses its Release build/ for its short pass). --python-only:
# leave the native targets out.
source "$(dirname "$0")/common.sh"
SECONDS_EACH=60
SEED=""
PYTHON_BUILD=""
NATIVE=1
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) SECONDS_EACH="$2"; shift 2 ;;
    --seed) SEED="$2"; shift 2 ;;
    --python-build) PYTHON_BUILD="$2"; shift 2 ;;
    --python-only) NATIVE=0; shift ;;
    *) echo "usage: $0 [--seconds N] [--seed S] [--python-build DIR] [--python-only]" >&2
       exit 2 ;;
  esac
done
[ -n "$SEED" ] || SEED=$(( (RANDOM << 15 | RANDOM) % 1000000000 + 1 ))
echo "fuzz seed $SEED (rerun with --seed $SEED)"

# ----- native targets
fuzz_native() {
  if ! ensure_fuzz_toolchain; then
    echo "error: clang++ with libFuzzer is needed for the native fuzz targets" >&2
    exit 1
  fi
  FUZZ_DIR="$ROOT/build-fuzz"
  cmake -S "$ROOT" -B "$FUZZ_DIR" -UMODULES -DFUZZ=ON -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
  cmake --build "$FUZZ_DIR" -j "$(nproc)" >/dev/null
  total_inputs=0
  for exe in $(find "$FUZZ_DIR" -path '*/CMakeFiles' -prune -o -type f -executable -name '*_fuzz' -print | sort); do
    name="$(basename "$exe")"
    corpus="$FUZZ_DIR/corpus/$name"
    mkdir -p "$corpus"
    log="$FUZZ_DIR/$name.log"
    if ! UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 "$exe" "$corpus" -seed="$SEED" \
        -max_total_time="$SECONDS_EACH" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$FUZZ_DIR/$name-" >"$log" 2>&1; then
      tail -n 60 "$log" >&2
      echo "FINDING in $name (seed $SEED); the input is in $FUZZ_DIR/$name-*" >&2
      exit 1
    fi
    runs="$(sed -n 's/^stat::number_of_executed_\(runs\|units\): *//p' "$log")"
    total_inputs=$((total_inputs + ${runs:-0}))
    echo "$name: ${runs:-0} inputs clean"
  done
  echo "native fuzz targets: $total_inputs inputs clean"
}
if [ "$NATIVE" = 1 ]; then fuzz_native; fi

# ----- Python entry points
if [ -n "$PYTHON_BUILD" ]; then
  BUILD_DIR="$PYTHON_BUILD"
  preload=()
else
  BUILD_DIR="$ROOT/build-sanitize"
  build_all -DSANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_BENCHMARKS=OFF >/dev/null
  # The interpreter is not instrumented: the sanitizer runtimes go first.
  # An allocation too large to make, or larger than 4 GiB, fails as it does
  # without the sanitizer (the interpreter raises MemoryError, as for a
  # tuple repeated 2**53 times) instead of ending the run or taking the
  # machine's memory.
  preload=(env "LD_PRELOAD=$(g++ -print-file-name=libasan.so):$(g++ -print-file-name=libubsan.so)"
           "ASAN_OPTIONS=detect_leaks=0:abort_on_error=1:allocator_may_return_null=1:max_allocation_size_mb=4096"
           "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
fi
PYTHONPATH="$BUILD_DIR/lib" "${preload[@]}" "$(build_python 2)" -B "$ROOT/fuzz/fuzz_modules.py" \
  --seconds "$SECONDS_EACH" --seed "$SEED" --lib "$BUILD_DIR/lib"
if have_python3; then
  PYTHONPATH="$BUILD_DIR/lib3" "${preload[@]}" "$(build_python 3)" -B \
    "$ROOT/fuzz/fuzz_modules.py" --seconds "$SECONDS_EACH" --seed "$SEED" --lib "$BUILD_DIR/lib3"
fi
