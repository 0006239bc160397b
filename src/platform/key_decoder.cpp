// Placeholder: printable ASCII only. The full decoder replaces this file.
#include "platform/key_decoder.h"

namespace platform {

void KeyDecoder::Feed(std::string_view bytes, std::vector<InputEvent>& out) {
  for (char c : bytes) {
    InputEvent e;
    e.key.ch = static_cast<uint8_t>(c);
    e.raw = std::string(1, c);
    out.push_back(e);
  }
}

void KeyDecoder::Timeout(std::vector<InputEvent>&) { pending_.clear(); }

}  // namespace platform
