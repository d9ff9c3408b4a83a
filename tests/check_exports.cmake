# Compares the symbols a library exports with the expected list.
# Usage: cmake -DTOOL=nm|objdump -DLIBRARY=lib.so|lib.dll -DEXPECTED=list.txt
#              -P check_exports.cmake
set(actual "")
if(LIBRARY MATCHES "\\.dll$")
    # A DLL's export table, from objdump -p: "[   0] name" lines.
    execute_process(COMMAND "${TOOL}" -p "${LIBRARY}"
        OUTPUT_VARIABLE listing RESULT_VARIABLE status)
    set(pattern "^[ \t]*\\[[ 0-9]+\\] ([^ ]+)$")
else()
    # ELF dynamic symbols in nm's posix format, "name type value size";
    # absolute symbols (type A, such as version nodes) are linker
    # bookkeeping, not code of ours.
    execute_process(COMMAND "${TOOL}" -D --defined-only --format=posix "${LIBRARY}"
        OUTPUT_VARIABLE listing RESULT_VARIABLE status)
    set(pattern "^([^ ]+) [B-Zb-z]")
endif()
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${TOOL} failed on ${LIBRARY}")
endif()
string(REPLACE "\n" ";" lines "${listing}")
foreach(line IN LISTS lines)
    if(line MATCHES "${pattern}")
        list(APPEND actual "${CMAKE_MATCH_1}")
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
