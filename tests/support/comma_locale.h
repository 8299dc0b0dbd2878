// Switches the process's C locale to one whose decimal point is a comma, for the tests that prove
// number text does not follow the locale.
#pragma once

#include <clocale>
#include <string>

/// While alive, the C locale (LC_ALL) is one with a decimal comma, if one is installed; the old
/// locale comes back with `Restore` or the destructor.
class CommaLocale {
 public:
  CommaLocale() : saved_(std::setlocale(LC_ALL, nullptr)) {
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8", "fr_FR.utf8"}) {
      if (std::setlocale(LC_ALL, name) && std::string(std::localeconv()->decimal_point) == ",") {
        active_ = true;
        return;
      }
    }
    Restore();
  }
  ~CommaLocale() { Restore(); }
  CommaLocale(const CommaLocale&) = delete;
  CommaLocale& operator=(const CommaLocale&) = delete;

  /// True when a comma locale is in force.
  bool active() const { return active_; }
  /// Puts the old locale back.
  void Restore() {
    std::setlocale(LC_ALL, saved_.c_str());
    active_ = false;
  }

 private:
  std::string saved_;
  bool active_ = false;
};
