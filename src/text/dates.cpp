#include "text/dates.h"

#include <cstdint>

#include "text/strings.h"

namespace text {
namespace {

constexpr int kMonthLength[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

int Part(std::string_view s, std::size_t from, std::size_t count) {
  return TextToInt(s.substr(from, count));
}

// Days from 0000-03-01 (the start of the proleptic 400-year cycles counted
// from March, so that the leap day ends a year) to 1600-01-01.
constexpr int64_t kCycleStartTo1600 = 584328;

// The inverse of DayNumber: the day k (k >= 0) as year, month and day. The
// count runs through 400-year cycles of 146097 days, then centuries of 36524,
// four-year spans of 1461 and years of 365 days, with years starting in March.
void CivilFromDayNumber(int64_t k, int64_t& year, int& month, int& day) {
  const int64_t z = k + kCycleStartTo1600;
  const int64_t era = z / 146097;
  const int64_t doe = z - era * 146097;                                  // [0, 146096]
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;  // [0, 399]
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);           // [0, 365]
  const int64_t mp = (5 * doy + 2) / 153;                                // March = 0
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = yoe + era * 400 + (month <= 2 ? 1 : 0);
}

}  // namespace

int TextToInt(std::string_view s) { return IntOrZero(s); }

std::string CenturyOf(std::string_view date) {
  return Part(date, 0, 2) > 35 ? "19" : "20";
}

int YearOf(std::string_view date) {
  switch (date.size()) {
    case 8:
      return Part(date, 0, 4);
    case 4:
    case 6:
      return TextToInt(CenturyOf(date) + std::string(date.substr(0, 2)));
    default:
      return 0;
  }
}

int MonthOf(std::string_view date) {
  switch (date.size()) {
    case 4:
    case 6:
      return Part(date, 2, 2);
    case 8:
      return Part(date, 4, 2);
    default:
      return 0;
  }
}

int DayOf(std::string_view date) {
  switch (date.size()) {
    case 6:
      return Part(date, 4, 2);
    case 8:
      return Part(date, 6, 2);
    default:
      return 1;
  }
}

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int DateTextLength(std::string_view s) {
  if (s.size() != 4 && s.size() != 6 && s.size() != 8) return 0;
  for (char c : s)
    if (c < '0' || c > '9') return 0;
  return static_cast<int>(s.size());
}

bool IsValidDate(std::string_view date) {
  if (DateTextLength(date) == 0) return false;
  const int year = YearOf(date);
  const int month = MonthOf(date);
  const int day = DayOf(date);
  if (year < 1600 || month < 1 || month > 12) return false;
  int last = kMonthLength[month - 1];
  if (month == 2 && IsLeapYear(year)) last = 29;
  return day >= 1 && day <= last;
}

int DaysInMonth(std::string_view date) {
  if (DateTextLength(date) == 0) return 0;
  const int month = MonthOf(date);
  if (month < 1 || month > 12) return 0;
  if (month == 2 && IsLeapYear(YearOf(date))) return 29;
  return kMonthLength[month - 1];
}

int DaysInYear(std::string_view date) {
  return DateTextLength(date) != 0 && IsLeapYear(YearOf(date)) ? 366 : 365;
}

int DayNumber(std::string_view date) {
  const int y = YearOf(date);
  const int m = MonthOf(date);
  const int d = DayOf(date);
  if (y < 1600) return 0;
  int n = 365 * y - 584000;
  if (y > 1600) n += 1;  // the leap day of 1600
  const int b = y - 1601;
  n += b / 4 - b / 100 + b / 400;
  for (int i = 1; i < m && i <= 12; ++i) n += kMonthLength[i - 1];
  if (m > 2 && IsLeapYear(y)) n += 1;
  return n + d - 1;
}

int DaysBetween(std::string_view a, std::string_view b) {
  auto expanded = [](std::string_view t) {
    return t.size() == 6 ? CenturyOf(t) + std::string(t) : std::string(t);
  };
  if ((a.size() != 6 && a.size() != 8) || (b.size() != 6 && b.size() != 8)) return 0;
  return DayNumber(expanded(a)) - DayNumber(expanded(b));
}

std::string AddDays(std::string_view date, int n) {
  const int length = DateTextLength(date);
  if (length == 0) return std::string(date);
  const int64_t k = int64_t{DayNumber(date)} + n;
  if (k < 0) return std::string(date);
  int64_t year = 0;
  int month = 0, day = 0;
  CivilFromDayNumber(k, year, month, day);
  if (year > 9999) return std::string(date);
  const std::string full = ZeroPadded(year, 4) + ZeroPadded(month, 2) + ZeroPadded(day, 2);
  switch (length) {
    case 8:
      return full;
    case 6:
      return full.substr(2, 6);
    default:
      return full.substr(2, 4);
  }
}

int DayOfWeek(std::string_view date) {
  if (!IsValidDate(date)) return 7;
  const int r = DayNumber(date) % 7;
  return r == 0 ? 6 : r - 1;  // 1600-01-01 was a Saturday
}

std::string ZeroPadded(long long number, int width) {
  const bool negative = number < 0;
  std::string digits = std::to_string(number);
  if (negative) digits.erase(0, 1);
  const int w = width > static_cast<int>(kMaxText) ? static_cast<int>(kMaxText) : width;
  const int zeros = w - static_cast<int>(digits.size()) - (negative ? 1 : 0);
  if (zeros > 0) digits.insert(0, static_cast<std::size_t>(zeros), '0');
  return negative ? "-" + digits : digits;
}

std::string DigitsOnly(std::string_view s) {
  std::string out;
  for (char c : s)
    if (c >= '0' && c <= '9') out += c;
  return CutToCapacity(std::move(out));
}

std::string ExpandDate(std::string_view date) {
  if (date.size() != 6) return std::string(date);
  if (date == "000000") return "19800101";
  return CenturyOf(date) + std::string(date);
}

std::string MonthEnd(std::string_view yearMonth) {
  const std::string base(yearMonth);
  for (const char* day : {"31", "30", "29", "28"})
    if (IsValidDate(base + day)) return base + day;
  return CutToCapacity(base + "??");
}

}  // namespace text
