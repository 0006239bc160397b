// Letter tables between the encodings Hungarian text arrives in.
//
//   code page 852   the working encoding of every text of the system
//   old code page   the older Hungarian DOS code page; its accented capitals
//                   sit elsewhere and several of them are missing
//   code page 437   lacks ő, ű and several capitals: stand-ins are used
//   ANSI (1250)     the Windows code page, used at the platform and for export
//
// Every conversion here works byte by byte through a pair of fixed tables: a
// byte found in the source table at position i becomes the byte at position i
// of the target table (the first occurrence in the source table counts); any
// other byte passes unchanged. The tables are applied blindly: converting a
// text that is in another encoding changes whatever letters share the byte
// values (FoldBoxChars on code page 852 text turns the letters at 0xB6..0xD8
// into box characters). Conversions keep the length of the text and accept
// any byte, the 0 byte included.
#pragma once

#include <string>
#include <string_view>

namespace text {

// The 18 accented letters (á Á é É í Í ó Ó ö Ö ő Ő ú Ú ü Ü ű Ű).
char OldTo852Char(char c);
std::string OldTo852(std::string_view s);
char Cp852ToOldChar(char c);
std::string Cp852ToOld(std::string_view s);
char OldTo437Char(char c);
std::string OldTo437(std::string_view s);

// Double-line box-drawing characters (code page 437 layout) to single-line.
char FoldBoxChar(char c);
std::string FoldBoxChars(std::string_view s);

// The 28 letters a á A Á e é E É i í I Í o ó O Ó ö Ö ő Ő u ú U Ú ü Ü ű Ű.
std::string AnsiTo852(std::string_view s);
std::string Cp852ToAnsi(std::string_view s);
// Box characters folded first, then old code page -> ANSI.
std::string OldToAnsi(std::string_view s);
std::string AnsiToOld(std::string_view s);
// A text mixing ANSI and code page 852 letters: ANSI -> old (28 letters),
// then code page 852 -> old (18 letters).
std::string MixedToOld(std::string_view s);

// Code page 852 ő ű Á Í Ó Ő Ú Ű -> the old code page's bytes (the capitals
// that the old code page lacks become small letters).
std::string Cp852LettersToOld(std::string_view s);
// The old code page's ő, ű and Á (0x93 0x96 0x8F) -> code page 852.
std::string OldLettersTo852(std::string_view s);

// Upper-casing by a code page choice: "1" the old code page, "2" code page
// 852. A small letter of the chosen table becomes its capital; every other
// character (and any character for another choice) gets the ASCII rule.
char UpCaseFor(char c, std::string_view choice);
std::string UpCaseTextFor(std::string_view s, std::string_view choice);

// The text in ANSI with "&", "<" and ">" written as "&#38;", "&#60;" and
// "&#62;"; an "&" that already starts such an entity ("&#" two digits ";") is
// kept. The result stays within 255 characters: once the text has 252 or
// more, a character to escape becomes a blank instead.
std::string HtmlText(std::string_view s);

}  // namespace text
