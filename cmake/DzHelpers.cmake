# Per-target build settings, so that no flag leaks across the tree.

# Warnings and sanitizers for our own targets.
function(dz_set_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(DZ_WARNINGS_AS_ERRORS)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
  if(DZ_SANITIZE)
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-sanitize-recover=undefined
                                             -fno-omit-frame-pointer)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined)
  endif()
  # libFuzzer needs coverage (and the sanitizers) inside the engine too, not
  # only in the fuzz target's own file, or it mutates blind.
  if(DZ_FUZZ AND CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    target_compile_options(${target} PRIVATE -fsanitize=fuzzer-no-link,address,undefined)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined)
  endif()
endfunction()

# dz_add_test(NAME SOURCES ... LIBS ... [LABELS ...] [ENVIRONMENT ...])
function(dz_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS;ENVIRONMENT" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  dz_set_warnings(${name})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  target_compile_definitions(${name} PRIVATE DZ_FIXTURES_DIR="${CMAKE_SOURCE_DIR}/tests/fixtures"
                                             DZ_SHARED_DIR="${DZ_SHARED_DIR}")
  set(properties LABELS "${ARG_LABELS}")
  if(ARG_ENVIRONMENT)
    list(APPEND properties ENVIRONMENT "${ARG_ENVIRONMENT}")
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ${properties})
endfunction()

# dz_add_bench(NAME SOURCES ... LIBS ...): built, never run by ctest.
function(dz_add_bench name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  dz_set_warnings(${name})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} benchmark::benchmark benchmark::benchmark_main)
  target_compile_definitions(${name} PRIVATE DZ_SHARED_DIR="${DZ_SHARED_DIR}"
                                             DZ_FIXTURES_DIR="${CMAKE_SOURCE_DIR}/tests/fixtures")
endfunction()

# dz_add_fuzzer(NAME SOURCE LIBS ...): a libFuzzer binary when DZ_FUZZ is on under
# clang, and always a replay binary that runs the saved corpus
# (tests/fixtures/fuzz/NAME) under ctest with any compiler.
function(dz_add_fuzzer name)
  cmake_parse_arguments(ARG "" "SOURCE" "LIBS" ${ARGN})
  set(corpus ${CMAKE_SOURCE_DIR}/tests/fixtures/fuzz/${name})
  if(DZ_FUZZ AND CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    add_executable(${name} ${ARG_SOURCE})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS})
    target_compile_options(${name} PRIVATE -Wall -Wextra -fsanitize=fuzzer,address,undefined)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  endif()
  if(DZ_BUILD_TESTS)
    add_executable(${name}_replay ${ARG_SOURCE} ${CMAKE_SOURCE_DIR}/fuzz/ReplayMain.cpp)
    dz_set_warnings(${name}_replay)
    target_link_libraries(${name}_replay PRIVATE ${ARG_LIBS})
    add_test(NAME fuzz_replay.${name} COMMAND ${name}_replay ${corpus})
    set_tests_properties(fuzz_replay.${name} PROPERTIES LABELS fuzz)
  endif()
endfunction()
