# Compares the dynamic symbols a library defines with the expected list.
# Usage: cmake -DNM=nm -DLIBRARY=lib.so -DEXPECTED=list.txt -P check_exports.cmake
execute_process(
    COMMAND "${NM}" -D --defined-only --format=posix "${LIBRARY}"
    OUTPUT_VARIABLE listing
    RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()

string(REPLACE "\n" ";" lines "${listing}")
set(actual "")
foreach(line IN LISTS lines)
    # posix format: "name type value size"; absolute symbols (type A, such as
    # version nodes) are linker bookkeeping, not code of ours.
    if(line MATCHES "^([^ ]+) ([A-Za-z])")
        if(NOT CMAKE_MATCH_2 STREQUAL "A")
            list(APPEND actual "${CMAKE_MATCH_1}")
        endif()
    endif()
endforeach()
list(SORT actual)

file(STRINGS "${EXPECTED}" expected)
list(SORT expected)

if(NOT actual STREQUAL expected)
    set(missing ${expected})
    list(REMOVE_ITEM missing ${actual})
    set(extra ${actual})
    list(REMOVE_ITEM extra ${expected})
    message(FATAL_ERROR "${LIBRARY} exports the wrong symbols\n  missing: ${missing}\n  extra: ${extra}")
endif()
message(STATUS "${LIBRARY}: exports exactly the expected symbols")
