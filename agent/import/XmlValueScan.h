// The numbers and times of activity files, read the way the readers' scan
// formats read them ("%f", "%d", the time forms), without the cost of a
// formatted scan per value: a file of a million points holds four million.
#pragma once

#include <cstdint>
#include <string_view>

// "%f": leading white space skipped, then a real number in the C library's
// grammar (decimal, hexadecimal, inf, nan). Trailing text is ignored. A value
// too large for a float reads as infinity, as the scan would give it.
bool ScanFloat(std::string_view text, float& value);

// The same into a double, for coordinates kept at a receiver's resolution.
bool ScanDouble(std::string_view text, double& value);

// "%d": leading white space skipped, an optional sign and decimal digits;
// trailing text is ignored. A number that does not fit an int is unreadable.
bool ScanInt(std::string_view text, int& value);

// How a time without a zone reads.
enum class EZonelessTime {
  Invalid,      // only "Z" or an offset make a time
  UtcAtEnd,     // nothing (or only white space) after the seconds: UTC
  UtcAnything,  // whatever follows the seconds, unless "Z" or an offset: UTC
};

// An ISO-8601 date and time, "YYYY-MM-DDThh:mm:ss", the seconds possibly with
// a fraction (truncated), followed by "Z", by an offset "+hh:mm" or "-hh:mm",
// or by nothing (as zoneless says). Fields out of their range carry into the
// next one. The result is seconds since 1970-01-01 00:00 UTC, whatever the
// machine's time zone. False when the text has none of these forms.
bool ParseXmlTime(std::string_view text, EZonelessTime zoneless, int64_t& unixTime);
