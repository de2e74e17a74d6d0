# Native fuzz targets built with clang's libFuzzer.
#
#   add_fuzz_target(name SOURCES ... LIBS ...)
#       With the FUZZ option on in a clang build: a libFuzzer executable
#       build/<dir>/<name> (address and undefined-behaviour sanitizers on) and
#       a CTest entry fuzz.<name>, labelled fuzz, that runs it for
#       FUZZ_SECONDS seconds from the fixed seed FUZZ_SEED. Otherwise nothing.
#       Targets may include fuzz/byte_reader.h, which decodes the input bytes.
#
# Module folders call it guarded, so that their build works without it:
#   if(COMMAND add_fuzz_target)
#     add_fuzz_target(<name>_fuzz SOURCES fuzz/<name>_fuzz.cpp LIBS <core library>)
#   endif()
#
# A FUZZ build is a build directory of its own (scripts/fuzz.sh uses
# build-fuzz/): native cores and fuzz targets only, no Python modules, no
# native tests and no benchmarks.

set(FUZZ_SECONDS 15 CACHE STRING "Seconds each fuzz target runs under CTest")
set(FUZZ_SEED 1 CACHE STRING "Seed of the fuzz targets' CTest runs")

function(add_fuzz_target name)
  if(NOT FUZZ)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  target_include_directories(${name} PRIVATE "${PROJECT_SOURCE_DIR}/fuzz")
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  project_warnings(${name})
  # Inputs beyond a few kilobytes only make each run slower: the targets
  # decode them into at most a few hundred operations.
  add_test(NAME fuzz.${name}
           COMMAND ${name} -seed=${FUZZ_SEED} -max_total_time=${FUZZ_SECONDS}
                   -max_len=4096 -timeout=10 -rss_limit_mb=2048 -print_final_stats=1)
  set_tests_properties(fuzz.${name} PROPERTIES LABELS fuzz
    ENVIRONMENT "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
endfunction()
