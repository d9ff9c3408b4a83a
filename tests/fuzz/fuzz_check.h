// What the fuzz targets share: a check that stops the run on a wrong answer.
#ifndef KESTRANE_TESTS_FUZZ_CHECK_H
#define KESTRANE_TESTS_FUZZ_CHECK_H

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                                  \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (false)

#endif
