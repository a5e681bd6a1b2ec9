#pragma once

// A property a fuzz target insists on. A broken one ends the run with the
// condition's text, which libFuzzer (or the replay program) reports as a
// crash and keeps the input of.

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                                                          \
    do {                                                                                                               \
        if (!(condition)) {                                                                                            \
            std::fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", #condition, __FILE__, __LINE__);                  \
            std::abort();                                                                                              \
        }                                                                                                              \
    } while (false)
