// Speech Dispatcher's output module protocol: commands, message and settings blocks, and the event order.
#include "sd_kaldro/module_protocol.h"

#include <algorithm>
#include <charconv>

#include "platform/text.h"
#include "platform/words.h"

namespace kaldro::app {

namespace {

constexpr std::string_view kBadSyntax = "302 ERROR BAD SYNTAX\n";
constexpr std::string_view kBadParameter = "303 ERROR INVALID PARAMETER OR VALUE\n";
constexpr std::string_view kUnknownCommand = "300 ERR UNKNOWN COMMAND\n";
constexpr std::string_view kCannotSpeak = "301 ERROR CANT SPEAK\n";

// A whole decimal integer, held to -100..100 as the server's scales run.
bool parseScale(std::string_view text, int& out) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) return false;
  out = std::clamp(value, -100, 100);
  return true;
}

// The server writes absent values as NULL.
std::string nullable(std::string_view value) { return value == "NULL" ? std::string() : std::string(value); }

bool singleWord(std::string_view value) {
  return !value.empty() && value.find_first_of(" \t\r") == std::string_view::npos;
}

}  // namespace

std::string encodeAudioEvent(std::span<const int16_t> samples, int rate) {
  std::string out;
  out.reserve(samples.size() * 2 + 128);
  out += "705-bits=16\n705-num_channels=1\n705-sample_rate=" + std::to_string(rate) +
         "\n705-num_samples=" + std::to_string(samples.size()) + "\n705-big_endian=0\n705-AUDIO";
  out.push_back('\0');
  // The server reads lines: a newline or the escape byte inside the samples goes as the escape
  // byte followed by the byte with bit 5 flipped.
  constexpr char kEscape = 0x7d;
  constexpr char kFlip = 0x20;
  for (const int16_t sample : samples) {
    const auto value = static_cast<uint16_t>(sample);
    for (const char byte : {static_cast<char>(value & 0xff), static_cast<char>(value >> 8)}) {
      if (byte == '\n' || byte == kEscape) {
        out.push_back(kEscape);
        out.push_back(static_cast<char>(byte ^ kFlip));
      } else {
        out.push_back(byte);
      }
    }
  }
  out += "\n705 AUDIO\n";
  return out;
}

std::string ModuleProtocol::takeLine(std::string_view line) {
  if (quit_) return {};
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  switch (reading_) {
    case Reading::Command:
      return command(line);
    case Reading::Message:
      if (line == ".") return finishMessage();
      if (!line.empty() && line.front() == '.') line.remove_prefix(1);  // the server doubles a leading dot
      if (messageOverlong_ || message_.size() + line.size() + 1 > MaxMessageBytes) {
        messageOverlong_ = true;
        message_.clear();
        return {};
      }
      if (messageLines_++ > 0) message_.push_back('\n');
      message_.append(line);
      return {};
    case Reading::Settings:
    case Reading::AudioSettings:
    case Reading::LogSettings: {
      if (line == ".") return finishBlock();
      const size_t equals = line.find('=');
      if (equals == std::string_view::npos || equals == 0 || equals + 1 == line.size()) {
        blockFault_ = true;
        return {};
      }
      const std::string_view key = line.substr(0, equals);
      const std::string_view value = line.substr(equals + 1);
      if (reading_ == Reading::Settings) {
        if (!applySetting(key, value)) blockFault_ = true;
      } else if (reading_ == Reading::AudioSettings) {
        // Sound can only go through the server: the module has no device of its own.
        if (key == "audio_output_method") audioThroughServer_ = value == "server";
      } else if (key != "log_level") {
        blockFault_ = true;
      }
      return {};
    }
  }
  return {};
}

std::string ModuleProtocol::takeOverlongLine() {
  if (reading_ == Reading::Message) {
    messageOverlong_ = true;
    message_.clear();
    return {};
  }
  if (reading_ != Reading::Command) {
    blockFault_ = true;
    return {};
  }
  return std::string(kUnknownCommand);
}

std::string ModuleProtocol::command(std::string_view line) {
  if (line == "INIT") {
    if (initialised_) return "299-" + initMessage_ + "\n299 OK LOADED SUCCESSFULLY\n";
    const bool ready = host_.initialise(initMessage_);
    std::replace(initMessage_.begin(), initMessage_.end(), '\n', ' ');
    if (!ready) {
      quit_ = true;
      return "399-" + initMessage_ + "\n399 ERR CANT INIT MODULE\n";
    }
    initialised_ = true;
    return "299-" + initMessage_ + "\n299 OK LOADED SUCCESSFULLY\n";
  }
  if (line == "QUIT") {
    quit_ = true;
    std::string out;
    if (speaking_) out = stopJob("703 STOP\n");
    return out + "210 OK QUIT\n";
  }
  if (!initialised_) return "300 ERR MODULE NOT INITIALIZED\n";

  const auto startMessage = [&](MessageKind kind) {
    reading_ = Reading::Message;
    messageKind_ = kind;
    message_.clear();
    messageLines_ = 0;
    messageOverlong_ = false;
    return std::string("202 OK RECEIVING MESSAGE\n");
  };
  const auto startBlock = [&](Reading block, std::string_view reply) {
    reading_ = block;
    blockFault_ = false;
    return std::string(reply);
  };
  if (line == "SPEAK") return startMessage(MessageKind::Text);
  if (line == "CHAR") return startMessage(MessageKind::Char);
  if (line == "KEY") return startMessage(MessageKind::Key);
  if (line == "SOUND_ICON") return startMessage(MessageKind::SoundIcon);
  if (line == "SET") return startBlock(Reading::Settings, "203 OK RECEIVING SETTINGS\n");
  if (line == "AUDIO") return startBlock(Reading::AudioSettings, "207 OK RECEIVING AUDIO SETTINGS\n");
  if (line == "LOGLEVEL") return startBlock(Reading::LogSettings, "207 OK RECEIVING LOGLEVEL SETTINGS\n");
  if (line == "STOP") return speaking_ ? stopJob("703 STOP\n") : std::string();
  if (line == "PAUSE") {
    // Speech goes on to the server's next pause mark, where it ends with the pause event.
    if (speaking_) pauseRequested_ = true;
    return {};
  }
  if (line == "LIST VOICES") {
    std::string out;
    for (const VoiceEntry& voice : host_.voices()) {
      if (voice.name.empty()) continue;
      out += "200-" + voice.name + "\t" + (voice.language.empty() ? "none" : voice.language) + "\t" +
             (voice.variant.empty() ? "none" : voice.variant) + "\n";
    }
    return out.empty() ? "304 CANT LIST VOICES\n" : out + "200 OK VOICE LIST SENT\n";
  }
  if (line == "DEBUG OFF") return "200 OK DEBUGGING OFF\n";
  if (line.starts_with("DEBUG ON ") && line.size() > 9) return "200 OK DEBUGGING ON\n";
  if (line.starts_with("DEBUG")) return std::string(kBadSyntax);
  return std::string(kUnknownCommand);
}

std::string ModuleProtocol::finishMessage() {
  reading_ = Reading::Command;
  std::string text = std::move(message_);
  message_.clear();
  if (messageOverlong_ || text.empty()) return std::string(kCannotSpeak);
  if (messageKind_ != MessageKind::Text && messageLines_ > 1) return "305 DATA MORE THAN ONE LINE\n";
  if (messageKind_ == MessageKind::Char && text == "space") text = " ";

  std::string out;
  if (speaking_) out = stopJob("703 STOP\n");  // a server that did not stop first still hears events in order
  ++job_;
  speaking_ = true;
  pauseRequested_ = false;
  out += "200 OK SPEAKING\n701 BEGIN\n";
  host_.startJob(job_, messageKind_, std::move(text), settings_);
  return out;
}

std::string ModuleProtocol::finishBlock() {
  const Reading block = reading_;
  reading_ = Reading::Command;
  if (blockFault_) return std::string(block == Reading::Settings ? kBadParameter : kBadSyntax);
  switch (block) {
    case Reading::Settings:
      return "203 OK SETTINGS RECEIVED\n";
    case Reading::AudioSettings:
      if (!audioThroughServer_)
        return "300-" + platform::cp1252ToUtf8(platform::words::ModuleSoundThroughServer) + "\n300 MODULE ERROR\n";
      return "203 OK AUDIO INITIALIZED\n";
    default:
      return "203 OK LOGLEVEL SET\n";
  }
}

bool ModuleProtocol::applySetting(std::string_view key, std::string_view value) {
  if (key == "rate") return parseScale(value, settings_.rate);
  if (key == "pitch") return parseScale(value, settings_.pitch);
  if (key == "pitch_range") return parseScale(value, settings_.pitchRange);
  if (key == "volume") return parseScale(value, settings_.volume);
  if (key == "punctuation_mode") {
    static constexpr std::pair<std::string_view, PunctuationMode> kModes[] = {
        {"none", PunctuationMode::None}, {"some", PunctuationMode::Some},
        {"most", PunctuationMode::Most}, {"all", PunctuationMode::All}};
    for (const auto& [name, mode] : kModes)
      if (value == name) return settings_.punctuation = mode, true;
    return false;
  }
  if (key == "spelling_mode") {
    if (value != "on" && value != "off") return false;
    settings_.spelling = value == "on";
    return true;
  }
  if (key == "cap_let_recogn") {
    static constexpr std::pair<std::string_view, CapitalMode> kModes[] = {
        {"none", CapitalMode::None}, {"spell", CapitalMode::Spell}, {"icon", CapitalMode::Icon}};
    for (const auto& [name, mode] : kModes)
      if (value == name) return settings_.capitals = mode, true;
    return false;
  }
  if (key == "voice") {
    if (!singleWord(value)) return false;
    settings_.voiceType = nullable(value);
    return true;
  }
  if (key == "language") {
    if (!singleWord(value)) return false;
    settings_.language = nullable(value);
    return true;
  }
  if (key == "synthesis_voice") {
    settings_.synthesisVoice = nullable(value);
    return true;
  }
  return false;
}

std::string ModuleProtocol::stopJob(std::string_view event) {
  host_.cancelJob(job_);
  speaking_ = false;
  pauseRequested_ = false;
  return std::string(event);
}

std::string ModuleProtocol::takeAudio(uint64_t job, std::span<const int16_t> samples, int rate) {
  if (job != job_ || !speaking_) return {};
  std::string out;
  const size_t perBlock = MaxAudioBytes / sizeof(int16_t);
  for (size_t at = 0; at < samples.size(); at += perBlock)
    out += encodeAudioEvent(samples.subspan(at, std::min(perBlock, samples.size() - at)), rate);
  return out;
}

std::string ModuleProtocol::takeMark(uint64_t job, std::string_view name) {
  if (job != job_ || !speaking_) return {};
  std::string out = "700-" + std::string(name) + "\n700 INDEX MARK\n";
  if (pauseRequested_ && name.starts_with(PauseMarkPrefix)) out += stopJob("704 PAUSE\n");
  return out;
}

std::string ModuleProtocol::takeIcon(uint64_t job, std::string_view path) {
  if (job != job_ || !speaking_) return {};
  return "706-" + std::string(path) + "\n706 ICON\n";
}

std::string ModuleProtocol::takeJobEnd(uint64_t job) {
  if (job != job_ || !speaking_) return {};
  speaking_ = false;
  pauseRequested_ = false;
  return "702 END\n";
}

}  // namespace kaldro::app
