# Locates the interpreters the modules are built for, with their headers.
#
# Python 2.7 (required), in this order:
#   1. the PYTHON2 environment variable (an interpreter path);
#   2. a python2.7 on PATH that really runs (a version-manager shim may not);
#   3. $(pyenv root)/versions/2.7.*/bin/python2.7.
# Sets PYTHON2_EXECUTABLE and PYTHON2_INCLUDE_DIR, or stops configuration
# with a message that says what to set.
#
# Python 3 (optional: without one only the Python 2.7 modules are built),
# in this order:
#   1. the PYTHON3 environment variable (an interpreter path; set it empty
#      to build for Python 2.7 alone);
#   2. the system's /usr/bin/python3 (Debian's, with python3-dev);
#   3. a python3 on PATH.
# Sets PYTHON3_EXECUTABLE, PYTHON3_INCLUDE_DIR and PYTHON3_MODULE_SUFFIX
# (the interpreter's extension suffix), or leaves PYTHON3_EXECUTABLE empty.
#
# With MODULES_FOR_PYTHON set (an interpreter path), only that interpreter
# is used: it sets the variables of its own version (2.7, or 3.6 and later)
# and leaves the other's <prefix>_EXECUTABLE empty, so that a machine with
# only Python 3 builds for it; configuration stops when it does not run or
# has no Python.h. PYTHON2 and PYTHON3 are not read then.

# Sets out_include (and out_suffix) when `candidate` runs as a Python of
# the version `version_test` accepts and its installation has Python.h.
function(_python_probe candidate version_test out_include out_suffix)
  set(${out_include} "" PARENT_SCOPE)
  set(${out_suffix} "" PARENT_SCOPE)
  if(NOT candidate)
    return()
  endif()
  execute_process(
    COMMAND "${candidate}" -c
      "import sys, sysconfig; assert ${version_test}; sys.stdout.write(sysconfig.get_paths()['include'] + ';' + (sysconfig.get_config_var('EXT_SUFFIX') or '.so'))"
    RESULT_VARIABLE rc OUTPUT_VARIABLE probed ERROR_QUIET)
  if(NOT rc EQUAL 0)
    return()
  endif()
  list(GET probed 0 inc)
  list(GET probed 1 suffix)
  if(EXISTS "${inc}/Python.h")
    set(${out_include} "${inc}" PARENT_SCOPE)
    set(${out_suffix} "${suffix}" PARENT_SCOPE)
  endif()
endfunction()

# The first of `candidates` that passes the probe: sets <prefix>_EXECUTABLE,
# <prefix>_INCLUDE_DIR and <prefix>_MODULE_SUFFIX (empty when none does).
function(_python_pick prefix version_test)
  set(${prefix}_EXECUTABLE "" PARENT_SCOPE)
  foreach(cand IN LISTS ARGN)
    _python_probe("${cand}" "${version_test}" inc suffix)
    if(inc)
      set(${prefix}_EXECUTABLE "${cand}" PARENT_SCOPE)
      set(${prefix}_INCLUDE_DIR "${inc}" PARENT_SCOPE)
      set(${prefix}_MODULE_SUFFIX "${suffix}" PARENT_SCOPE)
      return()
    endif()
  endforeach()
endfunction()

# --- One named interpreter (MODULES_FOR_PYTHON) -------------------------------
if(MODULES_FOR_PYTHON)
  _python_probe("${MODULES_FOR_PYTHON}"
                "sys.version_info[:2] == (2, 7) or sys.version_info >= (3, 6)" _inc _suffix)
  if(NOT _inc)
    message(FATAL_ERROR
      "MODULES_FOR_PYTHON=${MODULES_FOR_PYTHON} is not a Python 2.7 or 3.6+ interpreter "
      "whose installation has Python.h (on Debian, install python3-dev for Python 3).")
  endif()
  execute_process(COMMAND "${MODULES_FOR_PYTHON}" -c
                    "import sys; sys.stdout.write(str(sys.version_info[0]))"
                  OUTPUT_VARIABLE _major)
  foreach(_dialect 2 3)
    if(_dialect STREQUAL _major)
      set(PYTHON${_dialect}_EXECUTABLE "${MODULES_FOR_PYTHON}" CACHE INTERNAL
          "Python ${_dialect} interpreter" FORCE)
      set(PYTHON${_dialect}_INCLUDE_DIR "${_inc}")
      set(PYTHON${_dialect}_MODULE_SUFFIX "${_suffix}")
    else()
      set(PYTHON${_dialect}_EXECUTABLE "" CACHE INTERNAL "Python ${_dialect} interpreter" FORCE)
    endif()
  endforeach()
  message(STATUS "Modules only, for Python ${_major}: ${MODULES_FOR_PYTHON} (headers in ${_inc})")
  return()
endif()

# --- Python 2.7 ---------------------------------------------------------------
set(_py2_candidates "")
if(DEFINED ENV{PYTHON2} AND NOT "$ENV{PYTHON2}" STREQUAL "")
  list(APPEND _py2_candidates "$ENV{PYTHON2}")
else()
  find_program(_py2_on_path python2.7 NO_CACHE)
  if(_py2_on_path)
    list(APPEND _py2_candidates "${_py2_on_path}")
  endif()
  set(_pyenv_root "")
  if(DEFINED ENV{PYENV_ROOT})
    set(_pyenv_root "$ENV{PYENV_ROOT}")
  else()
    find_program(_pyenv pyenv NO_CACHE)
    if(_pyenv)
      execute_process(COMMAND "${_pyenv}" root OUTPUT_VARIABLE _pyenv_root
                      OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    elseif(EXISTS "$ENV{HOME}/.pyenv")
      set(_pyenv_root "$ENV{HOME}/.pyenv")
    endif()
  endif()
  if(_pyenv_root)
    file(GLOB _pyenv_pythons "${_pyenv_root}/versions/2.7.*/bin/python2.7")
    list(SORT _pyenv_pythons ORDER DESCENDING)
    list(APPEND _py2_candidates ${_pyenv_pythons})
  endif()
endif()

_python_pick(PYTHON2 "sys.version_info[:2] == (2, 7)" ${_py2_candidates})
if(NOT PYTHON2_EXECUTABLE)
  message(FATAL_ERROR
    "No Python 2.7 interpreter with development headers was found "
    "(tried: ${_py2_candidates}). Set the PYTHON2 environment variable to "
    "the path of a python2.7 whose installation has Python.h, then configure again.")
endif()
set(PYTHON2_EXECUTABLE "${PYTHON2_EXECUTABLE}" CACHE INTERNAL "Python 2.7 interpreter" FORCE)
message(STATUS "Python 2.7: ${PYTHON2_EXECUTABLE} (headers in ${PYTHON2_INCLUDE_DIR})")

# --- Python 3 -----------------------------------------------------------------
set(_py3_candidates "")
if(DEFINED ENV{PYTHON3})
  list(APPEND _py3_candidates "$ENV{PYTHON3}")
else()
  list(APPEND _py3_candidates /usr/bin/python3)
  find_program(_py3_on_path python3 NO_CACHE)
  if(_py3_on_path)
    list(APPEND _py3_candidates "${_py3_on_path}")
  endif()
endif()

_python_pick(PYTHON3 "sys.version_info >= (3, 6)" ${_py3_candidates})
set(PYTHON3_EXECUTABLE "${PYTHON3_EXECUTABLE}" CACHE INTERNAL "Python 3 interpreter" FORCE)
if(PYTHON3_EXECUTABLE)
  message(STATUS "Python 3: ${PYTHON3_EXECUTABLE} (headers in ${PYTHON3_INCLUDE_DIR})")
else()
  message(STATUS "No Python 3 with development headers found: Python 3 modules are not built")
endif()
