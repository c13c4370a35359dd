# Shared build settings and helper functions for every target of the project.

set(TARVIK_WARNINGS -Wall -Wextra -Wpedantic)
if(TARVIK_WERROR)
  list(APPEND TARVIK_WARNINGS -Werror)
endif()

# The fuzz targets' run in the test suite is a short one from the seed corpus; fuzz/run.sh makes the long
# runs.
set(TARVIK_FUZZ_SECONDS 5 CACHE STRING "Seconds each libFuzzer target runs in the test suite")

if(TARVIK_SANITIZE)
  add_compile_options(-fsanitize=${TARVIK_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${TARVIK_SANITIZE})
endif()

# The program's code in the order a hidden start runs it (app/resident.order, from tools/code-order.sh):
# lld places those functions side by side, so a program that stays hidden keeps a few pages of its code
# in memory instead of nearly all of them. Each function needs a section of its own for that. Without
# lld the program links as usual; sanitizer builds are not the ones whose memory counts.
include(CheckLinkerFlag)
check_linker_flag(CXX "-fuse-ld=lld" TARVIK_HAVE_LLD)
if(TARVIK_HAVE_LLD AND NOT TARVIK_SANITIZE AND EXISTS ${PROJECT_SOURCE_DIR}/app/resident.order)
  set(TARVIK_CODE_ORDER ON)
  add_compile_options(-ffunction-sections)
endif()

# tarvik_target_defaults(target): warnings and include root for one of our own targets.
function(tarvik_target_defaults target)
  target_compile_options(${target} PRIVATE ${TARVIK_WARNINGS})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()

# Test programs are most of what a build compiles, and gtest's templates make optimising them slow: they
# are not optimised and keep line tables only, which cuts their build by a quarter. The code under test,
# in its libraries, keeps the build type's flags.
function(tarvik_test_flags target)
  target_compile_options(${target} PRIVATE $<$<CONFIG:RelWithDebInfo>:-O0 -g1>)
endfunction()

# Paths of the build tree that test programs fall back on, in one generated header rather than in every
# test's compile line: a compile line that names the build folder differs in every checkout, and ccache
# could share none of the test objects between them.
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/generated/TestPaths.h
  CONTENT "#pragma once\n#define TARVIK_TEST_BIN_DIR \"${TARVIK_BIN_DIR}\"\n#define TARVIK_E2E_SHOT_DIR \"${CMAKE_BINARY_DIR}/e2e\"\n"
  @ONLY)

# tarvik_add_test(name SOURCES ... LIBS ... [LABELS ...] [ENV ...])
# One GoogleTest executable; every test case becomes a CTest test. Tests never see the real home
# folder: HOME and the XDG folders point into the build tree, one home per test case.
function(tarvik_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS;ENV" ${ARGN})
  # Every test program's own home, compiled once for all of them.
  if(NOT TARGET tarvik_own_home)
    add_library(tarvik_own_home OBJECT ${PROJECT_SOURCE_DIR}/tests/support/OwnHome.cpp)
    tarvik_target_defaults(tarvik_own_home)
    tarvik_test_flags(tarvik_own_home)
  endif()
  add_executable(${name} ${T_SOURCES})
  tarvik_target_defaults(${name})
  tarvik_test_flags(${name})
  target_link_libraries(${name} PRIVATE tarvik_own_home ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main
                                        Threads::Threads)
  # The program folder for a test run directly, without the launcher's TARVIK_BIN_DIR.
  target_include_directories(${name} PRIVATE ${CMAKE_BINARY_DIR}/generated)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  set(home ${CMAKE_BINARY_DIR}/test-home/${name})
  set(env TARVIK_BIN_DIR=${TARVIK_BIN_DIR} PORTMUX_BACKEND=sim PORTMUX_SIM_STATE= QT_QPA_PLATFORM=offscreen
      ${T_ENV})
  file(MAKE_DIRECTORY ${home}/run)
  # The environment travels as a launcher prefix: test discovery flattens list-valued test properties.
  # TestHome.sh gives every test case a home of its own under ${home}.
  set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR
    "${CMAKE_COMMAND};-E;env;${env};sh;${PROJECT_SOURCE_DIR}/tests/TestHome.sh;${home}")
  set(props TIMEOUT 300)
  if(T_LABELS)
    list(APPEND props LABELS "${T_LABELS}")
  endif()
  # The ThreadSanitizer build compiles only the test programs that run threads (and what they use).
  if("threads" IN_LIST T_LABELS)
    if(NOT TARGET threaded_tests)
      add_custom_target(threaded_tests)
    endif()
    add_dependencies(threaded_tests ${name})
  endif()
  include(GoogleTest)
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES ${props})
endfunction()

# tarvik_add_fuzzer(name SOURCES ... LIBS ... [CORPUS dir])
# With TARVIK_FUZZ the target is a libFuzzer binary; otherwise it gets a replay main so the seed
# corpus still runs as an ordinary test.
function(tarvik_add_fuzzer name)
  cmake_parse_arguments(F "" "CORPUS" "SOURCES;LIBS" ${ARGN})
  if(TARVIK_FUZZ)
    add_executable(${name} ${F_SOURCES})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  else()
    if(NOT TARGET tarvik_fuzz_replay_main)
      add_library(tarvik_fuzz_replay_main OBJECT ${PROJECT_SOURCE_DIR}/fuzz/ReplayMain.cpp)
      tarvik_target_defaults(tarvik_fuzz_replay_main)
    endif()
    add_executable(${name} ${F_SOURCES})
    target_link_libraries(${name} PRIVATE tarvik_fuzz_replay_main)
  endif()
  tarvik_target_defaults(${name})
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
  if(F_CORPUS)
    set(corpus ${CMAKE_CURRENT_SOURCE_DIR}/${F_CORPUS})
  else()
    set(corpus ${CMAKE_CURRENT_SOURCE_DIR}/corpus/${name})
  endif()
  if(TARVIK_FUZZ)
    # A short bounded run from the seed corpus; fuzz/run.sh makes the long runs.
    # New inputs go to a work folder in the build tree, never into the seed corpus of the source tree.
    set(work ${CMAKE_BINARY_DIR}/fuzz/work-${name})
    file(MAKE_DIRECTORY ${work})
    add_test(NAME fuzz.${name}
      COMMAND ${CMAKE_COMMAND} -E env HOME=${CMAKE_BINARY_DIR}/test-home/fuzz
              $<TARGET_FILE:${name}> -max_total_time=${TARVIK_FUZZ_SECONDS} -rss_limit_mb=4096 -timeout=10
              -artifact_prefix=${CMAKE_BINARY_DIR}/fuzz/${name}- ${work} ${corpus})
  else()
    add_test(NAME fuzz.${name} COMMAND $<TARGET_FILE:${name}> ${corpus})
  endif()
  set_tests_properties(fuzz.${name} PROPERTIES LABELS "fuzz" TIMEOUT 300)
endfunction()

# tarvik_wayland_protocols(<var> <folder> <xml>...): wayland-scanner's client header and code of each
# protocol description, written into <folder>; <var> names the files, to be added to a target.
function(tarvik_wayland_protocols var folder)
  find_program(WAYLAND_SCANNER wayland-scanner REQUIRED)
  file(MAKE_DIRECTORY ${folder})
  set(files)
  foreach(xml ${ARGN})
    get_filename_component(name ${xml} NAME_WE)
    add_custom_command(OUTPUT ${folder}/${name}-client-protocol.h ${folder}/${name}-protocol.c
      COMMAND ${WAYLAND_SCANNER} client-header ${xml} ${folder}/${name}-client-protocol.h
      COMMAND ${WAYLAND_SCANNER} private-code ${xml} ${folder}/${name}-protocol.c
      DEPENDS ${xml}
      COMMENT "Wayland client code of ${name}")
    list(APPEND files ${folder}/${name}-protocol.c ${folder}/${name}-client-protocol.h)
  endforeach()
  set(${var} ${files} PARENT_SCOPE)
endfunction()
