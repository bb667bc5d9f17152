// Proleptic Gregorian calendar conversion of FILETIME values.
#include "rom/file_time.h"

#include <charconv>

namespace rom {

namespace {

constexpr uint64_t kTicksPerSecond = 10000000;
constexpr int64_t kSecondsPerDay = 86400;
// The conversion counts days from 1 January 1970 (civil_from_days of H. Hinnant); 1 January
// 1601, where FILETIME starts, is day -134774.
constexpr int64_t kDays1601To1970 = 134774;

// Civil date of a day count relative to 1970-01-01.
void CivilFromDays(int64_t z, int64_t& y, int& m, int& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  y = yoe + era * 400;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  if (m <= 2) ++y;
}

}  // namespace

CalendarTime FileTimeToCalendar(uint64_t filetime) {
  CalendarTime t;
  if (filetime >> 63) return t;
  const auto seconds = static_cast<int64_t>(filetime / kTicksPerSecond);
  const int64_t days = seconds / kSecondsPerDay - kDays1601To1970;
  const int64_t rest = seconds % kSecondsPerDay;
  CivilFromDays(days, t.year, t.month, t.day);
  t.hour = static_cast<int>(rest / 3600);
  t.minute = static_cast<int>(rest / 60 % 60);
  t.second = static_cast<int>(rest % 60);
  return t;
}

void AppendFileTime(std::string& out, uint32_t low, uint32_t high) {
  const CalendarTime t = FileTimeToCalendar((static_cast<uint64_t>(high) << 32) | low);
  const int64_t numbers[] = {t.day, t.month, t.year, t.hour, t.minute, t.second};
  const char separators[] = {'.', '.', ' ', ':', ':'};
  for (size_t i = 0; i < 6; ++i) {
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, numbers[i]);
    out.append(buf, static_cast<size_t>(r.ptr - buf));
    if (i < 5) out.push_back(separators[i]);
  }
}

std::string FormatFileTime(uint32_t low, uint32_t high) {
  std::string out;
  AppendFileTime(out, low, high);
  return out;
}

}  // namespace rom
