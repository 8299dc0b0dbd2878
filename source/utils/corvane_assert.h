#pragma once

#include <cstdio>
#include <cstdlib>

/// Checks a programming precondition in every build type. On failure it prints
/// the file, the line and the expression text to stderr and aborts the process.
#define CORVANE_ASSERT(expr)                                                          \
  do {                                                                                \
    if (!(expr)) {                                                                    \
      std::fprintf(stderr, "%s:%d: assertion failed: %s\n", __FILE__, __LINE__, #expr); \
      std::fflush(stderr);                                                            \
      std::abort();                                                                   \
    }                                                                                 \
  } while (0)
