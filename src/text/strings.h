// String helpers and the OEM/ANSI case conversion of Hungarian text.
//
// Texts are counted strings of code page 852 (the OEM code page of the
// Hungarian console): std::string of raw bytes, any byte allowed, the 0 byte
// included. A result longer than kMaxText characters is cut to kMaxText.
//
// Case conversion. On Windows the suite converted a text to the ANSI code page
// (1250), used the platform's ANSI case tables and converted back. Here fixed
// tables generated from the two code pages (scripts/gen_text_tables.py) give
// the same result for every letter the code pages hold. Unlike the round trip
// through the platform, a character code page 1250 lacks (box and block
// characters) is kept as it is instead of coming back as a look-alike, and a 0
// byte inside the text does not stop the conversion.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace text {

// Capacity of a counted string.
inline constexpr std::size_t kMaxText = 255;

// Cuts a text to the capacity of a counted string.
inline std::string CutToCapacity(std::string s) {
  if (s.size() > kMaxText) s.resize(kMaxText);
  return s;
}

// --- Case and code page ---------------------------------------------------

// Code page 852 text upper-cased (lower-cased) as the platform's ANSI rules
// do for a Hungarian system: "árvíztűrő" -> "ÁRVÍZTŰRŐ". Same length.
std::string UpperOem(std::string_view s);
std::string LowerOem(std::string_view s);

// The capital of a small letter of code page 852 (a..z, ü é ő ö á í ó ú ű and
// the bytes 0x93, 0x96, 0xF5); any other byte is returned unchanged.
char UpCaseChar(char c);
// The small letter of a capital (A..Z, Ő É Ö Ü Á Í Ó Ú Ű and 0x8F).
char LowCaseChar(char c);

// Code page 1250 text upper-cased (lower-cased), without conversion.
std::string UpperAnsi(std::string_view s);
std::string LowerAnsi(std::string_view s);

// Code page 1250 text to code page 852. Characters code page 852 lacks get a
// look-alike (typographic quotes and dashes their ASCII forms) or "?".
std::string OemFromAnsi(std::string_view s);
// Code page 852 text to code page 1250. Box characters become "+", "-", "="
// or "|"; shades and blocks "?".
std::string AnsiFromOem(std::string_view s);

// --- Layout ---------------------------------------------------------------

// Trailing blanks removed, then centred in width blanks ((width - length) div
// 2 in front). A text at least as long as the width gets no padding.
std::string Centred(std::string_view s, int width);
// A text shorter than the width placed at (width - length) div 2 + 1 in a run
// of width fill characters; a longer text, or a width below 1, gives the text
// unchanged. Widths above 255 count as 255.
std::string CentreFill(std::string_view s, char fill, int width);
// n copies of c; empty for n < 1, at most 255.
std::string Replicate(char c, int n);
// The text followed by fill characters, cut to the width; empty for width < 1.
std::string PadRight(std::string_view s, int width, char fill);
// Trailing blanks removed, fill characters in front up to the width; a longer
// text is cut to the width keeping its first characters. Empty for width < 1.
std::string PadLeft(std::string_view s, int width, char fill);
// Leading and trailing blanks (only the byte 32) removed.
std::string Trim(std::string_view s);
std::string TrimRight(std::string_view s);
// Trailing padding of a field value removed by its kind letter:
// 'C', 'D': blanks and 0 bytes; 'N': "0" characters and 0 bytes (a digit code
// is padded with zeros, so "100" becomes "1"); 'S': the empty text when the
// numeric value is 0. Other kinds come back unchanged.
std::string TrimByKind(std::string_view s, char kind);

// --- Heap copies ----------------------------------------------------------

// A counted string kept on the heap, owned by the caller.
using HeapString = std::unique_ptr<std::string>;
HeapString StringToHeap(std::string_view s);
// Frees the copy and sets the reference to none; no effect on none.
void DisposeString(HeapString& s);

// --- Numbers --------------------------------------------------------------

// Reads a whole number (32-bit, optional "+" or "-", leading blanks allowed,
// trailing blanks removed first). Returns false when the text is not one; the
// number then receives the 1-based position of the first invalid character
// (1 for an empty text; the digit that overflows counts as invalid).
bool IntValue(std::string_view s, int32_t& number);
// The whole number of the text, 0 when it is not one.
int32_t IntOrZero(std::string_view s);
// Decimal text of a number.
std::string IntText(long long n);
constexpr int32_t MaxInteger() { return 2147483647; }

// The characters up to the first 0 byte, at most 255 of them. A null pointer
// gives the empty text; at most 256 bytes are read.
std::string FromZeroTerminated(const char* chars);
// The same for a buffer of known size.
std::string FromZeroTerminated(std::string_view chars);

// --- Fields and words -----------------------------------------------------

// The n-th field (1-based) when the text is split at sep; empty when there
// are fewer fields or n < 1.
std::string FieldOf(std::string_view s, char sep, int n);
// Number of separators + 1; 0 for the empty text.
int FieldCount(std::string_view s, char sep);
// The n-th word (1-based) of blank-separated words (runs of blanks are one
// separator); empty when there are fewer words or n < 1.
std::string WordOf(std::string_view s, int n);
int WordCount(std::string_view s);
// The text between two '"' characters.
std::string Quoted(std::string_view s);

// --- Names ----------------------------------------------------------------

// File names (code page 1250 as the platform hands them over) compared after
// FileNameChars: -1, 0 or 1. The collation is the one of a Hungarian system:
// letters by the Hungarian alphabet with accents and then case as later
// differences (o < ó < ö < ő, a < A), signs before digits before letters.
int CompareNames(std::string_view a, std::string_view b);
// The same with both names upper-cased first (ANSI rules).
int CompareNamesNoCase(std::string_view a, std::string_view b);
// The old code page's Á, ő (0x8F, 0x93) and 0x95 to code page 852, and
// single-line box characters to "|", "-", "+" and 0x9E.
std::string FileNameChars(std::string_view s);

// The 18 Hungarian accented letters of code page 852 (á é í ó ö ő ú ü ű and
// capitals) as their two UTF-8 bytes; every other byte copied unchanged. The
// result holds at most 255 bytes and never ends inside a letter.
std::string HungarianToUtf8(std::string_view s);

}  // namespace text
