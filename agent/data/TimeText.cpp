#include "data/TimeText.h"

#include <cstdio>
#include <ctime>

#include "data/GpsUnits.h"

namespace {

struct CCivilTime {
  int64_t year;
  int month;  // 1-12
  int day;    // 1-31
  int hour;
  int minute;
  int second;
};

// Proleptic Gregorian date of a count of seconds since 1970-01-01 00:00 UTC,
// by the era arithmetic of 400-year cycles (valid for every int64 day count
// the callers produce).
CCivilTime CivilFromUnix(int64_t unixTime) {
  int64_t days = unixTime / 86400;
  int64_t secondsOfDay = unixTime % 86400;
  if (secondsOfDay < 0) {
    secondsOfDay += 86400;
    --days;
  }
  days += 719468;  // days from 0000-03-01 to 1970-01-01
  int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  int64_t dayOfEra = days - era * 146097;
  int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  int64_t monthIndex = (5 * dayOfYear + 2) / 153;  // March is 0
  CCivilTime civil{};
  civil.day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
  civil.month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
  civil.year = yearOfEra + era * 400 + (civil.month <= 2 ? 1 : 0);
  civil.hour = static_cast<int>(secondsOfDay / 3600);
  civil.minute = static_cast<int>(secondsOfDay / 60 % 60);
  civil.second = static_cast<int>(secondsOfDay % 60);
  return civil;
}

}  // namespace

int64_t UnixTimeFromDeviceTime(uint32_t deviceTime) {
  return int64_t{deviceTime} + DEVICE_TIME_OFFSET;
}

std::string FormatUtcTime(int64_t unixTime) {
  CCivilTime civil = CivilFromUnix(unixTime);
  char text[64];
  std::snprintf(text, sizeof text, "%04lld-%02d-%02dT%02d:%02d:%02dZ", static_cast<long long>(civil.year),
                civil.month, civil.day, civil.hour, civil.minute, civil.second);
  return text;
}

std::string FormatLocalTime(int64_t unixTime, bool deviceSuffix) {
  std::time_t time = static_cast<std::time_t>(unixTime);
  std::tm local{};
  if (localtime_r(&time, &local) == nullptr) return std::string();
  int hour = local.tm_hour % 12 == 0 ? 12 : local.tm_hour % 12;
  bool afternoon = local.tm_hour >= 12;
  const char* suffix = deviceSuffix ? (afternoon ? "PM" : "AM") : (afternoon ? "P.M." : "A.M.");
  char text[96];
  std::snprintf(text, sizeof text, "%d/%d/%d %d:%02d:%02d %s", local.tm_mon + 1, local.tm_mday,
                local.tm_year + 1900, hour, local.tm_min, local.tm_sec, suffix);
  return text;
}
