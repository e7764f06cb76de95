// How the wave player cuts a data chunk into pieces.
#include "audio/wave_format.h"

#include <algorithm>

namespace kaldro::audio {

size_t wavePieceSize(size_t remaining) {
  constexpr size_t kSlot = 65534;
  if (remaining > kSlot && remaining < kSlot + 256) return kSlot - 256;
  return std::min(remaining, kSlot);
}

}  // namespace kaldro::audio
