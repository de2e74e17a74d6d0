#!/usr/bin/env bash
# The lint step of the test command: every C++ file git tracks must be in
# the house style (.clang-format) and pass clang-tidy's checks (.clang-tidy).
# Fails, listing the offending files and findings, on either.
#
# clang-tidy reads the compile commands of build/ (and of build-fuzz/ for
# the fuzz targets, when that build exists), so it runs after a build.
# Files listed in .lint-pending are skipped with a warning: files whose
# owners are still rewriting them, due for the final format pass.
source "$(dirname "$0")/common.sh"
cd "$ROOT"
pending=""
[ -f .lint-pending ] && pending="$( (grep -v '^#' .lint-pending || true) | sed '/^$/d')"
files=()
for f in $(git ls-files '*.cpp' '*.h' '*.cc' '*.hpp'); do
  if printf '%s\n' "$pending" | grep -qxF "$f"; then continue; fi
  files+=("$f")
done
[ -n "$pending" ] && echo "lint: skipping $(printf '%s\n' "$pending" | wc -l) files listed in .lint-pending" >&2

status=0
unformatted=()
for f in "${files[@]}"; do
  clang-format --dry-run -Werror "$f" >/dev/null 2>&1 || unformatted+=("$f")
done
if [ ${#unformatted[@]} -gt 0 ]; then
  echo "lint: not in the house style (run clang-format -i):" >&2
  printf '  %s\n' "${unformatted[@]}" >&2
  status=1
fi

# Each source goes to clang-tidy with the build that compiles it.
tidy_in() {
  local db="$1"; shift
  [ -f "$db/compile_commands.json" ] || return 0
  local listed=()
  for f in "$@"; do
    grep -qF "\"file\": \"$ROOT/$f\"" "$db/compile_commands.json" && listed+=("$f")
  done
  [ ${#listed[@]} -gt 0 ] || return 0
  # A source found clean is not checked again until it, a header of ours or
  # the checks change (the key hashes all of them).
  local cache="$db/lint-clean" key todo=()
  mkdir -p "$cache"
  local ours
  ours="$(git ls-files '*.h' .clang-tidy | xargs cat | sha1sum | cut -c1-40)"
  for f in "${listed[@]}"; do
    key="$( (cat "$f"; echo "$ours") | sha1sum | cut -c1-40)"
    [ -f "$cache/$key" ] || todo+=("$f")
  done
  [ ${#todo[@]} -gt 0 ] || return 0
  local f out
  printf '%s\n' "${todo[@]}" | xargs -P "$(nproc)" -I{} sh -c \
    'clang-tidy -p "$1" --quiet "$2" > "$1/lint-clean/$(echo "$2" | tr / _).out" 2>/dev/null' \
    _ "$db" {}
  for f in "${todo[@]}"; do
    out="$cache/$(echo "$f" | tr / _).out"
    if grep -qE '(warning|error):' "$out"; then
      cat "$out"
    else
      touch "$cache/$( (cat "$f"; echo "$ours") | sha1sum | cut -c1-40)"
    fi
    rm -f "$out"
  done
}
sources=()
for f in "${files[@]}"; do
  case "$f" in *.cpp | *.cc) sources+=("$f") ;; esac
done
fuzz_sources=()
plain_sources=()
for f in "${sources[@]}"; do
  case "$f" in */fuzz/*) fuzz_sources+=("$f") ;; *) plain_sources+=("$f") ;; esac
done
findings="$( { tidy_in "$BUILD_DIR" "${plain_sources[@]}"
               [ ${#fuzz_sources[@]} -eq 0 ] || tidy_in "$ROOT/build-fuzz" "${fuzz_sources[@]}"; } |
             grep -E '(warning|error):' || true)"
if [ -n "$findings" ]; then
  echo "lint: clang-tidy findings:" >&2
  echo "$findings" >&2
  status=1
fi
[ $status -eq 0 ] && echo "lint: ${#files[@]} files formatted, ${#sources[@]} sources tidy"
exit $status
