#pragma once

#include <string>

/// The error thrown by the guarded text-to-number conversions (stringToInt,
/// stringToDouble, stringToFloat). Thrown by value, caught by const reference;
/// deliberately not derived from std::exception.
class StringUtilsExcep {
 public:
  /// Creates the error with its message text.
  explicit StringUtilsExcep(const std::string& message);

  /// Releases the message.
  ~StringUtilsExcep();

  /// The message text, e.g. "Failed to convert 'x' to an int.".
  const std::string& what() const;

 private:
  std::string message;
};
