// Whole numbers and forint amounts in Hungarian words, written as one word
// the way amounts are spelled out on bookkeeping documents:
//   1234567 -> "Egymilliókettöszázharmincnégyezer-ötszázhatvanhét"
// (the suite spells kettő as "kettö"). Groups of three digits take "ezer",
// "millió" and "milliárd"; above 2000 a hyphen comes before the last group
// when that group is not zero; zero is "nulla". Values of 10^12 or more get
// no group word beyond "milliárd".
#pragma once

#include <string>

namespace text {

// The integer part of |x| in words, its first letter upper-cased when it is
// an ASCII letter, "MINUSZ " in front for a negative value.
std::string NumberInWords(long double x);
// The same followed by " Ft" and, when there is a fraction, the fillér
// (rounded to two digits) in words and " Fillér": 12.5 gives
// "Tizenkettö Ftötven Fillér".
std::string AmountInWords(long double x);

}  // namespace text
