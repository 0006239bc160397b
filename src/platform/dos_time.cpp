#include "platform/dos_time.h"

namespace platform {

uint32_t DosDateTimeFromTime(time_t t) {
  struct tm tm;
  if (localtime_r(&t, &tm) == nullptr) return 0;
  const int year = tm.tm_year + 1900;
  if (year < 1980 || year > 2107) return 0;
  const uint32_t date = static_cast<uint32_t>(((year - 1980) << 9) | ((tm.tm_mon + 1) << 5) | tm.tm_mday);
  const int sec = tm.tm_sec > 59 ? 59 : tm.tm_sec;  // a leap second
  const uint32_t time = static_cast<uint32_t>((tm.tm_hour << 11) | (tm.tm_min << 5) | (sec / 2));
  return (date << 16) | time;
}

bool TimeFromDosDateTime(uint32_t v, time_t& t) {
  const int day = static_cast<int>((v >> 16) & 31);
  const int month = static_cast<int>((v >> 21) & 15);
  const int year = static_cast<int>((v >> 25) & 127) + 1980;
  const int sec = static_cast<int>(v & 31) * 2;
  const int min = static_cast<int>((v >> 5) & 63);
  const int hour = static_cast<int>((v >> 11) & 31);
  if (month < 1 || month > 12 || day < 1 || hour > 23 || min > 59 || sec > 59) return false;
  struct tm tm = {};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = min;
  tm.tm_sec = sec;
  tm.tm_isdst = -1;
  time_t r = mktime(&tm);
  // mktime moves an impossible day (February 30) into the next month.
  if (r == static_cast<time_t>(-1) || tm.tm_mday != day || tm.tm_mon != month - 1) return false;
  t = r;
  return true;
}

}  // namespace platform
