// The host's pseudo-random numbers.
#pragma once

#include <cstdint>

#include "c4d_types.h"

/// A pseudo-random generator: the same seed gives the same sequence.
class Random {
 public:
  Random() { Init(0); }
  /// Starts the sequence of `seed`.
  void Init(ULONG seed);
  /// The next number in [0, 1).
  Real Get01();
  /// The next number in [-1, 1).
  Real Get11() { return Get01() * 2.0 - 1.0; }

 private:
  uint64_t state_ = 0;
};
