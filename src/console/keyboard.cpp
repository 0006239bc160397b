#include "console/keyboard.h"

namespace console {

std::string PendingKeyText;

uint8_t ReadKeyCode() {
  const uint8_t ch = platform::ReadKeyChar();
  if (ch != 0) return ch;
  return static_cast<uint8_t>(platform::ReadKeyChar() | 0x80);
}

void PushKey(uint16_t character, uint8_t kind) {
  platform::PlaceKeyStroke(static_cast<KeyStroke>(character) |
                           static_cast<KeyStroke>(kind) << 24);
}

void PushKeys(std::string_view text) {
  PendingKeyText.assign(text.substr(0, kPendingKeyTextCapacity));
  const size_t pushed = PendingKeyText.size() < 15 ? PendingKeyText.size() : 15;
  for (size_t i = 0; i < pushed; ++i) PushKey(static_cast<uint8_t>(PendingKeyText[i]), 0);
}

bool BreakFlag() { return platform::BreakFlag(); }

void SetBreakFlag(bool on) { platform::SetBreakFlag(on); }

void InstallBreakHandler() { platform::InstallBreakSignal(); }

void ResetKeyboardInput() {
  PendingKeyText.clear();
  platform::ResetKeyboard();
}

}  // namespace console
