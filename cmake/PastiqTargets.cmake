# wxWidgets as an imported target, so libraries pass it on to what links them.
add_library(pastiq_wx INTERFACE)
target_include_directories(pastiq_wx SYSTEM INTERFACE ${wxWidgets_INCLUDE_DIRS})
target_compile_definitions(pastiq_wx INTERFACE ${wxWidgets_DEFINITIONS})
target_compile_options(pastiq_wx INTERFACE ${wxWidgets_CXX_FLAGS})
target_link_libraries(pastiq_wx INTERFACE ${wxWidgets_LIBRARIES})

# pastiq_add_tests(<name> [X_SERVERS] [OWN_DISPLAY] SOURCES <files...> LIBS <targets...>)
# One GoogleTest binary per group; CTest lists every test case on its own,
# and runs the whole binary once more, shuffled and three times over
# (<name>.shuffled_repeated), so that no test leans on the order of the
# others or on what they leave behind. Discovery happens when ctest runs, so
# a binary that needs a display is only started under the test command's Xvfb.
# X_SERVERS: the binary starts X servers, window managers and clients of its
# own; such tests run one at a time, so that a busy machine does not starve
# the window managers of the tests running side by side (the other tests
# still run in parallel with them).
# OWN_DISPLAY: every test process of the binary runs on a private Xvfb
# (testing/own_display.sh), so windows of other tests never take its focus.
function(pastiq_add_tests name)
  cmake_parse_arguments(T "X_SERVERS;OWN_DISPLAY" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  # Window tests: each test process on an X server of its own (focus and
  # stacking are per display, and tests run side by side).
  set(runner "")
  if(T_OWN_DISPLAY)
    set(runner ${PROJECT_SOURCE_DIR}/testing/own_display.sh)
    set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR ${runner})
  endif()
  # A binary that brings its own main (a toolkit one) lists it among SOURCES
  # and names pastiq_sandbox in LIBS instead.
  if(NOT "pastiq_sandbox" IN_LIST T_LIBS)
    list(APPEND T_LIBS pastiq_test_main)
  endif()
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock Threads::Threads)
  set(lock "")
  if(T_X_SERVERS)
    set(lock RESOURCE_LOCK pastiq_x_servers)
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT 120 ${lock}
    TEST_PREFIX "${name}.")
  add_test(NAME ${name}.shuffled_repeated COMMAND ${runner} $<TARGET_FILE:${name}> --gtest_shuffle --gtest_repeat=3)
  set_tests_properties(${name}.shuffled_repeated PROPERTIES TIMEOUT 600 ${lock})
endfunction()

# pastiq_add_fuzzer(<name> SOURCES <files...> LIBS <targets...> CORPUS <dir>)
# A decoder of outside bytes, written as LLVMFuzzerTestOneInput. In every
# build it is a program that feeds each file of its seed corpus once, and
# CTest runs it on the seeds (a crash or sanitizer report there is a test
# failure). With -DPASTIQ_FUZZ=ON under clang (scripts/fuzz.sh) it is a
# libFuzzer target with AddressSanitizer and UndefinedBehaviorSanitizer.
function(pastiq_add_fuzzer name)
  cmake_parse_arguments(F "" "CORPUS" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${F_SOURCES})
  if(PASTIQ_FUZZ)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_libraries(${name} PRIVATE ${F_LIBS} pastiq_sandbox)
  else()
    target_link_libraries(${name} PRIVATE ${F_LIBS} pastiq_fuzz_main)
  endif()
  set_property(GLOBAL APPEND PROPERTY PASTIQ_FUZZERS "${name}=${F_CORPUS}")
  add_test(NAME ${name}.seeds COMMAND ${name} ${F_CORPUS})
  set_tests_properties(${name}.seeds PROPERTIES TIMEOUT 120)
endfunction()
