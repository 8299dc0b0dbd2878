#include "orvane_utils/OrvaneSpectrum.h"

namespace Orvane {

OrvaneSpectrum::OrvaneSpectrum() = default;

OrvaneSpectrum::~OrvaneSpectrum() = default;

}  // namespace Orvane
