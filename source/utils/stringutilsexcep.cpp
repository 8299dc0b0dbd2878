#include "utils/stringutilsexcep.h"

StringUtilsExcep::StringUtilsExcep(const std::string& message_) : message(message_) {}

StringUtilsExcep::~StringUtilsExcep() {}

const std::string& StringUtilsExcep::what() const { return message; }
