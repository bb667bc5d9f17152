// FILETIME to calendar text, day.month.year hour:minute:second, without any platform call.
//
// A FILETIME counts 100-nanosecond intervals since 1 January 1601, UTC. The tools show it
// without conversion to local time and without leading zeros ("5.3.2004 9:7:3").
#ifndef TARNWICK_ROM_FILE_TIME_H_
#define TARNWICK_ROM_FILE_TIME_H_

#include <cstdint>
#include <string>

namespace rom {

struct CalendarTime {
  int64_t year = 0;
  int month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// Converts a FILETIME. Values with the top bit set are refused, as the platform's conversion
// refuses them: the result is then all zeros.
[[nodiscard]] CalendarTime FileTimeToCalendar(uint64_t filetime);

// "d.m.yyyy h:m:s" of the FILETIME given as its low and high dword; "0.0.0 0:0:0" for a
// value the conversion refuses.
[[nodiscard]] std::string FormatFileTime(uint32_t low, uint32_t high);

// Appends FormatFileTime's text to `out`.
void AppendFileTime(std::string& out, uint32_t low, uint32_t high);

}  // namespace rom

#endif  // TARNWICK_ROM_FILE_TIME_H_
