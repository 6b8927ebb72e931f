// The UTC text of the documents and the local text of the pages.
#include <gtest/gtest.h>

#include <ctime>

#include "data/TimeText.h"
#include "support/TestEnv.h"

namespace {

TEST(TimeTextTest, UtcText) {
  const struct {
    const char* legend;
    int64_t unixTime;
    const char* expected;
  } cases[] = {
      {"Unix epoch", 0, "1970-01-01T00:00:00Z"},
      {"device epoch", 631065600, "1989-12-31T00:00:00Z"},
      {"an afternoon", 1146491100, "2006-05-01T13:45:00Z"},
      {"leap day", 951782400, "2000-02-29T00:00:00Z"},
      {"last second of a year", 1167609599, "2006-12-31T23:59:59Z"},
      {"past 2038", 4294967295LL + 631065600, "2126-02-06T06:28:15Z"},
      {"before 1970", -1, "1969-12-31T23:59:59Z"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.legend);
    EXPECT_EQ(FormatUtcTime(c.unixTime), c.expected);
  }
}

TEST(TimeTextTest, LocalTextTwelveHourClock) {
  {
    // Five hours behind UTC, no daylight saving.
    qvtest::CScopedEnv tz("TZ", std::string("EST5"));
    tzset();
    const int64_t noonUtc = 1146484800;  // 2006-05-01T12:00:00Z
    const struct {
      const char* legend;
      int64_t unixTime;
      bool deviceSuffix;
      const char* expected;
    } cases[] = {
        {"local hour 0 is 12 AM", noonUtc - 7 * 3600, true, "5/1/2006 12:00:00 AM"},
        {"local hour 0, Unix-time suffix", noonUtc - 7 * 3600, false, "5/1/2006 12:00:00 A.M."},
        {"local hour 11 stays", noonUtc + 4 * 3600 + 59 * 60 + 1, true, "5/1/2006 11:59:01 AM"},
        {"local hour 12 is PM", noonUtc + 5 * 3600 + 5 * 60 + 9, true, "5/1/2006 12:05:09 PM"},
        {"local hour 12, Unix-time suffix", noonUtc + 5 * 3600, false, "5/1/2006 12:00:00 P.M."},
        {"local hour 13 is 1 PM", noonUtc + 6 * 3600 + 30 * 60, true, "5/1/2006 1:30:00 PM"},
        {"local hour 23 on the previous day", noonUtc - 8 * 3600, false, "4/30/2006 11:00:00 P.M."},
    };
    for (const auto& c : cases) {
      SCOPED_TRACE(c.legend);
      EXPECT_EQ(FormatLocalTime(c.unixTime, c.deviceSuffix), c.expected);
    }
  }
  tzset();
}

TEST(TimeTextTest, DeviceTimeToUnixTime) {
  EXPECT_EQ(UnixTimeFromDeviceTime(0), 631065600);
  EXPECT_EQ(UnixTimeFromDeviceTime(0xFFFFFFFFu), 4294967295LL + 631065600);
}

}  // namespace
