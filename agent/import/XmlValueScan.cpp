#include "import/XmlValueScan.h"

#include <charconv>
#include <cstdlib>
#include <string>

namespace {

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

std::string_view SkipSpace(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  return text.substr(i);
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// The slow path, for the forms the fast one leaves out (hexadecimal, values
// out of a float's range): the C library itself, on a terminated copy.
bool ScanLibrary(std::string_view text, float& value) {
  const std::string copy(text.substr(0, 64));
  char* end = nullptr;
  const float parsed = std::strtof(copy.c_str(), &end);
  if (end == copy.c_str()) return false;
  value = parsed;
  return true;
}

bool ScanLibrary(std::string_view text, double& value) {
  const std::string copy(text.substr(0, 64));
  char* end = nullptr;
  const double parsed = std::strtod(copy.c_str(), &end);
  if (end == copy.c_str()) return false;
  value = parsed;
  return true;
}

template <class T>
bool ScanReal(std::string_view text, T& value) {
  text = SkipSpace(text);
  std::string_view number = text;
  if (!number.empty() && number.front() == '+') {
    number.remove_prefix(1);
    if (!number.empty() && (number.front() == '+' || number.front() == '-')) return false;
  }
  T parsed = 0;
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), parsed);
  const bool hexadecimal = end < number.data() + number.size() && (*end == 'x' || *end == 'X');
  if (error != std::errc() || hexadecimal) return ScanLibrary(text, value);
  value = parsed;
  return true;
}

// Up to width decimal digits after optional white space; false without any.
bool TakeDigits(std::string_view& text, size_t width, int64_t& value) {
  text = SkipSpace(text);
  size_t n = 0;
  value = 0;
  while (n < width && n < text.size() && IsDigit(text[n])) {
    value = value * 10 + (text[n] - '0');
    ++n;
  }
  if (n == 0) return false;
  text.remove_prefix(n);
  return true;
}

bool TakeChar(std::string_view& text, char expected) {
  if (text.empty() || text.front() != expected) return false;
  text.remove_prefix(1);
  return true;
}

// Days from 1970-01-01 to the given date of the proleptic Gregorian calendar;
// month is 1-12, day may run past the month's end.
int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day) {
  year -= month <= 2 ? 1 : 0;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t yearOfEra = year - era * 400;
  const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

}  // namespace

bool ScanFloat(std::string_view text, float& value) {
  return ScanReal(text, value);
}

bool ScanDouble(std::string_view text, double& value) {
  return ScanReal(text, value);
}

bool ScanInt(std::string_view text, int& value) {
  text = SkipSpace(text);
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
    if (!text.empty() && text.front() == '-') return false;
  }
  int parsed = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
  if (error != std::errc()) return false;
  value = parsed;
  return true;
}

bool ParseXmlTime(std::string_view text, EZonelessTime zoneless, int64_t& unixTime) {
  int64_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  if (!TakeDigits(text, 4, year) || !TakeChar(text, '-') || !TakeDigits(text, 2, month) ||
      !TakeChar(text, '-') || !TakeDigits(text, 2, day) || !TakeChar(text, 'T') ||
      !TakeDigits(text, 2, hour) || !TakeChar(text, ':') || !TakeDigits(text, 2, minute) ||
      !TakeChar(text, ':')) {
    return false;
  }
  // The seconds as a real number, truncated to whole seconds.
  float seconds = 0;
  {
    std::string_view rest = SkipSpace(text);
    size_t n = 0;
    while (n < rest.size() && (IsDigit(rest[n]) || rest[n] == '.')) ++n;
    if (n == 0 || !ScanFloat(rest.substr(0, n), seconds) || !(seconds >= 0) || seconds > 1e6f) return false;
    second = static_cast<int64_t>(seconds);
    text = rest.substr(n);
  }
  int64_t offset = 0;
  if (!text.empty() && text.front() == 'Z') {
    // UTC
  } else if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    const int64_t sign = text.front() == '+' ? 1 : -1;
    text.remove_prefix(1);
    int64_t offsetHours = 0, offsetMinutes = 0;
    if (TakeDigits(text, 2, offsetHours) && TakeChar(text, ':') && TakeDigits(text, 2, offsetMinutes)) {
      offset = sign * (offsetHours * 3600 + offsetMinutes * 60);
    } else if (zoneless != EZonelessTime::UtcAnything) {
      return false;
    }
  } else if (zoneless == EZonelessTime::Invalid ||
             (zoneless == EZonelessTime::UtcAtEnd && !SkipSpace(text).empty())) {
    return false;
  }
  // Months out of range carry into the year, everything else into the day
  // count, as the C library's normalisation does.
  const int64_t monthIndex = month - 1;
  const int64_t yearCarry = monthIndex >= 0 ? monthIndex / 12 : -((11 - monthIndex) / 12);
  const int64_t days = DaysFromCivil(year + yearCarry, monthIndex - yearCarry * 12 + 1, 1) + (day - 1);
  unixTime = days * 86400 + hour * 3600 + minute * 60 + second - offset;
  return true;
}
