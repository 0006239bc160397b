// Numbers laid out by pictures, plain number texts, rounding, and the way
// back from text to number.
//
// A picture is a counted string. Its characters:
//   #        a digit position; a leading blank of the number shows as blank
//   @        a digit position filled with "0" where the number has no digit
//   , . :    separators. The last one is the decimal point when a digit
//            position follows it; otherwise the picture has no decimals, that
//            last separator is dropped, and all the others are group marks.
//            A group mark after a blank becomes a blank.
//   +        sign position: "+" for zero and positive values, "-" for negative
//   -        sign position: blank for zero and positive values, "-" for negative
// Every other character is copied. Only the first "+" (without one, the first
// "-") is the sign position; without one a negative value puts its sign at the
// first character. The sign moves right onto the last blank before the first
// digit. A number that does not fit shows in full, right-aligned to the width
// of the picture and never cut.
//
// Real numbers are long double (the 80-bit extended type); the "64" variants
// take double. Rounding is half away from zero throughout, done on the binary
// value by scaling with powers of ten: a value whose binary form lies just
// below a half (1.005 as a double) rounds down.
#pragma once

#include <string>
#include <string_view>

namespace text {

std::string FormatNumber(std::string_view picture, long double x);
// The text's characters placed into the picture's digit positions ("#" and
// "@"), blanks once the text is used up; other picture characters stay.
std::string FormatText(std::string_view picture, std::string_view s);

// Plain text with as few decimals as needed, at most 5 ("2.5", "3", "0.12346").
std::string NumberText(long double x);
// Plain text with exactly d decimals, no leading blanks; for d < 0 the value
// is rounded to 10^-d and written without decimals.
std::string FixedText(long double x, int decimals);

// x rounded half away from zero to d decimals (d < 0: to tens, hundreds...).
long double RoundTo(long double x, int decimals);
double RoundTo64(double x, int decimals);
// x * 10^n by repeated multiplication (division for n < 0) by 10.
long double ScaleByTen(long double x, int n);

// The number written in a text: the first "," (and the first ":") is the
// decimal point, leading characters before the first "-", "." or digit are
// skipped, a "+" or "-" anywhere gives the sign ("12-" is -12); the longest
// number at the start of the rest counts, 0 when there is none.
long double TextToNumber(std::string_view s);
// The same for double, where only "," (not ":") is a decimal point.
double TextToNumber64(std::string_view s);

// A picture of the width built from "#": with decimals a "," before them,
// with sign a "-" first, with groups a "." between every three integer
// places; without decimals it ends in "." (no decimals, dots are group marks).
// MakePicture(true, 11, 0, false) == "###.###.###.".
std::string MakePicture(bool groups, int width, int decimals, bool sign);

}  // namespace text
