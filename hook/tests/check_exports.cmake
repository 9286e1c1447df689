# Compares the library's defined dynamic symbols with the expected list.
# Usage: cmake -DLIBRARY=<lib> -DEXPECTED=<file> -P check_exports.cmake
execute_process(COMMAND nm -D --defined-only ${LIBRARY}
  OUTPUT_VARIABLE out RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REPLACE "\n" ";" lines "${out}")
set(actual "")
foreach(line IN LISTS lines)
  # "<address> <type> <name>"; the name may carry a version after '@'.
  if(line MATCHES "^[0-9a-fA-F]* *[A-Za-z] ([^@ ]+)")
    list(APPEND actual "${CMAKE_MATCH_1}")
  endif()
endforeach()
list(SORT actual)
file(STRINGS ${EXPECTED} expected)
list(SORT expected)
if(NOT actual STREQUAL expected)
  message(FATAL_ERROR "exports differ\n expected: ${expected}\n actual:   ${actual}")
endif()
message(STATUS "exports: ${actual}")
