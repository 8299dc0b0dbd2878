#include "orvane_utils/OrvaneSceneParseUtilsExcep.h"

namespace Orvane {

OrvaneSceneParseUtilsExcep::OrvaneSceneParseUtilsExcep(const std::string& message_) : message(message_) {}

OrvaneSceneParseUtilsExcep::~OrvaneSceneParseUtilsExcep() {}

const std::string& OrvaneSceneParseUtilsExcep::what() const { return message; }

}  // namespace Orvane
