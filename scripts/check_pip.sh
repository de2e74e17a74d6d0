#!/usr/bin/env bash
# Checks that `pip install .` works offline for every interpreter the build
# has, the way a user runs it from a clean clone:
#
#   Python 2.7 (pip 19, setuptools 41 of the interpreter itself):
#       pip install --no-index --prefix <throwaway> .
#     A throwaway prefix, because Python 2.7 has no venv module and no
#     virtualenv here (nor any offline way to get one); a prefix install
#     uses the same scheme as an install into the interpreter's own
#     site-packages (<prefix>/lib/python2.7/site-packages).
#   Python 3, each in a fresh `python3 -m venv` (pip 23, setuptools 66):
#       pip install --no-index .
#     pip's own choice for a project without pyproject.toml in a venv
#     without the wheel package: setup.py install;
#       pip install --no-index --use-pep517 --find-links /usr/share/python-wheels .
#     a wheel built in an isolated environment made offline from Debian's
#     wheels of setuptools and wheel (python3-setuptools-whl, with
#     python3-venv, and python3-wheel-whl), the way later pips build.
#
# Both interpreters install from one copy of the tracked and not-ignored
# files of the working tree (what a clone of it would hold once committed:
# no build/), in both orders: Python 2.7 then Python 3 (setup.py install)
# from one copy, Python 3 (wheel) then Python 2.7 from another. No install
# may leave a file in the copy (git status, ignored files included) or meet
# a phantom "existing installation" left by the other. Each install runs
# with no network when the machine can make a network
# namespace (unshare -n) and with pip's configuration files and PIP_*
# variables set aside, and is then checked from an empty folder outside the
# tree: every module imported from the install, real calls of each, and
# `pip uninstall` leaving nothing importable. Everything happens in one
# temporary folder that is removed at exit. Run after a build: the
# interpreters are the ones build/ was configured with.
source "$(dirname "$0")/common.sh"

PY2="$(build_python 2 2>/dev/null || true)"
PY3="$(build_python 3 2>/dev/null || true)"
if [ -z "$PY2" ]; then
  echo "check_pip: no Python 2.7 in $BUILD_DIR/CMakeCache.txt: build first (scripts/test.sh)" >&2
  exit 1
fi
[ -z "$PY3" ] || install_packages $PIP_CHECK_PACKAGES

WORK="$(mktemp -d "${TMPDIR:-/tmp}/check-pip.XXXXXX")"
trap 'rm -rf "$WORK"' EXIT

# The source tree a clone would have: tracked files as they are now (less
# those deleted) and new files git does not ignore.
cd "$ROOT"
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  git ls-files -z --cached --others --exclude-standard |
    while IFS= read -r -d '' f; do [ -e "$f" ] && printf '%s\0' "$f"; done |
    tar --null -T - -cf "$WORK/source.tar"
else
  tar --exclude='./build*' --exclude='*.egg-info' -cf "$WORK/source.tar" .
fi

OFFLINE=()
if unshare -n true 2>/dev/null; then
  OFFLINE=(unshare -n --)
else
  echo "check_pip: cannot make a network namespace here: pip runs with the network" >&2
fi

# Runs pip with no configuration but its arguments.
pip_alone() {
  local name unset=()
  for name in $(compgen -e); do
    case "$name" in PIP_*) unset+=(-u "$name") ;; esac
  done
  env "${unset[@]}" PIP_CONFIG_FILE=/dev/null PYTHONNOUSERSITE=1 "$@"
}

# fresh_source NAME: a new copy of the source tree in $WORK/NAME, committed
# to a git repository of its own so that git status shows what an install
# leaves in it.
fresh_source() {
  rm -rf "${WORK:?}/$1"
  mkdir -p "$WORK/$1"
  tar -xf "$WORK/source.tar" -C "$WORK/$1"
  (cd "$WORK/$1" && git init -q && git add -A &&
     git -c user.name=check_pip -c user.email=check_pip@localhost commit -q -m source)
}

# check_clean LABEL SOURCE: the install left SOURCE as it was.
check_clean() {
  local left
  left="$(cd "$2" && git status --porcelain --ignored --untracked-files=all)"
  if [ -n "$left" ]; then
    echo "check_pip: FAILED: $1: pip install left files in the source tree:" >&2
    printf '%s\n' "$left" | head -20 >&2
    exit 1
  fi
}

# pip_install LABEL SOURCE PYTHON PIP-ARGS...: pip install from SOURCE,
# offline; the log is shown only on failure.
pip_install() {
  local label="$1" source="$2" python="$3" start=$SECONDS
  shift 3
  if ! (cd "$source" && pip_alone "${OFFLINE[@]}" "$python" -m pip install \
          --disable-pip-version-check "$@" . >"$WORK/$label.log" 2>&1); then
    cat "$WORK/$label.log" >&2
    echo "check_pip: FAILED: $label: pip install $* ." >&2
    exit 1
  fi
  # Nothing of ours is installed where this interpreter looks: an existing
  # installation can only be a leftover of another install in the tree.
  if grep -q "existing installation" "$WORK/$label.log"; then
    cat "$WORK/$label.log" >&2
    echo "check_pip: FAILED: $label: pip found an existing installation" >&2
    exit 1
  fi
  check_clean "$label" "$source"
  echo "check_pip: $label: pip install $* . ($((SECONDS - start)) s)"
}

# The import names of the modules, from the one list of them.
MODULE_NAMES="$(awk '!/^#/ && NF == 2 { print $2 }' "$ROOT/modules.txt" | tr '\n' ' ')"
export MODULE_NAMES

# The calls every install must answer (Python 2.7 and 3 alike). argv[1]:
# the folder the modules must come from; MODULE_NAMES: every module.
CALLS="$(cat <<'EOF'
import math, os, sys

where = os.path.realpath(sys.argv[1])
failures = []


def check(what, got, want, tolerance=0.0):
    if isinstance(want, float):
        right = abs(got - want) <= tolerance * abs(want)
    else:
        right = got == want
    if not right:
        failures.append("%s gave %r, expected %r" % (what, got, want))


modules = [__import__(name) for name in os.environ["MODULE_NAMES"].split()]
globals().update((module.__name__, module) for module in modules)
for module in modules:
    if not os.path.realpath(module.__file__).startswith(where + os.sep):
        failures.append("%s imported from %s, not from %s"
                        % (module.__name__, module.__file__, where))

a, b = Triad.Triad(1, 2, 3), Triad.Triad(4, 5, 6)
check("Triad dot product", a * b, 32.0)
check("Triad.CrossProd", str(Triad.CrossProd(a, b)), "-3 6 -3")

check("Seqmath.Plus", Seqmath.Plus([1, 2], (3.5, 4)), [4.5, 6])
check("Seqmath.Star", Seqmath.Star([Triad.Triad(1, 2, 3)], [Triad.Triad(1, 1, 1)]), [6.0])

principal, directions = Hexad.Hexad(0, 0, 0, 1, 0, 0).PrincipalValues()
check("Hexad principal values", list(principal), [1.0, 0.0, -1.0, 0.0, 0.0, 0.0])
check("Hexad first principal direction", str(directions[0]), "0.707107 0.707107 0")

product = Ennead.Ennead(1, 0.5, 0, 0, 1, 0, 0, 0, 1) * Ennead.Ennead(2, 0, 0, 0, 1, 0, 0, 0, 1)
check("Ennead component [0, 1]", product[0, 1], 0.5)
check("Ennead component [0:0]", product[0:0], 2.0)

model = Crackrate.Crackrate([0, 50, 60, 40, 1, 1, 1e-10, 3, 0.5, 1, 5, 0.1, 0.1, 0.7,
                             2, 0.3, 0.1, 0.0381, 3, 10000], 1)
check("Crackrate.Calc_DKth", model.Calc_DKth(0.5, 0.1), 4.65029883692, 1e-10)
check("Crackrate.Calc_Crackrate", model.Calc_Crackrate(10, 0.5, 1000000), 3.50522301413e-08, 1e-10)
check("Crackrate overload rate", model.Compute_Crackrate(20, 0.5, 1000000, 0.1),
      4.34659928341e-07, 1e-10)

tree = Eightfold.Eightfold((0, 0, 0), 1.0)
tree.RefineToSize((0.3, 0.3, 0.3), 0.1)
tree.RefineOneLevelDiff()
check("Eightfold.ContainingCellSize", tree.ContainingCellSize((0.3, 0.3, 0.3)), 0.0625)
centre, edge = tree.GetLeafCells()[0]
check("Eightfold first leaf", (str(centre), edge), ("-0.75 0.75 0.75", 0.5))

boxes = Boxfinder.Boxfinder([(0, 0, 0), (1, 1, 1)], [(1, 1, 1), (2, 2, 2)], [7, 8])
check("Boxfinder.PtQuery", boxes.PtQuery(Triad.Triad(1, 1, 1)), [8, 7])
check("Boxfinder.RangeQuery", boxes.RangeQuery((1.5, 1.5, 1.5), (3, 3, 3)), [8])

if failures:
    sys.stderr.write("".join("  %s\n" % failure for failure in failures))
    sys.exit(1)
print("check_pip:   Python %d.%d: %d modules from %s answer right"
      % (sys.version_info[0], sys.version_info[1], len(modules), where))
EOF
)"

mkdir -p "$WORK/outside"

# check_install LABEL PYTHON WHERE [PYTHONPATH]: runs the calls from an
# empty folder with PYTHON, the modules from WHERE.
check_install() {
  local label="$1" python="$2" where="$3" path="${4:-}"
  if ! (cd "$WORK/outside" && env -u PYTHONHOME PYTHONPATH="$path" PYTHONNOUSERSITE=1 \
          "$python" -c "$CALLS" "$where"); then
    echo "check_pip: FAILED: $label: the installed modules do not answer right" >&2
    exit 1
  fi
}

# check_uninstall LABEL PYTHON [PYTHONPATH]: pip uninstall removes every module.
check_uninstall() {
  local label="$1" python="$2" path="${3:-}" left
  if ! (cd "$WORK/outside" && PYTHONPATH="$path" pip_alone "$python" -m pip uninstall -y \
          --disable-pip-version-check numeric-blocks >"$WORK/$label-uninstall.log" 2>&1); then
    cat "$WORK/$label-uninstall.log" >&2
    echo "check_pip: FAILED: $label: pip uninstall numeric-blocks" >&2
    exit 1
  fi
  left="$(cd "$WORK/outside" && PYTHONPATH="$path" PYTHONNOUSERSITE=1 "$python" -c '
import os, sys
left = []
for name in os.environ["MODULE_NAMES"].split():
    try:
        __import__(name)
        left.append(name)
    except ImportError:
        pass
sys.stdout.write(" ".join(left))')"
  if [ -n "$left" ]; then
    echo "check_pip: FAILED: $label: still importable after pip uninstall: $left" >&2
    exit 1
  fi
}

total=$SECONDS

# install_python2 LABEL SOURCE: Python 2.7 into a throwaway prefix, checked
# and uninstalled.
install_python2() {
  local label="$1" source="$2" prefix="$WORK/prefix-$1" site
  pip_install "$label" "$source" "$PY2" --no-index --prefix "$prefix"
  site="$("$PY2" -c 'import sys
from distutils.sysconfig import get_python_lib
sys.stdout.write(get_python_lib(plat_specific=True, prefix=sys.argv[1]))' "$prefix")"
  check_install "$label" "$PY2" "$site" "$site"
  check_uninstall "$label" "$PY2" "$site"
}

# install_python3 LABEL SOURCE WAY: Python 3 into a fresh venv, by setup.py
# install (setup-py) or a wheel (pep517), checked and uninstalled.
install_python3() {
  local label="$1" source="$2" way="$3" venv="$WORK/venv-$1" site
  "$PY3" -m venv "$venv"
  case "$way" in
    setup-py) pip_install "$label" "$source" "$venv/bin/python" --no-index ;;
    pep517) pip_install "$label" "$source" "$venv/bin/python" --no-index \
              --use-pep517 --find-links /usr/share/python-wheels ;;
  esac
  site="$("$venv/bin/python" -c 'import sys, sysconfig
sys.stdout.write(sysconfig.get_paths()["platlib"])')"
  check_install "$label" "$venv/bin/python" "$site"
  check_uninstall "$label" "$venv/bin/python"
}

# Python 2.7 then Python 3 from one copy, and Python 3 then Python 2.7 from
# another.
fresh_source src-2-then-3
install_python2 python2.7-first "$WORK/src-2-then-3"
if [ -n "$PY3" ]; then
  install_python3 python3-setup-py-second "$WORK/src-2-then-3" setup-py
  fresh_source src-3-then-2
  install_python3 python3-pep517-first "$WORK/src-3-then-2" pep517
  install_python2 python2.7-second "$WORK/src-3-then-2"
else
  echo "check_pip: the build has no Python 3: only Python 2.7 checked"
fi
# A source distribution holds what the build needs: every folder of
# modules.txt with its CMakeLists.txt (MANIFEST.in; the build passes over a
# missing folder), and the CMake build configures from the unpacked archive
# alone (every source file named is there).
fresh_source src-sdist
start=$SECONDS
if ! (cd "$WORK/src-sdist" && "$PY2" setup.py -q sdist --dist-dir "$WORK/sdist" \
        >"$WORK/sdist.log" 2>&1 &&
      mkdir "$WORK/sdist-tree" &&
      tar -xzf "$WORK"/sdist/numeric-blocks-*.tar.gz -C "$WORK/sdist-tree" --strip-components 1 &&
      "${CMAKE:-cmake}" -S "$WORK/sdist-tree" -B "$WORK/sdist-build" \
        -DMODULES_FOR_PYTHON="$PY2" >>"$WORK/sdist.log" 2>&1); then
  cat "$WORK/sdist.log" >&2
  echo "check_pip: FAILED: the source distribution does not configure" >&2
  exit 1
fi
check_clean sdist "$WORK/src-sdist"
for folder in $(awk '!/^#/ && NF >= 1 { print $1 }' "$ROOT/modules.txt"); do
  if ! [ -f "$WORK/sdist-tree/$folder/CMakeLists.txt" ]; then
    echo "check_pip: FAILED: the source distribution has no $folder/ (MANIFEST.in)" >&2
    exit 1
  fi
done
echo "check_pip: sdist: the source distribution configures ($((SECONDS - start)) s)"
echo "check_pip: pip install . works offline for every interpreter ($((SECONDS - total)) s)"
