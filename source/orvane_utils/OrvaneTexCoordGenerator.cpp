#include "orvane_utils/OrvaneTexCoordGenerator.h"

namespace Orvane {

OrvaneTexCoordGenerator::OrvaneTexCoordGenerator() = default;

OrvaneTexCoordGenerator::~OrvaneTexCoordGenerator() = default;

}  // namespace Orvane
