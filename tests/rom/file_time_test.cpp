// Tests of the FILETIME calendar conversion.
#include "rom/file_time.h"

#include <gtest/gtest.h>

namespace rom {
namespace {

// The inverse conversion, by H. Hinnant's days_from_civil, to check the library against.
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2 ? 1 : 0;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

uint64_t CalendarToFileTime(const CalendarTime& t) {
  const int64_t days = DaysFromCivil(t.year, t.month, t.day) + 134774;  // 1601 to 1970
  const int64_t seconds = days * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
  return static_cast<uint64_t>(seconds) * 10000000;
}

std::string Format(uint64_t ft) {
  return FormatFileTime(static_cast<uint32_t>(ft), static_cast<uint32_t>(ft >> 32));
}

TEST(FormatFileTime, ShowsNumbersWithoutLeadingZeros) {
  EXPECT_EQ(FormatFileTime(0x396A5580, 0x01C40291), "5.3.2004 9:7:3");
  EXPECT_EQ(FormatFileTime(0x24D4A980, 0x01BF53EB), "31.12.1999 23:59:59");
}

TEST(FormatFileTime, CountsFrom1601AndKnowsLeapDays) {
  EXPECT_EQ(Format(0), "1.1.1601 0:0:0");
  EXPECT_EQ(Format(0x01BF8247EBCC8000ull), "29.2.2000 0:0:0");
  // Sub-second ticks are dropped, not rounded.
  EXPECT_EQ(Format(0x01BF53EB24D4A980ull + 9999999), "31.12.1999 23:59:59");
  // 1900 is no leap year: the day after 28.2.1900 is 1.3.1900.
  const uint64_t feb28 = CalendarToFileTime({1900, 2, 28, 0, 0, 0});
  EXPECT_EQ(Format(feb28 + 86400ull * 10000000), "1.3.1900 0:0:0");
}

TEST(FormatFileTime, RefusedValueGivesZeros) {
  EXPECT_EQ(FormatFileTime(0, 0x80000000), "0.0.0 0:0:0");
  EXPECT_EQ(FormatFileTime(0xFFFFFFFF, 0xFFFFFFFF), "0.0.0 0:0:0");
  // The largest accepted value lies in the year 30828.
  EXPECT_EQ(FileTimeToCalendar(0x7FFFFFFFFFFFFFFFull).year, 30828);
}

TEST(CalendarToFileTime, InvertsTheConversion) {
  for (uint64_t ft : {0ull, 127229512230000000ull, 125962560000000000ull, 0x7FFFFFFF00000000ull}) {
    const CalendarTime t = FileTimeToCalendar(ft);
    EXPECT_EQ(CalendarToFileTime(t), ft / 10000000 * 10000000) << ft;
  }
}

}  // namespace
}  // namespace rom
