// Names in the DOS namespace: their code pages, the characters a name may
// hold, case-blind comparison and DOS search patterns.
//
// Every path the system hands to the platform is a byte string, normally in
// code page 852 and in a few places in code page 1250 ("ANSI"). The host keeps
// names in UTF-8, so each name goes through Unicode on its way in and out.
// Comparison and pattern matching also work on Unicode characters, so that a
// name written in either code page finds the same host entry.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

enum class NameCode : uint8_t { Cp852, Cp1250 };

// A DOS path or name as the system hands it over: its bytes and the code page
// they are in. Built implicitly from any string (code page 852); Ansi() marks
// code page 1250. It only views the bytes: use it for arguments, not storage.
struct DosName {
  std::string_view text;
  NameCode code = NameCode::Cp852;

  DosName(std::string_view t, NameCode c = NameCode::Cp852) : text(t), code(c) {}
  DosName(const std::string& t) : text(t) {}
  DosName(const char* t) : text(t) {}
};

inline DosName Ansi(std::string_view text) { return DosName(text, NameCode::Cp1250); }

// The Unicode character of one name byte.
char32_t NameByteToUnicode(unsigned char b, NameCode code);

// Name bytes to UTF-8 (every byte has a character in both code pages).
std::string NameToUtf8(std::string_view bytes, NameCode code);

// UTF-8 to name bytes. A character the code page lacks, or a byte that is not
// valid UTF-8, becomes "?" (as Windows shows such names); exact is set to
// false when that happened.
std::string Utf8ToName(std::string_view utf8, NameCode code, bool* exact = nullptr);

// True for a character a name component may hold: not a control character
// (C0 or C1), and none of  \ / : * ? " < > |  which Windows refuses in names.
bool ValidNameChar(char32_t c);

// The small-letter form used to compare names without regard to case: ASCII
// and every letter of code pages 852 and 1250 that has both forms.
char32_t FoldNameChar(char32_t c);

// A UTF-8 name as characters in their small-letter form: equal for names
// equal ignoring case, and the order folders are listed in. Bytes that are
// not valid UTF-8 become characters of their own.
std::u32string FoldedName(std::string_view name);

// True when two UTF-8 names are equal ignoring case. Bytes that are not valid
// UTF-8 compare as themselves.
bool SameNameIgnoringCase(std::string_view a, std::string_view b);

// True when a UTF-8 name matches a UTF-8 DOS pattern, ignoring case:
//  - "*" matches any run of characters (dots included): "*" and "*.*" match
//    every name, "*.DAT" every name ending in ".dat";
//  - "?" matches one character, but never a dot; at a dot or at the end of the
//    name a run of "?" may match fewer characters ("VEVO????.DAT" matches
//    "VEVO.DAT", "A?" matches "A");
//  - a pattern ending in ".*" also matches the name without any extension
//    ("VEVO.*" matches "VEVO");
//  - a pattern ending in "." matches only names without a dot ("*." matches
//    the names that have no extension);
//  - "." and ".." match only themselves.
bool MatchesDosPattern(std::string_view name, std::string_view pattern);

}  // namespace platform
