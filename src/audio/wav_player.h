// The wave player: WAV files, WAV images and raw samples through a ring of four device slots.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "audio/wave_format.h"
#include "console/console.h"
#include "platform/audio/audio_device.h"

namespace kaldro::audio {

struct FileSampleFormat;

class WavPlayer {
 public:
  static constexpr int SlotCount = 4;
  static constexpr size_t SlotBytes = 65534;
  // Result of playWaveFile for a file that cannot be read or is no WAV file.
  static constexpr int FileError = -1;

  WavPlayer(console::Console& console, platform::AudioDevice& device);
  ~WavPlayer();
  WavPlayer(const WavPlayer&) = delete;
  WavPlayer& operator=(const WavPlayer&) = delete;

  // Plays a WAV file to its end or until a key is pressed. 0: played or stopped by a key;
  // FileError; audio_error::BadFormat for sound no device plays (no channel, rate 0, 12-bit ...);
  // else the device's open error. 24- and 32-bit, floating-point and many-channel files are
  // converted to 16 bits (many channels mixed down to one).
  int playWaveFile(const std::string& name);
  // Plays an image (header and samples); returns once the last block is queued. FileError when
  // the image is no WAV image, else as playWaveData.
  int playWaveImage(std::span<const uint8_t> image);
  // Plays raw samples; returns once the last block is queued. 0, or the device's open error.
  int playWaveData(const uint8_t* data, size_t length, int rate, int bits, int channels);
  // True while blocks are queued. Pumps messages first; stops and closes the device when
  // nothing is queued or a key waits.
  bool waveBusy();
  // Stops at once: queued blocks are dropped and the device closed.
  void stopWave();

  void setSpeedups(bool fastRate, bool dropPeriods) {
    fastRate_ = fastRate;
    dropPeriods_ = dropPeriods;
  }
  bool fastRate() const { return fastRate_; }
  void setFastRate(bool on) { fastRate_ = on; }
  bool dropPeriods() const { return dropPeriods_; }
  void setDropPeriods(bool on) { dropPeriods_ = on; }
  // Whether a key stops the sound: the console's one answer, which the engines and speech share.
  bool interruptOnKey() const { return console_.soundStopsOnKey(); }
  // True when a key waits and keys stop the sound (the console's one question).
  bool keyStopsSound() { return keyStops(); }

  // A finished block, as the console hands it back.
  void onWaveDone(uint64_t cookie);

  int queuedBlocks() const { return queued_; }
  bool deviceOpen() const { return deviceOpen_; }

 private:
  int openWaveDevice();
  int useWaveFormat(int rate, int bits, int channels);
  bool submitWaveBlock(const uint8_t* data, size_t n);
  int playSamples(const uint8_t* data, size_t length, int rate, int bits, int channels);
  // Reads length bytes of samples from the file's position on and plays them, converted as needed.
  int playFileSamples(std::FILE* file, size_t length, const FileSampleFormat& format, int rate);
  bool keyStops() { return console_.keyStopsSound(); }
  // Waits, handling messages, until everything queued has played (or a key stopped it).
  void waitWaveEnd();
  void tracePlay(std::string_view name, int rate, int bits, int channels, size_t bytes);

  console::Console& console_;
  platform::AudioDevice& device_;
  bool deviceOpen_ = false;
  int currentRate_ = 0;
  int currentBits_ = 0;
  int currentChannels_ = 0;
  int slotCount_ = SlotCount;
  std::array<std::vector<uint8_t>, SlotCount> slots_;
  int lastSlot_ = 0;  // 1..4, 0 before the first block
  int queued_ = 0;
  // Cookies carry the ring's generation: a report for a block dropped by a reset is ignored.
  uint64_t generation_ = 1;
  std::vector<uint8_t> readBuffer_;
  std::vector<uint8_t> dropBuffer_;  // the period dropper's work area; the caller's data stays intact
  bool fastRate_ = false;
  bool dropPeriods_ = false;
};

// The texts written when a finished block cannot be released; empty for other codes.
std::string_view releaseErrorText(int code);

}  // namespace kaldro::audio
