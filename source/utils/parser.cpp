#include "utils/parser.h"

#include <cfloat>
#include <climits>
#include <cmath>
#include <limits>

namespace {

inline bool isDigit(char c) { return c >= '0' && c <= '9'; }

inline bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Exponent digits beyond this value cannot change the result (10^100000 is far
// outside the double range either way), so the exponent saturates here.
const int kMaxExponent = 100000;

// Above this exponent a single power of ten leaves the double range although
// the product with the mantissa may not.
const int kSplitExponent = 300;

}  // namespace

Parser::Parser(const char* text_, size_t textsize_) : text(text_), currentpos(0), textsize(textsize_) {}

Parser::~Parser() {}

bool Parser::parseDouble(double& result_out) {
  if (eof()) return false;

  double sign = 1.0;
  if (text[currentpos] == '+' || text[currentpos] == '-') {
    sign = text[currentpos] == '-' ? -1.0 : 1.0;
    ++currentpos;
    if (eof()) return false;
  }

  bool digit_read = false;
  double mantissa = 0.0;
  while (!eof() && isDigit(text[currentpos])) {
    mantissa = mantissa * 10.0 + (double)(text[currentpos] - '0');
    digit_read = true;
    ++currentpos;
  }
  if (eof()) {
    result_out = sign * mantissa;
    return digit_read && std::isfinite(result_out);
  }

  if (text[currentpos] == '.') {
    ++currentpos;
    if (eof()) {
      result_out = sign * mantissa;
      return digit_read && std::isfinite(result_out);
    }
    double weight = 0.1;
    while (!eof() && isDigit(text[currentpos])) {
      mantissa = mantissa + (double)(text[currentpos] - '0') * weight;
      weight = weight * 0.1;
      digit_read = true;
      ++currentpos;
    }
    if (eof()) {
      result_out = sign * mantissa;
      return digit_read && std::isfinite(result_out);
    }
  }

  const char marker = text[currentpos];
  if (marker != 'e' && marker != 'E' && marker != 'd' && marker != 'D') {
    result_out = sign * mantissa;
    return digit_read && std::isfinite(result_out);
  }
  ++currentpos;
  if (eof()) return false;

  int exponent_sign = 1;
  if (text[currentpos] == '+' || text[currentpos] == '-') {
    exponent_sign = text[currentpos] == '-' ? -1 : 1;
    ++currentpos;
    if (eof()) return false;
  }

  int exponent = 0;
  while (!eof() && isDigit(text[currentpos])) {
    if (exponent < kMaxExponent) exponent = exponent * 10 + (text[currentpos] - '0');
    ++currentpos;
  }
  if (exponent > kMaxExponent) exponent = kMaxExponent;

  if (mantissa == 0.0) {
    // Avoids 0 * infinity for a zero with a huge exponent.
    result_out = sign * 0.0;
  } else if (exponent <= kSplitExponent) {
    result_out = mantissa * (sign * std::pow(10.0, (double)(exponent_sign * exponent)));
  } else {
    const int half = exponent / 2;
    result_out = mantissa * (sign * std::pow(10.0, (double)(exponent_sign * half))) *
                 std::pow(10.0, (double)(exponent_sign * (exponent - half)));
  }
  return digit_read && std::isfinite(result_out);
}

bool Parser::parseFloat(float& result_out) {
  double d = 0.0;
  if (!parseDouble(d) || std::fabs(d) > (double)FLT_MAX) return false;
  result_out = (float)d;
  return true;
}

bool Parser::parseInt(int& result_out) {
  result_out = 0;
  if (eof()) return false;

  bool negative = false;
  if (text[currentpos] == '+' || text[currentpos] == '-') {
    negative = text[currentpos] == '-';
    ++currentpos;
    if (eof()) return false;
  }
  if (!isDigit(text[currentpos])) return false;

  // The magnitude of INT_MIN is one more than INT_MAX.
  const long long limit = negative ? -(long long)INT_MIN : (long long)INT_MAX;
  long long value = 0;
  bool overflow = false;
  while (!eof() && isDigit(text[currentpos])) {
    if (!overflow) {
      value = value * 10 + (text[currentpos] - '0');
      overflow = value > limit;
    }
    ++currentpos;
  }
  if (overflow) return false;

  result_out = (int)(negative ? -value : value);
  return true;
}

bool Parser::parseString(const std::string& s) {
  const size_t start = currentpos;
  for (size_t i = 0; i < s.size(); ++i) {
    if (eof() || text[currentpos] != s[i]) {
      currentpos = start;
      return false;
    }
    ++currentpos;
  }
  return true;
}

bool Parser::fractionalNumberNext() {
  size_t pos = currentpos;
  if (pos >= textsize) return false;
  if (text[pos] == '+' || text[pos] == '-') ++pos;
  while (pos < textsize && isDigit(text[pos])) ++pos;
  return pos < textsize && text[pos] == '.';
}

bool Parser::parseAlphaToken(std::string& token_out) {
  token_out.clear();
  if (eof() || !isLetter(text[currentpos])) return false;
  while (!eof() && isLetter(text[currentpos])) token_out.push_back(text[currentpos++]);
  return true;
}

bool Parser::parseNonWSToken(std::string& token_out) {
  token_out.clear();
  if (eof() || isWhitespace(text[currentpos])) return false;
  while (!eof() && !isWhitespace(text[currentpos])) token_out.push_back(text[currentpos++]);
  return true;
}

void Parser::doUnitTests() {}
