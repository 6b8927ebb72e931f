// Device time and the two texts in which times are printed.
#pragma once

#include <cstdint>
#include <string>

// Unix time of an unsigned device time count.
int64_t UnixTimeFromDeviceTime(uint32_t deviceTime);

// "2006-05-01T13:45:00Z": the form of every time in the exchange document and
// the diagnostics file.
std::string FormatUtcTime(int64_t unixTime);

// "5/1/2006 1:45:00 PM" in the local time zone on the 12-hour clock. Times that
// were stored as Unix times print with the suffixes "A.M."/"P.M.", device times
// with "AM"/"PM"; deviceSuffix picks the second family. Empty when the time
// cannot be brought to local time.
std::string FormatLocalTime(int64_t unixTime, bool deviceSuffix);
