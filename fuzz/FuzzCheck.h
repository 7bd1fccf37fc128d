#pragma once

// A property every input must keep; a broken one ends the run with the property's text, which
// libFuzzer reports together with the input.

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                    \
  do {                                                           \
    if (!(condition)) {                                          \
      std::fprintf(stderr, "property broken: %s\n", #condition); \
      std::abort();                                              \
    }                                                            \
  } while (false)
