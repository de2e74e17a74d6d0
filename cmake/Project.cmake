# Build helpers shared by every module folder.
#
#   project_warnings(target)           our warning set, warnings as errors
#   add_native_library(name SOURCES ...)
#                                      static library of plain C++ (no Python)
#   add_python_module(name SOURCES ... [LIBS ...])
#                                      extension module build/lib/<name>.so
#   add_native_tests(name SOURCES ... [LIBS ...])
#                                      GoogleTest executable registered with CTest
#   add_python_tests(dir)              one CTest entry per test_*.py in dir
#
# In a FUZZ build (cmake/Fuzz.cmake) the Python modules and the tests are
# left out: the helpers that make them do nothing.

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

function(add_python_module name)
  if(FUZZ)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} MODULE ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES
    PREFIX "" OUTPUT_NAME "${name}"
    LIBRARY_OUTPUT_DIRECTORY "${MODULE_OUTPUT_DIR}"
    CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  # The Python headers are third-party: keep our warnings off them.
  target_include_directories(${name} SYSTEM PRIVATE "${PYTHON2_INCLUDE_DIR}")
  target_include_directories(${name} PRIVATE "${PROJECT_SOURCE_DIR}/common")
  target_compile_definitions(${name} PRIVATE PY_SSIZE_T_CLEAN)
  # The Python C API's casting macros are old-style casts by nature.
  target_compile_options(${name} PRIVATE -Wno-old-style-cast -Wno-cast-function-type)
  if(ARG_LIBS)
    target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  endif()
  project_warnings(${name})
  add_dependencies(python_modules ${name})
endfunction()

function(add_native_tests name)
  if(FUZZ)
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

function(add_python_tests dir)
  if(FUZZ)
    return()
  endif()
  file(GLOB scripts "${dir}/test_*.py")
  list(SORT scripts)
  foreach(script IN LISTS scripts)
    get_filename_component(stem "${script}" NAME_WE)
    add_test(NAME py.${stem}
             COMMAND "${PYTHON2_EXECUTABLE}" -B "${script}"
             WORKING_DIRECTORY "${dir}")
    set(env "PYTHONPATH=${MODULE_OUTPUT_DIR}:${PROJECT_SOURCE_DIR}/common/testing")
    list(APPEND env ${PYTHON_TEST_ENV})
    set_tests_properties(py.${stem} PROPERTIES ENVIRONMENT "${env}")
  endforeach()
endfunction()
