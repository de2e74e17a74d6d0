# Locates a Python 2.7 interpreter with its headers.
#
# Search order:
#   1. the PYTHON2 environment variable (an interpreter path);
#   2. a python2.7 on PATH that really runs (a version-manager shim may not);
#   3. $(pyenv root)/versions/2.7.*/bin/python2.7.
#
# Sets PYTHON2_EXECUTABLE and PYTHON2_INCLUDE_DIR, or stops configuration
# with a message that says what to set.

function(_python2_probe candidate out_include)
  set(${out_include} "" PARENT_SCOPE)
  if(NOT candidate)
    return()
  endif()
  execute_process(
    COMMAND "${candidate}" -c
      "import sys, sysconfig; assert sys.version_info[:2] == (2, 7); sys.stdout.write(sysconfig.get_paths()['include'])"
    RESULT_VARIABLE rc OUTPUT_VARIABLE inc ERROR_QUIET)
  if(rc EQUAL 0 AND EXISTS "${inc}/Python.h")
    set(${out_include} "${inc}" PARENT_SCOPE)
  endif()
endfunction()

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

set(PYTHON2_EXECUTABLE "")
set(PYTHON2_INCLUDE_DIR "")
foreach(_cand IN LISTS _py2_candidates)
  _python2_probe("${_cand}" _inc)
  if(_inc)
    set(PYTHON2_EXECUTABLE "${_cand}")
    set(PYTHON2_INCLUDE_DIR "${_inc}")
    break()
  endif()
endforeach()

if(NOT PYTHON2_EXECUTABLE)
  message(FATAL_ERROR
    "No Python 2.7 interpreter with development headers was found "
    "(tried: ${_py2_candidates}). Set the PYTHON2 environment variable to "
    "the path of a python2.7 whose installation has Python.h, then configure again.")
endif()
set(PYTHON2_EXECUTABLE "${PYTHON2_EXECUTABLE}" CACHE INTERNAL "Python 2.7 interpreter" FORCE)
message(STATUS "Python 2.7: ${PYTHON2_EXECUTABLE} (headers in ${PYTHON2_INCLUDE_DIR})")
