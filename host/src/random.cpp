// The host's pseudo-random numbers: SplitMix64.
#include "c4d_random.h"

void Random::Init(ULONG seed) { state_ = seed; }

Real Random::Get01() {
  state_ += 0x9E3779B97F4A7C15ull;
  uint64_t z = state_;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  z ^= z >> 31;
  // The top 53 bits as a fraction: exactly representable, always below 1.
  return static_cast<Real>(z >> 11) * (1.0 / 9007199254740992.0);
}
