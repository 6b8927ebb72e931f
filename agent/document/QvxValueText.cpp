#include "document/QvxValueText.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <typeinfo>

#include "data/GpsDataFloat.h"
#include "data/GpsDataIntPair.h"
#include "data/GpsDataInteger.h"

namespace {

// Latest instant whose year still has four digits: 9999-12-31T23:59:59Z.
constexpr int64_t kLastFourDigitYear = 253402300799;

// printf's "%.Nf": to_chars with a precision is defined to give the same text.
char* Fixed(double value, int precision, char* out, char* end) {
  if (!std::isfinite(value)) return nullptr;
  const std::to_chars_result result = std::to_chars(out, end, value, std::chars_format::fixed, precision);
  return result.ec == std::errc() ? result.ptr : nullptr;
}

template <class T>
char* Decimal(T value, char* out, char* end) {
  const std::to_chars_result result = std::to_chars(out, end, value);
  return result.ec == std::errc() ? result.ptr : nullptr;
}

char* TwoDigits(int value, char* out) {
  out[0] = static_cast<char>('0' + value / 10);
  out[1] = static_cast<char>('0' + value % 10);
  return out + 2;
}

// "2006-05-01T13:45:00Z" for instants from 1970 up to the year 9999; the
// Gregorian date of the day count follows the usual era arithmetic (eras of
// 400 years counted from 0000-03-01).
char* UtcText(int64_t unixTime, char* out) {
  if (unixTime < 0 || unixTime > kLastFourDigitYear) return nullptr;
  const int64_t secondsOfDay = unixTime % 86400;
  const int64_t days = unixTime / 86400 + 719468;  // days since 0000-03-01
  const int64_t era = days / 146097;
  const int64_t dayOfEra = days - era * 146097;
  const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t monthFromMarch = (5 * dayOfYear + 2) / 153;
  const int day = static_cast<int>(dayOfYear - (153 * monthFromMarch + 2) / 5 + 1);
  const int month = static_cast<int>(monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9);
  const int year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
  out = TwoDigits(year / 100, out);
  out = TwoDigits(year % 100, out);
  *out++ = '-';
  out = TwoDigits(month, out);
  *out++ = '-';
  out = TwoDigits(day, out);
  *out++ = 'T';
  out = TwoDigits(static_cast<int>(secondsOfDay / 3600), out);
  *out++ = ':';
  out = TwoDigits(static_cast<int>(secondsOfDay / 60 % 60), out);
  *out++ = ':';
  out = TwoDigits(static_cast<int>(secondsOfDay % 60), out);
  *out++ = 'Z';
  return out;
}

char* IntegerText(const CGpsDataInteger& value, int unit, char* out, char* end) {
  const int stored = value.GetUnit();
  if (unit == stored && unit != UNIT_UNIXTIME) {
    // A device time is an unsigned count.
    return stored == UNIT_DEVICETIME ? Decimal(static_cast<uint32_t>(value.GetValue()), out, end)
                                     : Decimal(value.GetValue(), out, end);
  }
  if (unit != UNIT_UNIXTIME) return nullptr;
  if (stored == UNIT_DEVICETIME) {
    return UtcText(static_cast<int64_t>(static_cast<uint32_t>(value.GetValue())) + DEVICE_TIME_OFFSET, out);
  }
  return stored == UNIT_UNIXTIME ? UtcText(value.GetValue(), out) : nullptr;
}

char* IntPairText(const CGpsDataIntPair& value, int unit, char* out, char* end) {
  if (unit == value.GetUnit()) {
    out = Decimal(value.GetFirst(), out, end);
    if (out == nullptr || out == end) return nullptr;
    *out++ = ' ';
    return Decimal(value.GetSecond(), out, end);
  }
  if (value.GetUnit() != UNIT_SEMICIRCLES || unit != UNIT_DEGREES) return nullptr;
  out = Fixed(value.GetFirst() * SEMICIRCLES_TO_DEGREES, 6, out, end);
  if (out == nullptr || out == end) return nullptr;
  *out++ = ' ';
  return Fixed(value.GetSecond() * SEMICIRCLES_TO_DEGREES, 6, out, end);
}

}  // namespace

size_t FormatQvxValueText(const CGpsDataValue& value, int unit, char* buffer) {
  char* const end = buffer + kQvxValueTextSize;
  char* last = nullptr;
  // Only these exact classes: a subclass might print differently.
  const std::type_info& type = typeid(value);
  if (type == typeid(CGpsDataInteger)) {
    last = IntegerText(static_cast<const CGpsDataInteger&>(value), unit, buffer, end);
  } else if (type == typeid(CGpsDataFloat)) {
    const auto& number = static_cast<const CGpsDataFloat&>(value);
    if (unit == number.GetUnit()) last = Fixed(static_cast<double>(number.GetValue()), 1, buffer, end);
  } else if (type == typeid(CGpsDataIntPair)) {
    last = IntPairText(static_cast<const CGpsDataIntPair&>(value), unit, buffer, end);
  }
  return last != nullptr ? static_cast<size_t>(last - buffer) : 0;
}
