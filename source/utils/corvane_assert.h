// corvane_assert.h: the project's own assertion.
//
// CORVANE_ASSERT(expr) stays active in every build (it does not look at
// NDEBUG): when expr is false it prints the file, the line, the function and
// the expression to stderr, in the form of the platform's assertion report,
//     file:line: function: Assertion `expr' failed.
// and stops the process with std::abort().
#pragma once

#include <cstdio>
#include <cstdlib>

namespace corvane {
namespace detail {

[[noreturn]] inline void assertionFailed(const char* expr, const char* file, int line,
                                         const char* function) noexcept {
  std::fprintf(stderr, "%s:%d: %s: Assertion `%s' failed.\n", file, line, function, expr);
  std::fflush(stderr);
  std::abort();
}

}  // namespace detail
}  // namespace corvane

#define CORVANE_ASSERT(expr)                      \
  (static_cast<bool>(expr) ? static_cast<void>(0) \
                           : ::corvane::detail::assertionFailed(#expr, __FILE__, __LINE__, __func__))
