# kestrane_options: an interface target that carries the project's warning
# and sanitizer flags to every target that links it, instead of global flags.
set(KESTRANE_SANITIZE "" CACHE STRING
    "Sanitizers to build with, as for -fsanitize= (e.g. address,undefined or thread)")
option(KESTRANE_FUZZ "Build the libFuzzer targets (clang only)" OFF)

# An instrumented build links the sanitizer run time into the executables:
# its libraries have undefined symbols by design, export the sanitizers' own
# symbols, and the run time interposes the C library itself.
if(KESTRANE_SANITIZE OR KESTRANE_FUZZ)
    set(KESTRANE_INSTRUMENTED ON)
else()
    set(KESTRANE_INSTRUMENTED OFF)
endif()

add_library(kestrane_options INTERFACE)
if(MSVC)
    target_compile_options(kestrane_options INTERFACE /W4 $<$<BOOL:${KESTRANE_WERROR}>:/WX>)
else()
    target_compile_options(kestrane_options INTERFACE
        -Wall -Wextra -Wpedantic -Wconversion -Wshadow
        $<$<BOOL:${KESTRANE_WERROR}>:-Werror>)
endif()

if(MINGW)
    # Self-contained Windows binaries: the C++ run time, libgcc and the
    # threads library are linked in, so a DLL needs only what Windows has.
    target_link_options(kestrane_options INTERFACE -static)
endif()

if(KESTRANE_SANITIZE)
    target_compile_options(kestrane_options INTERFACE
        -fsanitize=${KESTRANE_SANITIZE} -fno-sanitize-recover=all -fno-omit-frame-pointer -g)
    target_link_options(kestrane_options INTERFACE -fsanitize=${KESTRANE_SANITIZE})
endif()

if(KESTRANE_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        message(FATAL_ERROR "KESTRANE_FUZZ needs clang (libFuzzer)")
    endif()
    # Coverage instrumentation for everything; the fuzzer's main is linked
    # only into the fuzz targets.
    target_compile_options(kestrane_options INTERFACE -fsanitize=fuzzer-no-link)
endif()
