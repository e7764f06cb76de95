// The terminal's key-sequence decoder: bytes as they arrive, in pieces and at times the input picks.
#include "platform/host/terminal_keys.h"
#include "targets.h"

namespace kaldro::fuzz {

void fuzzTerminalKeys(std::span<const uint8_t> input) {
  const std::string_view bytes(reinterpret_cast<const char*>(input.data()), input.size());
  (void)platform::decodeTerminalKeys(bytes);
  // The first byte of each piece says how long it is and how much later it arrives.
  platform::TerminalKeyDecoder decoder;
  std::vector<platform::HostEvent> events;
  int64_t now = 0;
  for (size_t pos = 0; pos < bytes.size();) {
    const auto control = static_cast<uint8_t>(bytes[pos++]);
    const size_t length = std::min<size_t>(control & 0x0F, bytes.size() - pos);
    now += (control >> 4) * 10;
    decoder.expire(now, events);
    decoder.feed(bytes.substr(pos, length), now, events);
    pos += length;
  }
  if (auto deadline = decoder.deadline()) decoder.expire(*deadline, events);
}

}  // namespace kaldro::fuzz
