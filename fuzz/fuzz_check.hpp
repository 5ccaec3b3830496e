// A property check for the fuzz targets: a broken property must stop the run like a
// crash does, with a message saying which one, so libFuzzer keeps the input.
#pragma once

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                      \
  do {                                                                             \
    if (!(condition)) {                                                            \
      std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__,     \
                   #condition);                                                    \
      std::abort();                                                                \
    }                                                                              \
  } while (false)
