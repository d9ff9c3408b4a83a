# kestrane_warnings: an interface target that carries the project's warning
# flags to every target that links it, instead of global flags.
add_library(kestrane_warnings INTERFACE)
if(MSVC)
    target_compile_options(kestrane_warnings INTERFACE /W4 $<$<BOOL:${KESTRANE_WERROR}>:/WX>)
else()
    target_compile_options(kestrane_warnings INTERFACE
        -Wall -Wextra -Wpedantic -Wconversion -Wshadow
        $<$<BOOL:${KESTRANE_WERROR}>:-Werror>)
endif()
