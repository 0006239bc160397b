#include "platform/key_decoder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace platform {
namespace {

constexpr uint8_t kShift = kLeftShift;

std::vector<InputEvent> Decode(std::string_view bytes, KeyDialect d = KeyDialect::kXterm) {
  KeyDecoder dec(d);
  std::vector<InputEvent> out;
  dec.Feed(bytes, out);
  dec.Timeout(out);
  return out;
}

// A compact picture of events, for comparing lists.
std::string Describe(const std::vector<InputEvent>& evs) {
  std::string s;
  for (const InputEvent& e : evs) {
    switch (e.type) {
      case InputEvent::kKey:
        s += "key(" + std::to_string(e.key.ch) + "," + std::to_string(e.key.scan) + "," +
             std::to_string(e.key.shift) + (e.key.keypad ? ",pad" : "") +
             (e.key.enhanced ? ",grey" : "") + ")";
        break;
      case InputEvent::kMouse:
        s += "mouse(" + std::to_string(e.mouse.buttons) + "," + std::to_string(e.mouse.column) +
             "," + std::to_string(e.mouse.row) + "," + std::to_string(e.mouse.action) + ")";
        break;
      case InputEvent::kBreak:
        s += "break";
        break;
      case InputEvent::kResize:
        s += "resize";
        break;
    }
    s += " ";
  }
  return s;
}

struct KeyCase {
  const char* name;
  std::string bytes;
  uint8_t ch, scan, shift;
};

void ExpectOneKey(const KeyCase& c, KeyDialect d = KeyDialect::kXterm) {
  const auto evs = Decode(c.bytes, d);
  ASSERT_EQ(evs.size(), 1u) << c.name << ": " << Describe(evs);
  EXPECT_EQ(evs[0].type, InputEvent::kKey) << c.name;
  EXPECT_EQ(evs[0].key.ch, c.ch) << c.name;
  EXPECT_EQ(evs[0].key.scan, c.scan) << c.name;
  EXPECT_EQ(evs[0].key.shift, c.shift) << c.name;
  EXPECT_EQ(evs[0].raw, c.bytes) << c.name;
}

const std::vector<KeyCase>& XtermCases() {
  static const std::vector<KeyCase> cases = {
      // normal cursor mode
      {"Up", "\x1b[A", 0, 72, 0}, {"Down", "\x1b[B", 0, 80, 0},
      {"Right", "\x1b[C", 0, 77, 0}, {"Left", "\x1b[D", 0, 75, 0},
      {"Home", "\x1b[H", 0, 71, 0}, {"End", "\x1b[F", 0, 79, 0},
      {"keypad 5", "\x1b[E", 0, 76, 0},
      // application cursor mode
      {"app Up", "\x1bOA", 0, 72, 0}, {"app Down", "\x1bOB", 0, 80, 0},
      {"app Right", "\x1bOC", 0, 77, 0}, {"app Left", "\x1bOD", 0, 75, 0},
      {"app Home", "\x1bOH", 0, 71, 0}, {"app End", "\x1bOF", 0, 79, 0},
      // editing keys
      {"Ins", "\x1b[2~", 0, 82, 0}, {"Del", "\x1b[3~", 0, 83, 0},
      {"PgUp", "\x1b[5~", 0, 73, 0}, {"PgDn", "\x1b[6~", 0, 81, 0},
      // function keys
      {"F1", "\x1bOP", 0, 59, 0}, {"F2", "\x1bOQ", 0, 60, 0}, {"F3", "\x1bOR", 0, 61, 0},
      {"F4", "\x1bOS", 0, 62, 0}, {"F5", "\x1b[15~", 0, 63, 0}, {"F6", "\x1b[17~", 0, 64, 0},
      {"F7", "\x1b[18~", 0, 65, 0}, {"F8", "\x1b[19~", 0, 66, 0}, {"F9", "\x1b[20~", 0, 67, 0},
      {"F10", "\x1b[21~", 0, 68, 0}, {"F11", "\x1b[23~", 0, 87, 0}, {"F12", "\x1b[24~", 0, 88, 0},
      {"Shift+Tab", "\x1b[Z", 0, 15, kShift},
  };
  return cases;
}

const std::vector<KeyCase>& ModifierCases() {
  static const std::vector<KeyCase> cases = {
      {"Shift+F1", "\x1b[1;2P", 0, 59, kShift},
      {"Alt+F1", "\x1b[1;3P", 0, 59, kAlt},
      {"Ctrl+F1", "\x1b[1;5P", 0, 59, kCtrl},
      {"Ctrl+Alt+F1", "\x1b[1;7P", 0, 59, kCtrl | kAlt},
      {"Ctrl+Shift+F4", "\x1b[1;6S", 0, 62, kCtrl | kShift},
      {"Meta counts as Alt", "\x1b[1;9P", 0, 59, kAlt},
      {"Ctrl+F5", "\x1b[15;5~", 0, 63, kCtrl},
      {"Shift+F10", "\x1b[21;2~", 0, 68, kShift},
      {"Alt+F12", "\x1b[24;3~", 0, 88, kAlt},
      {"Ctrl+Left", "\x1b[1;5D", 0, 75, kCtrl},
      {"Ctrl+Right", "\x1b[1;5C", 0, 77, kCtrl},
      {"Ctrl+Home", "\x1b[1;5H", 0, 71, kCtrl},
      {"Ctrl+PgDn", "\x1b[6;5~", 0, 81, kCtrl},
      {"Shift+Ins", "\x1b[2;2~", 0, 82, kShift},
      {"Ctrl+Ins", "\x1b[2;5~", 0, 82, kCtrl},
      {"Alt+Up", "\x1b[1;3A", 0, 72, kAlt},
      {"Alt+Down", "\x1b[1;3B", 0, 80, kAlt},
      {"Shift+Up, application mode", "\x1bO2A", 0, 72, kShift},
      {"old SS3 form Shift+F1", "\x1bO2P", 0, 59, kShift},
      {"SS3 with 1;mod", "\x1bO1;5Q", 0, 60, kCtrl},
      {"lock bits ignored", "\x1b[1;69P", 0, 59, kCtrl},  // 1 + 64 (Caps Lock) + 4
  };
  return cases;
}

const std::vector<KeyCase>& RxvtAndVt220Cases() {
  static const std::vector<KeyCase> cases = {
      {"VT220 F1", "\x1b[11~", 0, 59, 0}, {"VT220 F4", "\x1b[14~", 0, 62, 0},
      {"VT220 Home", "\x1b[1~", 0, 71, 0}, {"VT220 End", "\x1b[4~", 0, 79, 0},
      {"rxvt Home", "\x1b[7~", 0, 71, 0}, {"rxvt End", "\x1b[8~", 0, 79, 0},
      {"rxvt Shift+Ins", "\x1b[2$", 0, 82, kShift},
      {"rxvt Ctrl+Ins", "\x1b[2^", 0, 82, kCtrl},
      {"rxvt Ctrl+Home", "\x1b[7^", 0, 71, kCtrl},
      {"rxvt Ctrl+PgDn", "\x1b[6^", 0, 81, kCtrl},
      {"rxvt Ctrl+F1", "\x1b[11^", 0, 59, kCtrl},
      {"rxvt Ctrl+Shift+F1", "\x1b[11@", 0, 59, kCtrl | kShift},
      {"rxvt Shift+F3", "\x1b[25~", 0, 61, kShift},
      {"rxvt Shift+F10", "\x1b[34~", 0, 68, kShift},
      {"rxvt Ctrl+Shift+F10", "\x1b[34^", 0, 68, kCtrl | kShift},
      {"rxvt Shift+F11", "\x1b[23$", 0, 87, kShift},
      {"rxvt Ctrl+Up", "\x1bOa", 0, 72, kCtrl}, {"rxvt Ctrl+Down", "\x1bOb", 0, 80, kCtrl},
      {"rxvt Ctrl+Right", "\x1bOc", 0, 77, kCtrl}, {"rxvt Ctrl+Left", "\x1bOd", 0, 75, kCtrl},
      {"rxvt Shift+Up", "\x1b[a", 0, 72, kShift}, {"rxvt Shift+Left", "\x1b[d", 0, 75, kShift},
      {"rxvt Alt+Up", "\x1b\x1b[A", 0, 72, kAlt},
      {"rxvt Alt+F1", "\x1b\x1b[11~", 0, 59, kAlt},
      {"Alt on a modified key", "\x1b\x1b[1;5D", 0, 75, kCtrl | kAlt},
  };
  return cases;
}

const std::vector<KeyCase>& LinuxConsoleCases() {
  static const std::vector<KeyCase> cases = {
      {"F1", "\x1b[[A", 0, 59, 0}, {"F2", "\x1b[[B", 0, 60, 0}, {"F3", "\x1b[[C", 0, 61, 0},
      {"F4", "\x1b[[D", 0, 62, 0}, {"F5", "\x1b[[E", 0, 63, 0},
      {"F6", "\x1b[17~", 0, 64, 0}, {"Home", "\x1b[1~", 0, 71, 0},
      {"keypad 5", "\x1b[G", 0, 76, 0},
      {"Shift+F1", "\x1b[25~", 0, 59, kShift}, {"Shift+F2", "\x1b[26~", 0, 60, kShift},
      {"Shift+F8", "\x1b[34~", 0, 66, kShift},
  };
  return cases;
}

const std::vector<KeyCase>& AltCases() {
  static const std::vector<KeyCase> cases = {
      {"Alt+a", "\x1b" "a", 0, 30, kAlt}, {"Alt+q", "\x1bq", 0, 16, kAlt},
      {"Alt+m", "\x1bm", 0, 50, kAlt}, {"Alt+z", "\x1bz", 0, 44, kAlt},
      {"Alt+Q is Alt+q", "\x1bQ", 0, 16, kAlt},
      {"Alt+1", "\x1b" "1", 0, 2, kAlt}, {"Alt+5", "\x1b" "5", 0, 6, kAlt},
      {"Alt+0", "\x1b" "0", 0, 11, kAlt}, {"Alt+=", "\x1b=", 0, 13, kAlt},
      {"Alt+! keeps Shift", "\x1b!", 0, 2, kAlt | kShift},
      {"Alt+Enter", "\x1b\r", 0, 28, kAlt}, {"Alt+Tab", "\x1b\t", 0, 15, kAlt},
      {"Alt+Backspace", "\x1b\x7f", 0, 14, kAlt}, {"Alt+Space", "\x1b ", 0, 57, kAlt},
      {"Ctrl+Alt+A", "\x1b\x01", 0, 30, kCtrl | kAlt},
      {"Alt+o with accent", "\x1b\xc5\x91", 0, 26, kAlt},  // Alt+ő
  };
  return cases;
}

const std::vector<KeyCase>& TextCases() {
  static const std::vector<KeyCase> cases = {
      {"a", "a", 'a', 30, 0}, {"A", "A", 'A', 30, kShift}, {"z", "z", 'z', 44, 0},
      {"7", "7", '7', 8, 0}, {"&", "&", '&', 8, kShift}, {"space", " ", ' ', 57, 0},
      {"~", "~", '~', 41, kShift},
      {"Enter", "\r", 13, 28, 0}, {"Tab", "\t", 9, 15, 0},
      {"Backspace DEL", "\x7f", 8, 14, 0}, {"Backspace BS", "\x08", 8, 14, 0},
      {"Ctrl+A", "\x01", 1, 30, kCtrl}, {"Ctrl+V", "\x16", 22, 47, kCtrl},
      {"Ctrl+Z", "\x1a", 26, 44, kCtrl}, {"Ctrl+J", "\n", 10, 36, kCtrl},
      {"Ctrl+@", std::string(1, '\0'), 0, 3, kCtrl},
      {"Ctrl+]", "\x1d", 29, 27, kCtrl},
      {"o double acute", "\xc5\x91", 139, 26, 0},      // ő
      {"U double acute", "\xc5\xb0", 0xEB, 43, kShift},  // Ű
      {"a acute", "\xc3\xa1", 0xA0, 40, 0},              // á
      {"i acute", "\xc3\xad", 0xA1, 86, 0},              // í
      {"sharp s has no key", "\xc3\x9f", 0xE1, 0, 0},    // ß
      {"box drawing", "\xe2\x95\x90", 205, 0, 0},        // ═
  };
  return cases;
}

const std::vector<KeyCase>& KeypadCases() {
  static const std::vector<KeyCase> cases = {
      {"keypad 0", "\x1bOp", '0', 82, 0}, {"keypad 1", "\x1bOq", '1', 79, 0},
      {"keypad 9", "\x1bOy", '9', 73, 0}, {"keypad Enter", "\x1bOM", 13, 28, 0},
      {"keypad /", "\x1bOo", '/', 53, 0}, {"keypad *", "\x1bOj", '*', 55, 0},
      {"keypad -", "\x1bOm", '-', 74, 0}, {"keypad +", "\x1bOk", '+', 78, 0},
      {"keypad .", "\x1bOn", '.', 83, 0}, {"keypad ,", "\x1bOl", ',', 83, 0},
      {"Alt+keypad 1, Esc prefix", "\x1b\x1bOq", 0, 79, kAlt},
      {"Alt+keypad 1, modifier", "\x1bO3q", 0, 79, kAlt},
      {"Ctrl+keypad *", "\x1bO5j", 0, 55, kCtrl},
  };
  return cases;
}

TEST(KeyDecoder, Xterm) {
  for (const auto& c : XtermCases()) ExpectOneKey(c);
}
TEST(KeyDecoder, ModifierForms) {
  for (const auto& c : ModifierCases()) ExpectOneKey(c);
}
TEST(KeyDecoder, RxvtAndVt220) {
  for (const auto& c : RxvtAndVt220Cases()) ExpectOneKey(c);
}
TEST(KeyDecoder, LinuxConsole) {
  for (const auto& c : LinuxConsoleCases()) ExpectOneKey(c, KeyDialect::kLinuxConsole);
}
TEST(KeyDecoder, EscPrefixedAlt) {
  for (const auto& c : AltCases()) ExpectOneKey(c);
}
TEST(KeyDecoder, TextAndControlBytes) {
  for (const auto& c : TextCases()) ExpectOneKey(c);
}
TEST(KeyDecoder, Keypad) {
  for (const auto& c : KeypadCases()) ExpectOneKey(c);
  const auto digit = Decode("\x1bOq");
  EXPECT_TRUE(digit[0].key.keypad);
  EXPECT_FALSE(digit[0].key.enhanced);
  EXPECT_TRUE(Decode("\x1bOo")[0].key.enhanced);  // keypad / is a grey key
  EXPECT_TRUE(Decode("\x1bOM")[0].key.enhanced);
  EXPECT_TRUE(Decode("\x1b[A")[0].key.enhanced);
  EXPECT_FALSE(Decode("\x1b[A")[0].key.keypad);
}

TEST(KeyDecoder, EveryPrintableAsciiCharacterHasItsKey) {
  for (int c = 0x20; c < 0x7F; ++c) {
    const auto evs = Decode(std::string(1, static_cast<char>(c)));
    ASSERT_EQ(evs.size(), 1u) << c;
    EXPECT_EQ(evs[0].key.ch, c);
    EXPECT_NE(evs[0].key.scan, 0) << c;
  }
}

TEST(KeyDecoder, DialectFollowsTerm) {
  EXPECT_EQ(KeyDialectForTerm("linux"), KeyDialect::kLinuxConsole);
  EXPECT_EQ(KeyDialectForTerm("xterm-256color"), KeyDialect::kXterm);
  EXPECT_EQ(KeyDialectForTerm("screen"), KeyDialect::kXterm);
  EXPECT_EQ(KeyDialectForTerm(""), KeyDialect::kXterm);
}

TEST(KeyDecoder, CtrlCIsTheBreakEventNotAKey) {
  EXPECT_EQ(Describe(Decode("a\x03" "b")), "key(97,30,0) break key(98,48,0) ");
  const auto evs = Decode("\x03");
  ASSERT_EQ(evs.size(), 1u);
  EXPECT_EQ(evs[0].raw, "\x03");
  // Esc followed by Ctrl+C is no Alt+Ctrl+C: Ctrl+C always breaks.
  EXPECT_EQ(Describe(Decode("\x1b\x03")), "key(27,1,0) break ");
}

TEST(KeyDecoder, SeveralKeysInOneRead) {
  EXPECT_EQ(Describe(Decode("\x1bOP\x1b[A" "x\x1b[1;5D")),
            "key(0,59,0) key(0,72,0,grey) key(120,45,0) key(0,75,4,grey) ");
}

TEST(KeyDecoder, LoneEscAfterTimeout) {
  KeyDecoder d;
  std::vector<InputEvent> out;
  d.Feed("\x1b", out);
  EXPECT_TRUE(out.empty());
  EXPECT_TRUE(d.Pending());
  d.Timeout(out);
  EXPECT_FALSE(d.Pending());
  EXPECT_EQ(Describe(out), "key(27,1,0) ");
  // A key typed after the time-out is a key of its own, not Alt+key.
  d.Feed("a", out);
  EXPECT_EQ(Describe(out), "key(27,1,0) key(97,30,0) ");
}

TEST(KeyDecoder, EscPressedTwiceIsTwoEscKeys) {
  EXPECT_EQ(Describe(Decode("\x1b\x1b")), "key(27,1,0) key(27,1,0) ");
  // Each press timed out on its own.
  KeyDecoder d;
  std::vector<InputEvent> out;
  d.Feed("\x1b", out);
  d.Timeout(out);
  d.Feed("\x1b", out);
  d.Timeout(out);
  EXPECT_EQ(Describe(out), "key(27,1,0) key(27,1,0) ");
  // Esc, then Alt+x.
  EXPECT_EQ(Describe(Decode("\x1b\x1bx")), "key(27,1,0) key(0,45,8) ");
  // Esc Esc Esc [ A: Esc, then Alt+Up.
  EXPECT_EQ(Describe(Decode("\x1b\x1b\x1b[A")), "key(27,1,0) key(0,72,8,grey) ");
}

TEST(KeyDecoder, IncompleteIntroducersAtTimeout) {
  // Esc [ and Esc O that nothing followed were Alt+[ and Alt+O.
  EXPECT_EQ(Describe(Decode("\x1b[")), "key(0,26,8) ");
  EXPECT_EQ(Describe(Decode("\x1bO")), "key(0,24,8) ");
  EXPECT_EQ(Describe(Decode("\x1b\x1b[")), "key(27,1,0) key(0,26,8) ");
}

// Every sequence of the tables, cut at every point, gives the same events as
// when it arrives whole; so does a stream of all of them, cut anywhere.
TEST(KeyDecoder, SplitReads) {
  std::vector<std::string> inputs;
  std::string all;
  for (const auto* table : {&XtermCases(), &ModifierCases(), &RxvtAndVt220Cases(), &AltCases(),
                            &TextCases(), &KeypadCases()}) {
    for (const KeyCase& c : *table) {
      inputs.push_back(c.bytes);
      if (c.bytes.size() > 1 || c.bytes[0] != '\x1b') all += c.bytes;
    }
  }
  inputs.push_back("\x1b[<0;10;5M\x1b[<0;10;5m");
  inputs.push_back("\x1b[M !!\x1b[M#!!");
  inputs.push_back("\x1b[[A\x1b\x1bOq");
  inputs.push_back(all);
  for (const std::string& in : inputs) {
    const std::string whole = Describe(Decode(in));
    for (size_t cut = 1; cut < in.size(); ++cut) {
      KeyDecoder d;
      std::vector<InputEvent> out;
      d.Feed(std::string_view(in).substr(0, cut), out);
      d.Feed(std::string_view(in).substr(cut), out);
      d.Timeout(out);
      ASSERT_EQ(Describe(out), whole) << "cut at " << cut << " of " << testing::PrintToString(in);
    }
    // Byte by byte.
    KeyDecoder d;
    std::vector<InputEvent> out;
    for (char ch : in) d.Feed(std::string_view(&ch, 1), out);
    d.Timeout(out);
    EXPECT_EQ(Describe(out), whole) << testing::PrintToString(in);
  }
}

TEST(KeyDecoder, SplitSequenceWaitsForItsRest) {
  KeyDecoder d;
  std::vector<InputEvent> out;
  d.Feed("\x1b[1", out);
  EXPECT_TRUE(out.empty());
  d.Feed(";5", out);
  EXPECT_TRUE(out.empty());
  d.Feed("D", out);
  EXPECT_EQ(Describe(out), "key(0,75,4,grey) ");
  EXPECT_FALSE(d.Pending());
  d.Feed("\xc5", out);  // first half of ő
  EXPECT_TRUE(d.Pending());
  d.Feed("\x91", out);
  EXPECT_EQ(out.back().key.ch, 139);
}

// Truncated, unknown and malformed input is dropped whole; what follows it is
// decoded as usual.
TEST(KeyDecoder, GarbageIsDropped) {
  const std::string longCsi = "\x1b[" + std::string(200, '1');
  struct Case {
    const char* name;
    std::string bytes;
    std::string expected;
  };
  const Case cases[] = {
      {"unknown tilde key", "\x1b[99~x", "key(120,45,0) "},
      {"unknown final", "\x1b[1;5Yx", "key(120,45,0) "},
      {"device attributes reply", "\x1b[?1;2cx", "key(120,45,0) "},
      {"cursor position report", "\x1b[12;40Rx", "key(120,45,0) "},
      {"too many parameters", "\x1b[1;2;3;4;5Ax", "key(120,45,0) "},
      {"sub-parameters", "\x1b[1:2Ax", "key(120,45,0) "},
      {"intermediate byte", "\x1b[1 qx", "key(120,45,0) "},
      {"unknown SS3", "\x1bOzx", "key(120,45,0) "},
      {"unknown Linux key", "\x1b[[Zx", "key(120,45,0) "},
      {"truncated at the end", "\x1b[1;5", ""},
      {"truncated SS3", "\x1bO1;", ""},
      {"truncated mouse", "\x1b[<0;10", ""},
      {"truncated old mouse", "\x1b[M !", ""},
      {"cut short by another sequence", "\x1b[1;5\x1b[A", "key(0,72,0,grey) "},
      {"cut short by Ctrl+C", "\x1b[15\x03", "break "},
      {"cut short by Enter", "\x1b[2\r", "key(13,28,0) "},
      {"cut short by UTF-8", "\x1b[2\xc5\x91", "key(139,26,0) "},
      {"over-long sequence", longCsi + "~x", "key(120,45,0) "},
      {"over-long sequence cut short", longCsi + "\rx", "key(13,28,0) key(120,45,0) "},
      {"over-long sequence at the end", longCsi, ""},
      {"mouse with two parameters", "\x1b[<0;5Mx", "key(120,45,0) "},
      {"mouse with a wrong final", "\x1b[<0;5;5Ax", "key(120,45,0) "},
      {"bad UTF-8", "\xff\xfe" "a", "key(97,30,0) "},
      {"lone continuation byte", "\x91" "a", "key(97,30,0) "},
      {"UTF-8 cut short", "\xc5" "a", "key(97,30,0) "},
      {"UTF-8 cut off at the end", "\xe2\x95", ""},
      {"no code page 852 byte", "\xe2\x82\xac" "a", "key(97,30,0) "},  // €
      {"C1 control", "\xc2\x9b" "a", "key(97,30,0) "},
      {"Esc before bad UTF-8", "\x1b\xff", "key(27,1,0) "},
      {"Esc before a character without a key", "\x1b\xc3\x9f", "key(27,1,0) key(225,0,0) "},
  };
  for (const Case& c : cases) EXPECT_EQ(Describe(Decode(c.bytes)), c.expected) << c.name;
}

TEST(KeyDecoder, PendingBytesStayBounded) {
  // However long a sequence runs, at most kMaxPending bytes are kept.
  struct Case {
    std::string bytes, expected;
  };
  const Case cases[] = {
      {"\x1b[" + std::string(5000, '1'), "key(120,45,0) "},
      {"\x1bO" + std::string(5000, ';'), "key(120,45,0) "},
      // The first Esc cannot be Alt for a sequence that is no key.
      {"\x1b\x1b[<" + std::string(5000, '9'), "key(27,1,0) key(120,45,0) "},
  };
  for (const Case& c : cases) {
    KeyDecoder d;
    std::vector<InputEvent> out;
    for (char ch : c.bytes) {
      d.Feed(std::string_view(&ch, 1), out);
      ASSERT_LE(d.PendingSize(), KeyDecoder::kMaxPending);
    }
    // The sequence ends at its final byte; what follows is read again.
    d.Feed("~x", out);
    d.Timeout(out);
    EXPECT_EQ(Describe(out), c.expected) << testing::PrintToString(c.bytes.substr(0, 4));
  }
}

TEST(KeyDecoder, SgrMouseKeepsTheButtonState) {
  struct Step {
    std::string bytes;
    uint16_t buttons, column, row, action;
  };
  const Step steps[] = {
      {"\x1b[<0;10;5M", 1, 9, 4, kMouseDown},     // left down at column 10, row 5
      {"\x1b[<32;12;6M", 1, 11, 5, kMouseMove},   // dragged
      {"\x1b[<2;12;6M", 3, 11, 5, kMouseDown},    // right down as well
      {"\x1b[<0;12;6m", 2, 11, 5, kMouseUp},      // left up, right still held
      {"\x1b[<2;12;6m", 0, 11, 5, kMouseUp},
      {"\x1b[<35;1;1M", 0, 0, 0, kMouseMove},     // moved with no button
      {"\x1b[<1;3;3M", 4, 2, 2, kMouseDown},      // middle button
      {"\x1b[<1;3;3m", 0, 2, 2, kMouseUp},
      {"\x1b[<16;80;25M", 1, 79, 24, kMouseDown},  // Ctrl+click is a click
      {"\x1b[<0;80;25m", 0, 79, 24, kMouseUp},
      {"\x1b[<0;0;0M", 1, 0, 0, kMouseDown},       // out of range: clamped
      {"\x1b[<0;99999;300M", 1, 65535, 299, kMouseDown},
  };
  KeyDecoder d;
  for (const Step& s : steps) {
    std::vector<InputEvent> out;
    d.Feed(s.bytes, out);
    ASSERT_EQ(out.size(), 1u) << testing::PrintToString(s.bytes);
    EXPECT_EQ(out[0].type, InputEvent::kMouse);
    EXPECT_EQ(out[0].mouse.buttons, s.buttons) << testing::PrintToString(s.bytes);
    EXPECT_EQ(out[0].mouse.column, s.column) << testing::PrintToString(s.bytes);
    EXPECT_EQ(out[0].mouse.row, s.row) << testing::PrintToString(s.bytes);
    EXPECT_EQ(out[0].mouse.action, s.action) << testing::PrintToString(s.bytes);
    EXPECT_EQ(out[0].raw, s.bytes);
  }
}

TEST(KeyDecoder, WheelIsDroppedAndKeepsTheButtons) {
  KeyDecoder d;
  std::vector<InputEvent> out;
  d.Feed("\x1b[<0;5;5M\x1b[<64;5;5M\x1b[<65;5;5M\x1b[<32;6;5M", out);
  EXPECT_EQ(Describe(out), "mouse(1,4,4,1) mouse(1,5,4,4) ");
}

TEST(KeyDecoder, OlderMouseReports) {
  // Esc [ M, then button + 32, column + 32, row + 32.
  EXPECT_EQ(Describe(Decode("\x1b[M !!\x1b[M@\"!\x1b[M#\"!")),
            "mouse(1,0,0,1) mouse(1,1,0,4) mouse(0,1,0,2) ");
  EXPECT_EQ(Describe(Decode("\x1b[M\"+&")), "mouse(2,10,5,1) ");
}

}  // namespace
}  // namespace platform
