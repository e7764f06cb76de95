// One voice: what every synthesizer of the family offers the programs that speak through it (the
// speech services' engine adapter, the Speech Dispatcher module), whatever engine makes the sound.
#pragma once

#include <cmath>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sound_sink.h"
#include "platform/status.h"
#include "tts/natural_reading.h"

namespace kaldro::voice {

// How a voice speaks, on one scale for every voice: each factor is 1 at the voice's own pace, and
// each program turns its own knobs (speed levels, the server's -100..100) into it.
struct Pace {
  double duration = 1.0;  // the length of speech: 2 is twice as slow, 0.5 twice as fast
  double pitch = 1.0;     // the voice's pitch times this
  double volume = 1.0;    // the samples times this, 0 to 1
};

class Voice {
 public:
  virtual ~Voice() = default;
  // Ok when the voice can speak; else why not (CP1252, one line).
  virtual platform::Status start() = 0;
  // From the next text on.
  virtual void setPace(const Pace& pace) = 0;
  virtual void setReading(tts::Reading reading) = 0;
  // Speaks a text (CP1252) into sink as one utterance. False when the sink refused samples or the
  // voice failed (then failure() says why).
  virtual bool speak(std::string_view text, platform::SoundSink& sink) = 0;
  // One character, as the character echo says it.
  virtual bool speakCharacter(uint8_t character, platform::SoundSink& sink) = 0;
  // The name the voice says for a character (CP1252); empty when it has none.
  virtual std::string characterName(uint8_t character) const = 0;
  // Ok, or why the last speak failed through the voice's own fault (not a refusing sink).
  virtual platform::Status failure() const = 0;
};

// Passes samples on at a volume, and remembers whether the sink refused them.
class VolumeSink final : public platform::SoundSink {
 public:
  VolumeSink(platform::SoundSink& sink, double volume) : sink_(sink), volume_(volume) {}
  void beginUtterance(int rate) override { sink_.beginUtterance(rate); }
  bool takeSamples(std::span<const int16_t> samples) override {
    if (refused_) return false;
    if (volume_ >= 1.0) {
      refused_ = !sink_.takeSamples(samples);
    } else {
      scaled_.resize(samples.size());
      for (size_t i = 0; i < samples.size(); ++i)
        scaled_[i] = static_cast<int16_t>(std::lround(samples[i] * volume_));
      refused_ = !sink_.takeSamples(scaled_);
    }
    return !refused_;
  }
  bool endUtterance() override { return sink_.endUtterance(); }
  bool stillWanted() override { return !refused_ && sink_.stillWanted(); }
  bool refused() const { return refused_; }

 private:
  platform::SoundSink& sink_;
  double volume_;
  std::vector<int16_t> scaled_;
  bool refused_ = false;
};

}  // namespace kaldro::voice
