// The keyboard layer (see keyboard.h).
//
// Input is pulled from the terminal only when someone asks for it; the
// events are sorted into a key queue and a mouse queue as they come, so that
// a reader of keys never loses a mouse event and the other way round. Both
// queues are bounded: a key reader that never looks at the mouse must not
// make memory grow (the oldest mouse events go), and a paste larger than any
// screen can take is cut (the newest keys go).
#include "platform/keyboard.h"

#include <signal.h>

#include <array>
#include <chrono>
#include <csignal>
#include <deque>
#include <vector>

#include "platform/terminal.h"

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kMaxQueuedKeys = 4096;
constexpr size_t kMaxQueuedMouseEvents = 256;
constexpr int kSliceMs = 1000;

volatile std::sig_atomic_t breakFlag = 0;

void OnInterrupt(int) { breakFlag = 1; }

// ---- Scan code remapping --------------------------------------------------

enum Modifier : uint8_t { kModNone, kModShift, kModCtrl, kModAlt };

// Alt is looked at first, then Ctrl, then Shift.
Modifier ModifierOf(uint8_t shift) {
  if (shift & kAlt) return kModAlt;
  if (shift & kCtrl) return kModCtrl;
  if (shift & (kLeftShift | kRightShift)) return kModShift;
  return kModNone;
}

// The keys first..last with modifier mod are delivered as to, to + 1, ...
// Rows marked strokes apply to event-style reading too: there the function
// keys and Alt+digits are remapped, the cursor and editing keys keep their
// code so that they keep their function-key code with any modifier.
struct RemapRow {
  Modifier mod;
  uint8_t first, last, to;
  bool strokes;
};
constexpr RemapRow kRemapRows[] = {
    {kModAlt, 2, 13, 120, true},   // 1..0, -, =
    {kModAlt, 59, 68, 104, true},  // F1..F10
    {kModAlt, 87, 88, 139, true},  // F11, F12
    {kModAlt, 71, 73, 151, false}, {kModAlt, 75, 75, 155, false},  // Home, Up, PgUp, Left
    {kModAlt, 77, 77, 157, false}, {kModAlt, 79, 83, 159, false},  // Right, End..Del
    {kModAlt, 28, 28, 166, false},  // Enter
    {kModAlt, 53, 53, 164, false},  // keypad /
    {kModCtrl, 15, 15, 148, false},  // Tab
    {kModCtrl, 59, 68, 94, true},
    {kModCtrl, 87, 88, 137, true},
    {kModCtrl, 53, 53, 149, false},  // keypad /
    {kModCtrl, 55, 55, 150, false},  // keypad *
    // Home, Up, PgUp, keypad -, Left, keypad 5, Right, keypad +, End, Down, PgDn, Ins, Del
    {kModCtrl, 71, 71, 119, false}, {kModCtrl, 72, 72, 141, false},
    {kModCtrl, 73, 73, 132, false}, {kModCtrl, 74, 74, 142, false},
    {kModCtrl, 75, 75, 115, false}, {kModCtrl, 76, 76, 143, false},
    {kModCtrl, 77, 77, 116, false}, {kModCtrl, 78, 78, 78, false},
    {kModCtrl, 79, 79, 117, false}, {kModCtrl, 80, 80, 145, false},
    {kModCtrl, 81, 81, 118, false}, {kModCtrl, 82, 82, 146, false},
    {kModCtrl, 83, 83, 147, false},
    {kModShift, 59, 68, 84, true},
    {kModShift, 87, 88, 135, true},
    {kModNone, 87, 88, 133, true},
};

using RemapTable = std::array<std::array<uint8_t, 256>, 4>;  // [modifier][scan], 0: unchanged

constexpr RemapTable MakeRemapTable(bool strokesOnly) {
  RemapTable t{};
  for (const RemapRow& r : kRemapRows) {
    if (strokesOnly && !r.strokes) continue;
    for (int s = r.first; s <= r.last; ++s) t[r.mod][s] = static_cast<uint8_t>(r.to + s - r.first);
  }
  return t;
}
constexpr RemapTable kCharRemap = MakeRemapTable(false);
constexpr RemapTable kStrokeRemap = MakeRemapTable(true);

uint8_t Remap(const RemapTable& t, uint8_t scan, uint8_t shift) {
  const uint8_t to = t[ModifierOf(shift)][scan];
  return to ? to : scan;
}

// Scan codes with a function-key code: first..last give code, code + 1, ...
struct FunctionRow {
  uint8_t first, last;
  uint16_t code;
};
constexpr FunctionRow kFunctionRows[] = {
    {59, 68, kFnF1},    {84, 93, kFnF1},    {94, 103, kFnF1},   {104, 113, kFnF1},
    {133, 134, kFnF11}, {135, 136, kFnF11}, {137, 138, kFnF11}, {139, 140, kFnF11},
    {71, 73, kFnHome},  {75, 77, kFnLeft},  {79, 81, kFnEnd},   {82, 83, kFnIns},
};

// ---- Queues ---------------------------------------------------------------

struct State {
  std::deque<PhysicalKey> keys;
  std::deque<MouseEvent> mouse;
  int pendingScan = -1;  // the second byte of a character-style read
  bool placed = false;
  KeyStroke placedStroke = 0;
  bool resized = false;
  // Alt+keypad digits being collected.
  bool collecting = false;
  unsigned altCode = 0;
  Clock::time_point lastDigit;
  int altPauseMs = kDefaultAltDigitsPauseMs;
};

State& S() {
  static State s;
  return s;
}

// The digit of a keypad key pressed with Alt (and without Ctrl), or -1.
int AltPadDigit(const PhysicalKey& k) {
  if (!k.keypad || k.enhanced || (k.shift & (kAlt | kCtrl)) != kAlt) return -1;
  static constexpr uint8_t kDigitScans[10] = {82, 79, 80, 81, 75, 76, 77, 71, 72, 73};
  for (int d = 0; d < 10; ++d)
    if (kDigitScans[d] == k.scan) return d;
  return -1;
}

void QueueKey(const PhysicalKey& k) {
  State& s = S();
  if (s.keys.size() < kMaxQueuedKeys) s.keys.push_back(k);
}

void FinishAltDigits() {
  State& s = S();
  if (!s.collecting) return;
  s.collecting = false;
  const unsigned code = s.altCode;
  s.altCode = 0;
  if (code == 0) return;  // no character has the code 0
  PhysicalKey k;
  k.ch = static_cast<uint8_t>(code);
  QueueKey(k);
}

void CheckAltPause() {
  State& s = S();
  if (s.collecting && Clock::now() - s.lastDigit >= std::chrono::milliseconds(s.altPauseMs))
    FinishAltDigits();
}

void (*inputObserver)(const InputEvent&) = nullptr;

void Route(const InputEvent& e) {
  State& s = S();
  if (inputObserver) inputObserver(e);
  switch (e.type) {
    case InputEvent::kKey:
      if (const int d = AltPadDigit(e.key); d >= 0) {
        s.altCode = (s.altCode * 10 + static_cast<unsigned>(d)) % 256;
        s.collecting = true;
        s.lastDigit = Clock::now();
        return;
      }
      FinishAltDigits();
      QueueKey(e.key);
      return;
    case InputEvent::kMouse:
      FinishAltDigits();
      if (s.mouse.size() >= kMaxQueuedMouseEvents) s.mouse.pop_front();
      s.mouse.push_back(e.mouse);
      return;
    case InputEvent::kBreak:
      FinishAltDigits();
      breakFlag = 1;
      return;
    case InputEvent::kResize:
      s.resized = true;
      return;
  }
}

// Waits at most timeoutMs for input and sorts what came.
void Pump(int timeoutMs) {
  std::vector<InputEvent> events;
  CurrentTerminal().ReadEvents(timeoutMs, events);
  for (const InputEvent& e : events) Route(e);
  CheckAltPause();
}

// Sorts everything the terminal has ready, without waiting.
void Poll() {
  std::vector<InputEvent> events;
  // Bounded, so that a terminal that never stops sending cannot hold us here.
  for (int i = 0; i < 256; ++i) {
    events.clear();
    if (!CurrentTerminal().ReadEvents(0, events)) break;
    for (const InputEvent& e : events) Route(e);
  }
  CheckAltPause();
}

// How long one wait may last: a slice, or less when collected Alt digits
// fall due earlier.
int WaitSliceMs() {
  const State& s = S();
  if (!s.collecting) return kSliceMs;
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      s.lastDigit + std::chrono::milliseconds(s.altPauseMs) - Clock::now());
  if (left.count() < 1) return 1;
  return left.count() > kSliceMs ? kSliceMs : static_cast<int>(left.count());
}

}  // namespace

uint8_t RemapScanCode(uint8_t scan, uint8_t shift) { return Remap(kCharRemap, scan, shift); }

uint16_t FunctionKeyOfScan(uint8_t scan) {
  for (const FunctionRow& r : kFunctionRows)
    if (scan >= r.first && scan <= r.last) return static_cast<uint16_t>(r.code + scan - r.first);
  return 0;
}

KeyStroke StrokeOfKey(const PhysicalKey& key) {
  if (key.ch != 0)
    return MakeKeyStroke(static_cast<uint16_t>(key.ch | key.scan << 8), key.shift, kStrokeChar);
  const uint8_t scan = Remap(kStrokeRemap, key.scan, key.shift);
  if (const uint16_t fn = FunctionKeyOfScan(scan)) return MakeKeyStroke(fn, key.shift, kStrokeFunction);
  return MakeKeyStroke(static_cast<uint16_t>(scan << 8), key.shift, kStrokePhysical);
}

bool KeyWaiting() {
  if (S().pendingScan >= 0) return true;
  Poll();
  return !S().keys.empty();
}

uint8_t ReadKeyChar() {
  State& s = S();
  if (s.pendingScan >= 0) {
    const auto scan = static_cast<uint8_t>(s.pendingScan);
    s.pendingScan = -1;
    return scan;
  }
  while (!KeyWaiting()) Pump(WaitSliceMs());
  const PhysicalKey k = s.keys.front();
  s.keys.pop_front();
  // Keys of the grey block deliver their scan code even where they carry a
  // character (keypad /), except the keypad's Enter.
  if (k.ch != 0 && (!k.enhanced || k.ch == 13)) return k.ch;
  s.pendingScan = RemapScanCode(k.scan, k.shift);
  return 0;
}

bool KeyStrokeReady(KeyStroke* next) {
  State& s = S();
  if (s.placed) {
    if (next) *next = s.placedStroke;
    return true;
  }
  Poll();
  if (s.keys.empty()) return false;
  if (next) *next = StrokeOfKey(s.keys.front());
  return true;
}

KeyStroke TakeKeyStroke() {
  State& s = S();
  if (s.placed) {
    s.placed = false;
    return s.placedStroke;
  }
  for (;;) {
    Poll();
    if (!s.keys.empty()) break;
    Pump(WaitSliceMs());
    if (!s.keys.empty()) break;
  }
  const PhysicalKey k = s.keys.front();
  s.keys.pop_front();
  return StrokeOfKey(k);
}

void PlaceKeyStroke(KeyStroke stroke) {
  S().placed = true;
  S().placedStroke = stroke;
}

bool MouseEventWaiting() {
  Poll();
  return !S().mouse.empty();
}

bool TakeMouseEvent(MouseEvent& event) {
  State& s = S();
  Poll();
  if (s.mouse.empty()) return false;
  event = s.mouse.front();
  s.mouse.pop_front();
  return true;
}

bool TakeResize() {
  Poll();
  const bool r = S().resized;
  S().resized = false;
  return r;
}

bool BreakFlag() { return breakFlag != 0; }

void SetBreakFlag(bool on) { breakFlag = on ? 1 : 0; }

void InstallBreakSignal() {
  struct sigaction sa {};
  sa.sa_handler = OnInterrupt;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  sigaction(SIGINT, &sa, nullptr);
}

namespace {
bool InputThere() {
  const State& s = S();
  return s.placed || s.pendingScan >= 0 || !s.keys.empty() || !s.mouse.empty() || s.resized ||
         breakFlag != 0;
}
}  // namespace

bool WaitForInput(int timeoutMs) {
  Poll();
  if (InputThere()) return true;
  const Clock::time_point deadline =
      timeoutMs < 0 ? Clock::time_point::max() : Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    int wait = WaitSliceMs();
    if (timeoutMs >= 0) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) return InputThere();
      if (left < wait) wait = static_cast<int>(left);
    }
    Pump(wait);
    if (InputThere()) return true;
  }
}

void SetInputObserver(void (*observer)(const InputEvent& event)) { inputObserver = observer; }

bool TakeKey(PhysicalKey& key) {
  Poll();
  State& s = S();
  if (s.keys.empty()) return false;
  key = s.keys.front();
  s.keys.pop_front();
  return true;
}

void SetAltDigitsPauseMs(int ms) { S().altPauseMs = ms < 0 ? 0 : ms; }

void ResetKeyboard() {
  S() = State();
  breakFlag = 0;
}

}  // namespace platform
