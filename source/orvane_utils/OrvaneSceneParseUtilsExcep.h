// OrvaneSceneParseUtilsExcep: the one error raised by the material XML
// readers (OrvaneSceneParseUtils) on malformed input.
//
// Its message is the reader's own text followed by the location suffix of the
// element concerned ("  (In element 'name', around line R, column C)"), with
// two exceptions that carry no suffix. Thrown by value, caught by reference;
// deliberately not derived from std::exception.
#pragma once

#include <string>

namespace Orvane {

class OrvaneSceneParseUtilsExcep {
 public:
  // An error with the given message text.
  explicit OrvaneSceneParseUtilsExcep(const std::string& message);
  // Releases the message.
  ~OrvaneSceneParseUtilsExcep();

  // The whole message, location suffix included.
  const std::string& what() const;

 private:
  std::string message;
};

}  // namespace Orvane
