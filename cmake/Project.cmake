# Build helpers shared by every module folder.
#
#   project_warnings(target)           our warning set, warnings as errors
#   add_native_library(name SOURCES ...)
#                                      static library of plain C++ (no Python)
#   add_python_objects(name SOURCES ...)
#                                      Python-dependent object library, once
#                                      per interpreter
#   add_python_module(name [TEST_ONLY] SOURCES ... [LIBS ...])
#                                      extension module build/lib/<name>.so,
#                                      and for Python 3 build/lib3/<name><suffix>;
#                                      TEST_ONLY: a module the tests use, not
#                                      one that is installed
#   add_native_tests(name SOURCES ... [LIBS ...])
#                                      GoogleTest executable registered with CTest
#   add_python_tests(dir)              one CTest entry per test_*.py in dir
#                                      and interpreter
#
# In a FUZZ build (cmake/Fuzz.cmake) the Python modules and the tests are
# left out: the helpers that make them do nothing. In a modules-only build
# (MODULES_FOR_PYTHON) the tests and the TEST_ONLY modules are left out, and
# the modules of its one interpreter go to build/lib/ with its suffix.

set(MODULE_OUTPUT_DIR "${CMAKE_BINARY_DIR}/lib")
file(MAKE_DIRECTORY "${MODULE_OUTPUT_DIR}")

function(project_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion
    -Wnon-virtual-dtor -Wold-style-cast -Wcast-align -Woverloaded-virtual
    -Werror)
endfunction()

function(add_native_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES POSITION_INDEPENDENT_CODE ON)
  target_include_directories(${name} PUBLIC "${CMAKE_CURRENT_SOURCE_DIR}")
  if(ARG_LIBS)
    target_link_libraries(${name} PUBLIC ${ARG_LIBS})
  endif()
  project_warnings(${name})
endfunction()

# The interpreters the modules are built for: 2 always in the full build, 3
# when a Python 3 with headers was found; a modules-only build has just the
# one it names. Each Python target is made once per interpreter: <name> for
# Python 2.7 into build/lib, <name>_py3 for Python 3 into build/lib3 (into
# build/lib in a modules-only build).
set(PYTHON_DIALECTS "")
foreach(dialect 2 3)
  if(PYTHON${dialect}_EXECUTABLE)
    list(APPEND PYTHON_DIALECTS ${dialect})
  endif()
endforeach()
if(MODULES_FOR_PYTHON)
  set(MODULE3_OUTPUT_DIR "${MODULE_OUTPUT_DIR}")
else()
  set(MODULE3_OUTPUT_DIR "${CMAKE_BINARY_DIR}/lib3")
  file(MAKE_DIRECTORY "${MODULE3_OUTPUT_DIR}")
endif()

# The settings every target compiled against the Python headers shares.
function(_python_target_settings target dialect)
  # The Python headers are third-party: keep our warnings off them.
  target_include_directories(${target} SYSTEM PRIVATE "${PYTHON${dialect}_INCLUDE_DIR}")
  target_include_directories(${target} PRIVATE "${PROJECT_SOURCE_DIR}/common")
  target_compile_definitions(${target} PRIVATE PY_SSIZE_T_CLEAN)
  # The Python C API's casting macros are old-style casts by nature.
  target_compile_options(${target} PRIVATE -Wno-old-style-cast -Wno-cast-function-type)
  set_target_properties(${target} PROPERTIES POSITION_INDEPENDENT_CODE ON
    CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  project_warnings(${target})
endfunction()

# The name of target `name` for `dialect` (2 or 3).
function(python_target_name name dialect out)
  if(dialect STREQUAL "3")
    set(${out} "${name}_py3" PARENT_SCOPE)
  else()
    set(${out} "${name}" PARENT_SCOPE)
  endif()
endfunction()

#   add_python_objects(name SOURCES ...)
#     object library compiled once per interpreter, for modules to link
function(add_python_objects name)
  if(FUZZ)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES" ${ARGN})
  foreach(dialect IN LISTS PYTHON_DIALECTS)
    python_target_name(${name} ${dialect} target)
    add_library(${target} OBJECT ${ARG_SOURCES})
    target_include_directories(${target} INTERFACE "${CMAKE_CURRENT_SOURCE_DIR}")
    _python_target_settings(${target} ${dialect})
  endforeach()
endfunction()

# Sets <name>_TARGETS in the caller's scope to the module's targets. A
# library in LIBS that is itself built per interpreter (add_python_objects)
# is linked in its own interpreter's form.
function(add_python_module name)
  if(FUZZ)
    return()
  endif()
  cmake_parse_arguments(ARG "TEST_ONLY" "" "SOURCES;LIBS" ${ARGN})
  if(ARG_TEST_ONLY AND MODULES_FOR_PYTHON)
    return()
  endif()
  set(targets "")
  foreach(dialect IN LISTS PYTHON_DIALECTS)
    python_target_name(${name} ${dialect} target)
    add_library(${target} MODULE ${ARG_SOURCES})
    if(dialect STREQUAL "3")
      set_target_properties(${target} PROPERTIES LIBRARY_OUTPUT_DIRECTORY "${MODULE3_OUTPUT_DIR}"
                                                 SUFFIX "${PYTHON3_MODULE_SUFFIX}")
    else()
      set_target_properties(${target} PROPERTIES LIBRARY_OUTPUT_DIRECTORY "${MODULE_OUTPUT_DIR}")
    endif()
    set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME "${name}")
    _python_target_settings(${target} ${dialect})
    foreach(lib IN LISTS ARG_LIBS)
      python_target_name(${lib} ${dialect} own)
      if(TARGET ${own})
        target_link_libraries(${target} PRIVATE ${own})
      else()
        target_link_libraries(${target} PRIVATE ${lib})
      endif()
    endforeach()
    add_dependencies(python_modules ${target})
    list(APPEND targets ${target})
  endforeach()
  set(${name}_TARGETS ${targets} PARENT_SCOPE)
endfunction()

function(add_native_tests name)
  if(FUZZ OR MODULES_FOR_PYTHON)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE GTest::gtest GTest::gtest_main ${ARG_LIBS})
  project_warnings(${name})
  add_test(NAME ${name} COMMAND ${name})
  if(NATIVE_TEST_ENV)
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${NATIVE_TEST_ENV}")
  endif()
endfunction()

# One CTest entry per test_*.py in `dir` and interpreter: py.<stem> runs it
# under Python 2.7 on build/lib, py3.<stem> under Python 3 on build/lib3.
function(add_python_tests dir)
  if(FUZZ OR MODULES_FOR_PYTHON)
    return()
  endif()
  file(GLOB scripts "${dir}/test_*.py")
  list(SORT scripts)
  foreach(dialect IN LISTS PYTHON_DIALECTS)
    if(dialect STREQUAL "3")
      set(prefix py3)
      set(modules "${MODULE3_OUTPUT_DIR}")
    else()
      set(prefix py)
      set(modules "${MODULE_OUTPUT_DIR}")
    endif()
    foreach(script IN LISTS scripts)
      get_filename_component(stem "${script}" NAME_WE)
      add_test(NAME ${prefix}.${stem}
               COMMAND "${PYTHON${dialect}_EXECUTABLE}" -B "${script}"
               WORKING_DIRECTORY "${dir}")
      set(env "PYTHONPATH=${modules}:${PROJECT_SOURCE_DIR}/common/testing")
      list(APPEND env ${PYTHON_TEST_ENV})
      set_tests_properties(${prefix}.${stem} PROPERTIES ENVIRONMENT "${env}")
    endforeach()
  endforeach()
endfunction()
