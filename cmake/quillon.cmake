# Project-wide compiler settings and the helpers that declare libraries and test executables.

add_library(quillon_warnings INTERFACE)
target_compile_options(quillon_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual
  # g++ 12 reports std::variant members as maybe-uninitialized where they are not.
  $<$<CXX_COMPILER_ID:GNU>:-Wno-maybe-uninitialized>
  $<$<BOOL:${QUILLON_WERROR}>:-Werror>)

if(QUILLON_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

if(QUILLON_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "QUILLON_FUZZ needs clang (CXX=clang++)")
  endif()
  # Instrument the libraries so the fuzzer sees their branches; the targets add the driver.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# quillon_add_library(<name> SOURCES ... [DEPS ...]): the library of one folder of src/,
# target quillon_<name>, alias quillon::<name>, headers included as "<folder>/<file>.h".
function(quillon_add_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;PRIVATE_DEPS" ${ARGN})
  add_library(quillon_${name} STATIC ${ARG_SOURCES})
  add_library(quillon::${name} ALIAS quillon_${name})
  target_include_directories(quillon_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(quillon_${name} PUBLIC ${ARG_DEPS} PRIVATE quillon_warnings ${ARG_PRIVATE_DEPS})
endfunction()

# quillon_add_test(<name> SOURCES ... [DEPS ...]): one GoogleTest executable, <name>_tests,
# registered with CTest test by test; every test sees QUILLON_SOURCE_DIR, the source tree.
function(quillon_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name}_tests ${ARG_SOURCES})
  target_link_libraries(${name}_tests PRIVATE quillon::testing ${ARG_DEPS} GTest::gtest_main
                        GTest::gmock quillon_warnings)
  # One variable only: gtest_discover_tests splits a list of them into separate properties.
  gtest_discover_tests(${name}_tests
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QUILLON_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
endfunction()
