// Dates kept as digit texts: "YYYYMMDD", "YYMMDD" or "YYMM" (a month without
// a day). Two-digit years expand with a fixed pivot: above 35 is 19xx, 35 and
// below 20xx. Day numbers count days of the Gregorian calendar from
// 1600-01-01 (day 0).
#pragma once

#include <string>
#include <string_view>

namespace text {

// The whole number of a text, 0 when it is not one.
int TextToInt(std::string_view s);

// "19" or "20" by the pivot applied to the first two characters.
std::string CenturyOf(std::string_view date);
// 8 characters: the first four; 4 or 6: century + the first two; else 0.
int YearOf(std::string_view date);
// 4 or 6 characters: characters 3..4; 8: characters 5..6; else 0.
int MonthOf(std::string_view date);
// 6 characters: 5..6; 8: 7..8; else (a month text too) 1.
int DayOf(std::string_view date);
bool IsLeapYear(int year);
// The length of a text of 4, 6 or 8 digits, else 0.
int DateTextLength(std::string_view s);
// A date text of a real day from 1600-01-01 on (a month text counts as its
// first day).
bool IsValidDate(std::string_view date);
// 28..31; 0 when the text is not a date text or its month is not 1..12.
int DaysInMonth(std::string_view date);
// 366 in a leap year, else 365 (also for a text that is not a date text).
int DaysInYear(std::string_view date);
// Days since 1600-01-01; 0 for years before 1600. The text is not checked: a
// month above 12 counts as 12, so that any text gives some number.
int DayNumber(std::string_view date);
// DayNumber(a) - DayNumber(b); 0 when either text is not 6 or 8 characters.
int DaysBetween(std::string_view a, std::string_view b);
// The date n days later (earlier for n < 0) in the form of the input (a
// month text gives the month of that day). The text comes back unchanged
// when it is not a date text or the result would fall before 1600-01-01 or
// after 9999-12-31.
std::string AddDays(std::string_view date, int n);
// 0 Sunday .. 6 Saturday; 7 for a text that is not a valid date.
int DayOfWeek(std::string_view date);

// The number's decimal text with leading zeros up to the width (a minus sign
// first: ZeroPadded(-5, 3) == "-05").
std::string ZeroPadded(long long number, int width);
// The text with every character other than 0..9 removed.
std::string DigitsOnly(std::string_view s);
// A 6-character date text with its century in front ("000000" becomes
// "19800101"); other texts unchanged.
std::string ExpandDate(std::string_view date);
// The text of a year and month with the last day of the month appended:
// the first of "31", "30", "29", "28" that makes a valid date, else "??".
std::string MonthEnd(std::string_view yearMonth);

}  // namespace text
