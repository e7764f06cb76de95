// Speech Dispatcher's output module protocol as a state machine: the server's lines in, replies, events and work out.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kaldro::app {

enum class PunctuationMode { None, Some, Most, All };
enum class CapitalMode { None, Spell, Icon };
enum class MessageKind { Text, Char, Key, SoundIcon };

// What the server's SET blocks have said so far; numbers run from -100 to 100.
struct ModuleSettings {
  int rate = 0;
  int pitch = 0;
  int pitchRange = 0;
  int volume = 100;
  PunctuationMode punctuation = PunctuationMode::Some;
  bool spelling = false;
  CapitalMode capitals = CapitalMode::None;
  std::string voiceType;       // MALE1 ... CHILD_FEMALE
  std::string language;        // empty: none given
  std::string synthesisVoice;  // empty: the module's default voice
};

struct VoiceEntry {
  std::string name;
  std::string language;
  std::string variant;
};

// What the protocol asks of the program around it.
class ModuleHost {
 public:
  virtual ~ModuleHost() = default;
  // Loads the voices once; message (one line, UTF-8) tells what was found or why nothing can speak.
  virtual bool initialise(std::string& message) = 0;
  virtual std::vector<VoiceEntry> voices() = 0;
  // Starts speaking a message as job number `job`; its sound and marks come back through the
  // protocol's take* calls with that number, ending with takeJobEnd.
  virtual void startJob(uint64_t job, MessageKind kind, std::string text, const ModuleSettings& settings) = 0;
  // Nothing more of the job is wanted (its late output is dropped by the protocol anyway).
  virtual void cancelJob(uint64_t job) = 0;
};

// 16-bit mono samples as the server's audio event carries them (at most MaxAudioBytes a block).
std::string encodeAudioEvent(std::span<const int16_t> samples, int rate);

class ModuleProtocol {
 public:
  // Audio blocks stay small so that the server's queue is fed steadily and a stop finds little queued.
  static constexpr size_t MaxAudioBytes = 10000;
  // The most text one message may carry; beyond it the message is refused (the rest is read and dropped).
  static constexpr size_t MaxMessageBytes = 4 * 1024 * 1024;
  // A server's index mark whose reach may pause speech.
  static constexpr std::string_view PauseMarkPrefix = "__spd_";

  explicit ModuleProtocol(ModuleHost& host) : host_(host) {}

  // One line from the server, without its newline. Returns what to write back (empty: nothing).
  std::string takeLine(std::string_view line);
  // A line too long to keep came in (it is dropped): refused like a bad command or message.
  std::string takeOverlongLine();

  // The running job's output, in the order it was made; output of any other job is dropped.
  std::string takeAudio(uint64_t job, std::span<const int16_t> samples, int rate);
  std::string takeMark(uint64_t job, std::string_view name);
  std::string takeIcon(uint64_t job, std::string_view path);
  std::string takeJobEnd(uint64_t job);

  bool quitRequested() const { return quit_; }
  bool initialised() const { return initialised_; }

 private:
  enum class Reading { Command, Message, Settings, AudioSettings, LogSettings };

  std::string command(std::string_view line);
  std::string finishMessage();
  std::string finishBlock();
  std::string stopJob(std::string_view event);
  // A SET line: false when the key is unknown or its value is not one the key takes.
  bool applySetting(std::string_view key, std::string_view value);

  ModuleHost& host_;
  ModuleSettings settings_;
  bool initialised_ = false;
  std::string initMessage_;
  bool quit_ = false;

  Reading reading_ = Reading::Command;
  MessageKind messageKind_ = MessageKind::Text;
  std::string message_;
  size_t messageLines_ = 0;
  bool messageOverlong_ = false;
  bool blockFault_ = false;
  bool audioThroughServer_ = false;

  uint64_t job_ = 0;
  bool speaking_ = false;
  bool pauseRequested_ = false;
};

}  // namespace kaldro::app
