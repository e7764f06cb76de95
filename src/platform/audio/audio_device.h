// The wave output device: blocks of PCM sound in, each finished block reported back as a host event.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/host/host.h"
#include "platform/status.h"
#include "platform/run_options.h"
#include "platform/wave_file.h"

namespace kaldro::platform {

// Result codes of the device, numbered as the wave player's callers have always seen them.
namespace audio_error {
inline constexpr int Ok = 0;
inline constexpr int Failed = 1;         // unspecified failure
inline constexpr int NoDevice = 2;       // no sound device here
inline constexpr int Allocated = 4;      // the device is busy; worth trying again later
inline constexpr int InvalidHandle = 5;  // the device is not open
inline constexpr int NoDriver = 6;
inline constexpr int NoMemory = 7;
inline constexpr int BadFormat = 32;     // a format the device cannot play
inline constexpr int StillPlaying = 33;  // a block released while still queued
}  // namespace audio_error

struct AudioFormat {
  int rate = FamilySampleRate;  // samples per second
  int bits = 8;      // 8 (unsigned) or 16 (signed, little-endian)
  int channels = 1;  // 1 or 2
  bool operator==(const AudioFormat&) const = default;

  // What a sound file can hold: below 4000 samples a second nothing is speech or music, and one
  // block of such a rate would grow without measure when converted for the card.
  static constexpr int MinRate = 4000;
  static constexpr int MaxRate = 384000;
  bool playable() const {
    return rate >= MinRate && rate <= MaxRate && (bits == 8 || bits == 16) && (channels == 1 || channels == 2);
  }
  int bytesPerFrame() const { return bits / 8 * channels; }
};

class AudioDevice {
 public:
  virtual ~AudioDevice() = default;

  virtual std::string_view name() const = 0;

  // Opens the device for sound of this format: audio_error::Ok or an error code.
  virtual int open(const AudioFormat& format) = 0;
  virtual bool isOpen() const = 0;
  // Queues one block behind the others. The bytes are copied. When the block has played, a
  // WaveDone event carrying the cookie reaches the program's thread through the host.
  // The device is a byte stream: a sample split between two blocks joins up again.
  virtual int write(const uint8_t* bytes, size_t length, uint64_t cookie) = 0;
  // Called for each reported block before its storage is reused; an error code means the
  // block is somehow still in use.
  virtual int release(uint64_t cookie) { return audio_error::Ok; }
  // Drops every queued block at once; nothing more is reported for them.
  virtual void reset() = 0;
  // Resets and closes; the next open may choose another format.
  virtual void close() = 0;

  // A continuous tone, mixed with the blocks and independent of open and close; the samples
  // repeat until stopLoop. Devices that cannot mix keep the tone silent.
  virtual void playLoop(const AudioFormat& format, const uint8_t* bytes, size_t length) {}
  virtual void stopLoop() {}
  // Why sound given to the device was lost for good (a file that could not be written, or full to
  // the format's limit), in CP1252; empty while nothing was.
  virtual std::string failure() const { return {}; }
};

// The backends. Each makes a device even when it cannot play: its open then reports the error (the
// file device also says at once, in the status, that its file could not be made).
std::unique_ptr<AudioDevice> makeAudioDeviceNone(Host& host);
Made<AudioDevice> makeAudioDeviceWav(Host& host, const std::string& path);
std::unique_ptr<AudioDevice> makeAudioDeviceSdl(Host& host);

// KALDRO_AUDIO's values: "device" (the sound card), "none" (nothing heard, real or virtual time
// kept), "wav:PATH" (everything played goes into one WAV file). Always a device: an unknown value
// gives "none", with the reason in the status.
Made<AudioDevice> makeAudioDevice(Host& host, std::string choice);

// The value of KALDRO_AUDIO, or the host's default: "none" on the headless host, "device" elsewhere.
std::string audioChoice(const RunOptions& options, const Host& host);

}  // namespace kaldro::platform
