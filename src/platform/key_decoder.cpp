// The key decoder: terminal bytes to physical key strokes, mouse events and
// the break event.
//
// A terminal reports a key either as the character it produces (plain bytes,
// UTF-8 for anything beyond ASCII), as a control byte (Ctrl+letter, Tab,
// Enter, Backspace), or as an escape sequence: CSI (Esc [) or SS3 (Esc O)
// followed by parameters and a final byte. The system expects what a PC
// keyboard reports, so every key is described by the character, the PC set-1
// scan code of the key that carries it and the shift state. All of that comes
// from the tables below; the code only splits the bytes into sequences and
// looks them up.
//
// Sequences arrive in pieces when the terminal's writes are split (a slow
// link, a large paste), so a sequence that ends the input is kept until the
// next bytes come or the caller declares a time-out. Nothing is decided
// before enough bytes are there to decide it, so the result does not depend
// on where the input was split.
#include "platform/key_decoder.h"

#include <algorithm>
#include <array>

#include "platform/cp852.h"

namespace platform {

namespace {

constexpr uint8_t kEscByte = 0x1B;
constexpr uint8_t kBreakByte = 3;

constexpr PhysicalKey Key(uint8_t scan, uint8_t shift = 0) {
  PhysicalKey k;
  k.scan = scan;
  k.shift = shift;
  return k;
}
// A key of the grey block between the letters and the keypad.
constexpr PhysicalKey Grey(uint8_t scan, uint8_t shift = 0) {
  PhysicalKey k = Key(scan, shift);
  k.enhanced = true;
  return k;
}
// A key of the numeric keypad and the character it gives (0 for none).
constexpr PhysicalKey Pad(uint8_t ch, uint8_t scan, bool enhanced = false) {
  PhysicalKey k = Key(scan);
  k.ch = ch;
  k.keypad = true;
  k.enhanced = enhanced;
  return k;
}
constexpr PhysicalKey Char(uint8_t ch, uint8_t scan, uint8_t shift = 0) {
  PhysicalKey k = Key(scan, shift);
  k.ch = ch;
  return k;
}

constexpr PhysicalKey kEscKey = Char(27, scan::kEsc);

// ---- Characters -----------------------------------------------------------

// The keys of the main block on a US layout: scan code, the character alone
// and with Shift. A typed character is reported with the key that carries it.
struct LayoutKey {
  uint8_t scan;
  char plain, shifted;
};
constexpr LayoutKey kUsLayout[] = {
    {2, '1', '!'},   {3, '2', '@'},   {4, '3', '#'},   {5, '4', '$'},   {6, '5', '%'},
    {7, '6', '^'},   {8, '7', '&'},   {9, '8', '*'},   {10, '9', '('},  {11, '0', ')'},
    {12, '-', '_'},  {13, '=', '+'},  {16, 'q', 'Q'},  {17, 'w', 'W'},  {18, 'e', 'E'},
    {19, 'r', 'R'},  {20, 't', 'T'},  {21, 'y', 'Y'},  {22, 'u', 'U'},  {23, 'i', 'I'},
    {24, 'o', 'O'},  {25, 'p', 'P'},  {26, '[', '{'},  {27, ']', '}'},  {30, 'a', 'A'},
    {31, 's', 'S'},  {32, 'd', 'D'},  {33, 'f', 'F'},  {34, 'g', 'G'},  {35, 'h', 'H'},
    {36, 'j', 'J'},  {37, 'k', 'K'},  {38, 'l', 'L'},  {39, ';', ':'},  {40, '\'', '"'},
    {41, '`', '~'},  {43, '\\', '|'}, {44, 'z', 'Z'},  {45, 'x', 'X'},  {46, 'c', 'C'},
    {47, 'v', 'V'},  {48, 'b', 'B'},  {49, 'n', 'N'},  {50, 'm', 'M'},  {51, ',', '<'},
    {52, '.', '>'},  {53, '/', '?'},  {57, ' ', ' '},
};

// The accented letters sit where a Hungarian keyboard has them.
struct WideKey {
  char32_t c;
  uint8_t scan, shift;
};
constexpr WideKey kHungarianLetters[] = {
    {U'ö', 11, 0}, {U'ü', 12, 0}, {U'ó', 13, 0}, {U'ő', 26, 0}, {U'ú', 27, 0},
    {U'é', 39, 0}, {U'á', 40, 0}, {U'ű', 43, 0}, {U'í', 86, 0},
    {U'Ö', 11, kLeftShift}, {U'Ü', 12, kLeftShift}, {U'Ó', 13, kLeftShift},
    {U'Ő', 26, kLeftShift}, {U'Ú', 27, kLeftShift}, {U'É', 39, kLeftShift},
    {U'Á', 40, kLeftShift}, {U'Ű', 43, kLeftShift}, {U'Í', 86, kLeftShift},
};

constexpr std::array<PhysicalKey, 128> MakeAsciiKeys() {
  std::array<PhysicalKey, 128> t{};
  for (const LayoutKey& k : kUsLayout) {
    t[static_cast<uint8_t>(k.plain)] = Char(static_cast<uint8_t>(k.plain), k.scan);
    if (k.shifted != k.plain)
      t[static_cast<uint8_t>(k.shifted)] = Char(static_cast<uint8_t>(k.shifted), k.scan, kLeftShift);
  }
  // Control bytes: Ctrl with the key of the letter (or sign) they stand for,
  // except the ones that are keys of their own.
  for (uint8_t c = 1; c <= 26; ++c) t[c] = Char(c, t['a' + c - 1].scan, kCtrl);
  t[0] = Key(3, kCtrl);  // Ctrl+@, Ctrl+2, Ctrl+Space
  t[8] = Char(8, scan::kBackspace);
  t[9] = Char(9, scan::kTab);
  t[13] = Char(13, scan::kEnter);
  t[27] = kEscKey;
  t[28] = Char(28, 43, kCtrl);  // Ctrl+backslash
  t[29] = Char(29, 27, kCtrl);  // Ctrl+]
  t[30] = Char(30, 7, kCtrl);   // Ctrl+^ (Ctrl+6)
  t[31] = Char(31, 12, kCtrl);  // Ctrl+_ (Ctrl+-)
  t[127] = t[8];                // most terminals send DEL for Backspace
  return t;
}
constexpr std::array<PhysicalKey, 128> kAsciiKeys = MakeAsciiKeys();

// ---- Escape sequences -------------------------------------------------------

// CSI n ~ (VT220 editing and function keys; rxvt also ends them with $ ^ @).
struct NumberedKey {
  unsigned n;
  PhysicalKey key;
};
constexpr NumberedKey kTildeKeys[] = {
    {1, Grey(scan::kHome)},  {2, Grey(scan::kIns)},  {3, Grey(scan::kDel)},
    {4, Grey(scan::kEnd)},   {5, Grey(scan::kPgUp)}, {6, Grey(scan::kPgDn)},
    {7, Grey(scan::kHome)},  {8, Grey(scan::kEnd)},  // rxvt
    {11, Key(59)}, {12, Key(60)}, {13, Key(61)}, {14, Key(62)}, {15, Key(63)},
    {17, Key(64)}, {18, Key(65)}, {19, Key(66)}, {20, Key(67)}, {21, Key(68)},
    {23, Key(scan::kF11)}, {24, Key(scan::kF12)},
};
// CSI 25~ .. 34~ are the function keys F13..F20. rxvt sends them for
// Shift+F3..F10 (its Shift+F1 and F2 are F11 and F12); the Linux console
// sends them for Shift+F1..F8.
constexpr NumberedKey kShiftedFKeysRxvt[] = {
    {25, Key(61, kLeftShift)}, {26, Key(62, kLeftShift)}, {28, Key(63, kLeftShift)},
    {29, Key(64, kLeftShift)}, {31, Key(65, kLeftShift)}, {32, Key(66, kLeftShift)},
    {33, Key(67, kLeftShift)}, {34, Key(68, kLeftShift)},
};
constexpr NumberedKey kShiftedFKeysLinux[] = {
    {25, Key(59, kLeftShift)}, {26, Key(60, kLeftShift)}, {28, Key(61, kLeftShift)},
    {29, Key(62, kLeftShift)}, {31, Key(63, kLeftShift)}, {32, Key(64, kLeftShift)},
    {33, Key(65, kLeftShift)}, {34, Key(66, kLeftShift)},
};

// The final bytes of CSI n X and the modifiers they stand for (rxvt).
struct FinalShift {
  char final;
  uint8_t shift;
};
constexpr FinalShift kNumberedFinals[] = {
    {'~', 0}, {'$', kLeftShift}, {'^', kCtrl}, {'@', kCtrl | kLeftShift}};

// CSI X and CSI 1;<mod> X.
struct FinalKey {
  char final;
  PhysicalKey key;
};
constexpr FinalKey kCsiKeys[] = {
    {'A', Grey(scan::kUp)},    {'B', Grey(scan::kDown)}, {'C', Grey(scan::kRight)},
    {'D', Grey(scan::kLeft)},  {'E', Pad(0, scan::kCentre)},
    {'G', Pad(0, scan::kCentre)},  // Linux console keypad 5
    {'F', Grey(scan::kEnd)},   {'H', Grey(scan::kHome)},
    {'P', Key(59)}, {'Q', Key(60)}, {'R', Key(61)}, {'S', Key(62)},
    {'Z', Key(scan::kTab, kLeftShift)},  // Shift+Tab
    // rxvt: Shift+cursor keys
    {'a', Grey(scan::kUp, kLeftShift)},    {'b', Grey(scan::kDown, kLeftShift)},
    {'c', Grey(scan::kRight, kLeftShift)}, {'d', Grey(scan::kLeft, kLeftShift)},
};

// Esc [ [ X: the Linux console's F1..F5.
constexpr FinalKey kLinuxFKeys[] = {
    {'A', Key(59)}, {'B', Key(60)}, {'C', Key(61)}, {'D', Key(62)}, {'E', Key(63)}};

// SS3 X: application cursor mode, F1..F4, rxvt's Ctrl+cursor keys and the
// keypad in application keypad mode.
constexpr FinalKey kSs3Keys[] = {
    {'A', Grey(scan::kUp)},   {'B', Grey(scan::kDown)}, {'C', Grey(scan::kRight)},
    {'D', Grey(scan::kLeft)}, {'E', Pad(0, scan::kCentre)},
    {'F', Grey(scan::kEnd)},  {'H', Grey(scan::kHome)},
    {'P', Key(59)}, {'Q', Key(60)}, {'R', Key(61)}, {'S', Key(62)},
    {'a', Grey(scan::kUp, kCtrl)},    {'b', Grey(scan::kDown, kCtrl)},
    {'c', Grey(scan::kRight, kCtrl)}, {'d', Grey(scan::kLeft, kCtrl)},
    {'M', Pad(13, scan::kEnter, true)}, {'X', Pad('=', scan::kEquals)},
    {'j', Pad('*', scan::kPadStar)},  {'k', Pad('+', scan::kPadPlus)},
    {'l', Pad(',', scan::kDel)},      {'m', Pad('-', scan::kPadMinus)},
    {'n', Pad('.', scan::kDel)},      {'o', Pad('/', scan::kPadSlash, true)},
    {'p', Pad('0', scan::kIns)},  {'q', Pad('1', scan::kEnd)},    {'r', Pad('2', scan::kDown)},
    {'s', Pad('3', scan::kPgDn)}, {'t', Pad('4', scan::kLeft)},   {'u', Pad('5', scan::kCentre)},
    {'v', Pad('6', scan::kRight)}, {'w', Pad('7', scan::kHome)},  {'x', Pad('8', scan::kUp)},
    {'y', Pad('9', scan::kPgUp)},
};

template <size_t N>
const PhysicalKey* Find(const FinalKey (&table)[N], char final) {
  for (const FinalKey& k : table)
    if (k.final == final) return &k.key;
  return nullptr;
}
template <size_t N>
const PhysicalKey* Find(const NumberedKey (&table)[N], unsigned n) {
  for (const NumberedKey& k : table)
    if (k.n == n) return &k.key;
  return nullptr;
}

// The xterm modifier parameter: 1 + bits of Shift 1, Alt 2, Ctrl 4, Meta 8
// (Meta counts as Alt). Higher bits (lock keys of some terminals) are ignored.
uint8_t ModifierShift(unsigned m) {
  if (m < 2) return 0;
  const unsigned bits = m - 1;
  uint8_t s = 0;
  if (bits & 1) s |= kLeftShift;
  if (bits & 2) s |= kAlt;
  if (bits & 4) s |= kCtrl;
  if (bits & 8) s |= kAlt;
  return s;
}

// A key pressed with more modifiers. With Alt or Ctrl a PC key gives no
// character (Ctrl+letter, which has one, is its own control byte).
PhysicalKey WithShift(PhysicalKey k, uint8_t extra) {
  k.shift |= extra;
  if (extra & (kAlt | kCtrl)) k.ch = 0;
  return k;
}

// Numeric parameters of a sequence, separated by ';' (an empty one is 0).
struct Params {
  unsigned v[4] = {};
  int count = 0;
};
bool ParseParams(std::string_view s, Params& p) {
  if (s.empty()) return true;
  p.count = 1;
  for (char c : s) {
    if (c == ';') {
      if (p.count == 4) return false;
      ++p.count;
    } else if (c >= '0' && c <= '9') {
      unsigned& v = p.v[p.count - 1];
      v = std::min(v * 10 + static_cast<unsigned>(c - '0'), 99999u);
    } else {
      return false;
    }
  }
  return true;
}

constexpr bool IsParamByte(uint8_t b) { return b >= 0x30 && b <= 0x3F; }
constexpr bool IsIntermediateByte(uint8_t b) { return b >= 0x20 && b <= 0x2F; }
constexpr bool IsFinalByte(uint8_t b) { return b >= 0x40 && b <= 0x7E; }

uint8_t At(std::string_view s, size_t i) { return static_cast<uint8_t>(s[i]); }

void EmitKey(std::vector<InputEvent>& out, const PhysicalKey& k, std::string_view raw) {
  InputEvent e;
  e.type = InputEvent::kKey;
  e.key = k;
  e.raw = std::string(raw);
  out.push_back(std::move(e));
}

// One character at pos: a control byte, ASCII, or a UTF-8 character.
struct CharRead {
  size_t used = 0;     // 0: the UTF-8 character is not complete yet
  bool valid = false;  // false: the bytes are dropped (bad UTF-8, no code page 852 byte)
  PhysicalKey key;
};
CharRead ReadChar(std::string_view buf, size_t pos, bool final) {
  CharRead r;
  const uint8_t b = At(buf, pos);
  if (b < 0x80) {
    r.used = 1;
    r.valid = true;
    r.key = kAsciiKeys[b];
    return r;
  }
  char32_t c = 0;
  const int n = DecodeUtf8(buf, pos, c);
  if (n == 0 && !final) return r;
  if (n <= 0) {  // not UTF-8, or cut off for good: drop one byte
    r.used = 1;
    return r;
  }
  r.used = static_cast<size_t>(n);
  const int cp = UnicodeToCp852(c);
  if (cp < 0) return r;
  r.valid = true;
  r.key.ch = static_cast<uint8_t>(cp);
  for (const WideKey& k : kHungarianLetters) {
    if (k.c == c) {
      r.key.scan = k.scan;
      r.key.shift = k.shift;
    }
  }
  return r;
}

uint16_t Clamp16(unsigned v) { return static_cast<uint16_t>(std::min(v, 0xFFFFu)); }

}  // namespace

KeyDialect KeyDialectForTerm(std::string_view term) {
  return term.substr(0, 5) == "linux" ? KeyDialect::kLinuxConsole : KeyDialect::kXterm;
}

void KeyDecoder::Feed(std::string_view bytes, std::vector<InputEvent>& out) {
  std::string buf;
  buf.swap(pending_);
  buf.append(bytes);
  size_t pos = 0;
  while (pos < buf.size()) {
    if (skipping_) {
      const uint8_t b = At(buf, pos);
      if (IsParamByte(b) || IsIntermediateByte(b)) {
        ++pos;
        continue;
      }
      skipping_ = false;
      if (IsFinalByte(b)) {
        ++pos;
        continue;
      }
      // Any other byte cuts the sequence short and is read as itself.
    }
    const size_t used = DecodeOne(buf, pos, false, out);
    if (used == 0) break;
    pos += used;
  }
  pending_.assign(buf, pos, std::string::npos);
}

void KeyDecoder::Timeout(std::vector<InputEvent>& out) {
  std::string buf;
  buf.swap(pending_);
  size_t pos = 0;
  while (pos < buf.size()) pos += DecodeOne(buf, pos, true, out);
  // Whatever was being skipped was cut off.
  skipping_ = false;
}

size_t KeyDecoder::DecodeOne(std::string_view buf, size_t pos, bool final,
                             std::vector<InputEvent>& out) {
  const uint8_t b = At(buf, pos);
  if (b == kEscByte) return DecodeEsc(buf, pos, final, out);
  if (b == kBreakByte) {
    InputEvent e;
    e.type = InputEvent::kBreak;
    e.raw = std::string(buf.substr(pos, 1));
    out.push_back(std::move(e));
    return 1;
  }
  return DecodeText(buf, pos, final, out);
}

size_t KeyDecoder::DecodeText(std::string_view buf, size_t pos, bool final,
                              std::vector<InputEvent>& out) {
  const CharRead r = ReadChar(buf, pos, final);
  if (r.used > 0 && r.valid) EmitKey(out, r.key, buf.substr(pos, r.used));
  return r.used;
}

size_t KeyDecoder::DecodeEsc(std::string_view buf, size_t pos, bool final,
                             std::vector<InputEvent>& out) {
  const size_t n = buf.size();
  if (pos + 1 >= n) {
    if (!final) return 0;
    EmitKey(out, kEscKey, buf.substr(pos, 1));
    return 1;
  }
  const uint8_t b1 = At(buf, pos + 1);
  if ((b1 == '[' || b1 == 'O') && pos + 2 < n)
    return b1 == '[' ? DecodeCsi(buf, pos, final, out) : DecodeSs3(buf, pos, final, out);
  if ((b1 == '[' || b1 == 'O') && !final) return 0;
  // ("Esc [" and "Esc O" that nothing followed are Alt+[ and Alt+O, below.)

  if (b1 == kEscByte) {
    // Esc Esc: a key sequence with Alt when the second Esc starts a whole
    // sequence, otherwise the Esc key twice.
    if (pos + 2 >= n) {
      if (!final) return 0;
    } else if (At(buf, pos + 2) == '[' || At(buf, pos + 2) == 'O') {
      const uint16_t buttons = mouseButtons_;
      const bool skipping = skipping_;
      std::vector<InputEvent> inner;
      const size_t used = DecodeEsc(buf, pos + 1, final, inner);
      if (used == 0) return 0;
      if (used > 2 && inner.size() == 1 && inner[0].type == InputEvent::kKey) {
        EmitKey(out, WithShift(inner[0].key, kAlt), buf.substr(pos, 1 + used));
        return 1 + used;
      }
      // Not a key: the sequence is decoded again after this Esc.
      mouseButtons_ = buttons;
      skipping_ = skipping;
    }
    EmitKey(out, kEscKey, buf.substr(pos, 1));
    return 1;
  }
  if (b1 == kBreakByte) {  // Ctrl+C always breaks
    EmitKey(out, kEscKey, buf.substr(pos, 1));
    return 1;
  }

  // Esc and a character: the key of that character with Alt.
  const CharRead r = ReadChar(buf, pos + 1, final);
  if (r.used == 0) return 0;
  if (!r.valid || r.key.scan == 0) {
    // Nothing Alt could be added to: the Esc key, then the character.
    EmitKey(out, kEscKey, buf.substr(pos, 1));
    return 1;
  }
  PhysicalKey k = r.key;
  const bool letter = (b1 >= 'A' && b1 <= 'Z') || (b1 >= 'a' && b1 <= 'z') || b1 >= 0x80;
  if (letter) k.shift &= static_cast<uint8_t>(~kLeftShift);
  EmitKey(out, WithShift(k, kAlt), buf.substr(pos, 1 + r.used));
  return 1 + r.used;
}

// buf[pos] is Esc, buf[pos + 1] '[', and at least one byte follows.
size_t KeyDecoder::DecodeCsi(std::string_view buf, size_t pos, bool final,
                             std::vector<InputEvent>& out) {
  const size_t n = buf.size();
  const size_t start = pos + 2;
  const uint8_t c0 = At(buf, start);

  if (c0 == '[') {  // Esc [ [ X
    if (start + 1 >= n) return final ? n - pos : 0;
    const uint8_t f = At(buf, start + 1);
    if (!IsFinalByte(f)) return start + 1 - pos;  // cut short: that byte is read again
    if (const PhysicalKey* k = Find(kLinuxFKeys, static_cast<char>(f)))
      EmitKey(out, *k, buf.substr(pos, 4));
    return 4;
  }
  if (c0 == 'M') {  // Esc [ M b x y: mouse report without the SGR form
    if (start + 3 >= n) return final ? n - pos : 0;
    const int b = At(buf, start + 1) - 32;
    const int x = At(buf, start + 2) - 32;
    const int y = At(buf, start + 3) - 32;
    if (b >= 0) Mouse(b, std::max(x, 0), std::max(y, 0), false, buf.substr(pos, 6), out);
    return 6;
  }

  const size_t limit = std::min(n, pos + kMaxSequence);
  const bool privateMarker = c0 >= 0x3C && c0 <= 0x3F;
  size_t j = start;
  while (j < limit && IsParamByte(At(buf, j))) ++j;
  // rxvt ends a key with '$', which is otherwise an intermediate byte.
  const bool rxvtDollar = j < limit && j > start && !privateMarker && buf[j] == '$';
  size_t k = j;
  if (!rxvtDollar) {
    while (k < limit && IsIntermediateByte(At(buf, k))) ++k;
    if (k == pos + kMaxSequence) {  // over-long: dropped up to its final byte
      skipping_ = true;
      return k - pos;
    }
    if (k >= n) return final ? n - pos : 0;
    if (!IsFinalByte(At(buf, k))) return k - pos;  // cut short: that byte is read again
  }
  const size_t used = k + 1 - pos;
  const char f = buf[k];
  const std::string_view raw = buf.substr(pos, used);
  if (k > j && !rxvtDollar) return used;  // no key has intermediate bytes

  if (c0 == '<') {  // SGR mouse: Esc [ < b ; x ; y M (press, motion) or m (release)
    Params p;
    if ((f == 'M' || f == 'm') && ParseParams(buf.substr(start + 1, j - start - 1), p) &&
        p.count == 3)
      Mouse(static_cast<int>(p.v[0]), static_cast<int>(p.v[1]), static_cast<int>(p.v[2]),
            f == 'm', raw, out);
    return used;
  }
  Params p;
  if (privateMarker || !ParseParams(buf.substr(start, j - start), p)) return used;

  for (const FinalShift& fs : kNumberedFinals) {
    if (fs.final != f) continue;
    if (p.count < 1 || p.count > 2 || (f != '~' && p.count != 1)) return used;
    const PhysicalKey* key = Find(kTildeKeys, p.v[0]);
    if (!key)
      key = dialect_ == KeyDialect::kLinuxConsole ? Find(kShiftedFKeysLinux, p.v[0])
                                                  : Find(kShiftedFKeysRxvt, p.v[0]);
    if (key) EmitKey(out, WithShift(*key, fs.shift | ModifierShift(p.count == 2 ? p.v[1] : 1)), raw);
    return used;
  }

  const PhysicalKey* key = Find(kCsiKeys, f);
  if (!key) return used;
  unsigned mod = 1;
  if (p.count == 1) {
    mod = p.v[0];
  } else if (p.count == 2) {
    if (p.v[0] > 1) return used;  // not a key (a cursor position report, say)
    mod = p.v[1];
  } else if (p.count > 2) {
    return used;
  }
  EmitKey(out, WithShift(*key, ModifierShift(mod)), raw);
  return used;
}

// buf[pos] is Esc, buf[pos + 1] 'O', and at least one byte follows.
size_t KeyDecoder::DecodeSs3(std::string_view buf, size_t pos, bool final,
                             std::vector<InputEvent>& out) {
  const size_t n = buf.size();
  const size_t start = pos + 2;
  const size_t limit = std::min(n, pos + kMaxSequence);
  size_t j = start;
  while (j < limit && IsParamByte(At(buf, j))) ++j;
  if (j == pos + kMaxSequence) {
    skipping_ = true;
    return j - pos;
  }
  if (j >= n) return final ? n - pos : 0;
  if (!IsFinalByte(At(buf, j))) return j - pos;
  const size_t used = j + 1 - pos;
  Params p;
  // The modifier is the last parameter: Esc O 5 P and Esc O 1 ; 5 P.
  if (!ParseParams(buf.substr(start, j - start), p) || p.count > 2) return used;
  if (const PhysicalKey* key = Find(kSs3Keys, buf[j]))
    EmitKey(out, WithShift(*key, ModifierShift(p.count ? p.v[p.count - 1] : 1)),
            buf.substr(pos, used));
  return used;
}

// A mouse report: b the button byte (low two bits the button, 3 none; 32
// motion; 64 wheel; 128 extra buttons), x and y 1-based cells.
void KeyDecoder::Mouse(int b, int x, int y, bool release, std::string_view raw,
                       std::vector<InputEvent>& out) {
  if (b & (64 | 128)) return;  // the wheel and extra buttons mean nothing to the system
  static constexpr uint16_t kButtonBit[4] = {1, 4, 2, 0};  // left, middle, right, none
  const uint16_t bit = kButtonBit[b & 3];
  MouseEvent m;
  if (release) {
    mouseButtons_ = bit ? static_cast<uint16_t>(mouseButtons_ & ~bit) : 0;
    m.action = kMouseUp;
  } else if (b & 32) {
    mouseButtons_ = bit ? static_cast<uint16_t>(mouseButtons_ | bit) : 0;
    m.action = kMouseMove;
  } else if (bit == 0) {  // the older form's release, which names no button
    mouseButtons_ = 0;
    m.action = kMouseUp;
  } else {
    mouseButtons_ |= bit;
    m.action = kMouseDown;
  }
  m.buttons = mouseButtons_;
  m.column = Clamp16(x > 0 ? static_cast<unsigned>(x - 1) : 0);
  m.row = Clamp16(y > 0 ? static_cast<unsigned>(y - 1) : 0);
  InputEvent e;
  e.type = InputEvent::kMouse;
  e.mouse = m;
  e.raw = std::string(raw);
  out.push_back(std::move(e));
}

}  // namespace platform
