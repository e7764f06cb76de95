// The Portuguese text-to-speech engine's lifecycle: start, speak, stop, shut down.
#include "tts/ormia_engine.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>

#include "platform/text.h"
#include "platform/wave_file.h"
#include "platform/words.h"

namespace kaldro::tts {

namespace {
constexpr const char* kDefaultDatabase = "br4";

std::string orDefault(std::string value, const char* fallback) { return value.empty() ? fallback : value; }

bool isFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string replaceAll(std::string pattern, const std::string& name) {
  for (size_t at; (at = pattern.find("%s")) != std::string::npos;) pattern.replace(at, 2, name);
  return pattern;
}

bool blank(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; });
}
}  // namespace

OrmiaEngine::OrmiaEngine(audio::WavPlayer& player, EnginePlaces places, std::function<void(const std::string&)> showMessage)
    : player_(player),
      places_(std::move(places)),
      frontEnd_(std::move(showMessage)),
      scratch_(ScratchSamples),
      image_(platform::WaveHeaderBytes + ScratchSamples * 2) {}

OrmiaEngine::~OrmiaEngine() { shutdownEngine(); }

// One place writes the header of everything the engine makes: 16000 Hz, 16 bits, one channel.
void OrmiaEngine::fillImageHeader(uint8_t* image, uint32_t dataBytes) {
  platform::writeWaveHeader(image, dataBytes, SampleRate, 16, 1, 2);
}

bool OrmiaEngine::readRegistryString(std::string_view path, std::string& out) const {
  const size_t slash = path.rfind('\\');
  if (slash == std::string_view::npos) return false;
  const std::string_view key = path.substr(0, slash);
  // Only the default value of a voice's key exists here.
  if (slash + 1 != path.size()) return false;
  const std::string_view prefix = kVoiceRecordKey.substr(0, kVoiceRecordKey.size() - 1);
  if (key.size() <= prefix.size() + 1 || key.substr(0, prefix.size()) != prefix || key[prefix.size()] != '\\')
    return false;
  const std::string name(key.substr(prefix.size() + 1));
  if (name.find_first_of("/\\") != std::string::npos) return false;
  // Registry keys ignore case; voice folders are named in lower case.
  std::string lower = name;
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  for (const std::string& pattern : places_.voicePatterns) {
    for (const std::string& candidate : {name, lower}) {
      const std::string file = replaceAll(pattern, candidate);
      if (isFile(file)) {
        out = file;
        return true;
      }
    }
  }
  return false;
}

std::string OrmiaEngine::mbrolaMessage() const {
  if (binding_) return binding_->lastErrorText();
  return bindingProblem_;
}

void OrmiaEngine::unbind() {
  if (!binding_) return;
  binding_->close();
  binding_.reset();
}

bool OrmiaEngine::startEngine(std::string database, std::string rules, std::string exceptions,
                              std::string abbreviations, std::string prosody, std::string diphones) {
  // A second start replaces the first; the file the first one wrote is finished.
  finishOutputFile();
  unbind();
  bindingProblem_.clear();
  binding_ = bindMbrola(places_.mbrola, &bindingProblem_);
  if (!binding_) return false;

  database = orDefault(std::move(database), kDefaultDatabase);
  rules = orDefault(std::move(rules), "portug.nrl");
  exceptions = orDefault(std::move(exceptions), "portug.exc");
  abbreviations = orDefault(std::move(abbreviations), "portug.abr");
  prosody = orDefault(std::move(prosody), "portug.pro");
  diphones = orDefault(std::move(diphones), "portug.dfn");

  // A database given as a path is used as it is; a name is looked up among the installed voices.
  if (database.find('/') == std::string::npos) {
    std::string record;
    if (readRegistryString(std::string(kVoiceRecordKey) + database + "\\", record)) database = record;
  }
  if (database.empty()) database = places_.engineFolder + kDefaultDatabase;
  databaseOpened_ = database;
  if (binding_->init(database) < 0) {
    bindingProblem_ = binding_->lastErrorText();
    binding_.reset();
    return false;
  }
  binding_->setNoError(1);

  frontEnd_.discard();
  std::string readError;
  if (const LoadResult loaded = frontEnd_.load({rules, exceptions, abbreviations, prosody, diphones}, &readError);
      loaded != LoadResult::Loaded) {
    // The front end tells in UTF-8; the engine's texts are CP1252.
    lastErrorText_ = platform::utf8ToCp1252(loadFailureText(loaded, readError)).substr(0, 255);
    return false;
  }

  if (outputFileName_.empty()) return true;
  outputFile_ = std::fopen(outputFileName_.c_str(), "wb");
  uint8_t header[platform::WaveHeaderBytes];
  fillImageHeader(header, 0);
  if (!outputFile_ || std::fwrite(header, 1, sizeof header, outputFile_) != sizeof header || std::fflush(outputFile_) != 0) {
    lastErrorText_ = platform::words::EngineOutputCannotBeCreated.str();
    if (outputFile_) std::fclose(outputFile_);
    outputFile_ = nullptr;
    return false;
  }
  toFile_ = true;
  outputFailed_ = false;
  openedFileName_ = outputFileName_;
  return true;
}

void OrmiaEngine::fileFailed(bool& result) {
  result = false;
  outputFailed_ = true;
}

void OrmiaEngine::handImage() {
  fillImageHeader(image_.data(), static_cast<uint32_t>(imageBytes_));
  player_.playWaveImage({image_.data(), platform::WaveHeaderBytes + imageBytes_});
  imageBytes_ = 0;
}

bool OrmiaEngine::speakUtterance(std::string_view text) {
  if (blank(text)) return true;
  if (!binding_) return false;
  if (!toFile_ && !outputFileName_.empty()) return false;  // the file could not be made: nothing to do
  const std::vector<std::string> lines = lineMaker_ ? lineMaker_(text, durationFactor_, pitchFactor_)
                                                    : frontEnd_.mbrolaLines(text, durationFactor_, pitchFactor_);

  // The engine's sound is made at its own rate: the player's speed-ups are off while it is handed over.
  const bool fast = player_.fastRate();
  const bool dropping = player_.dropPeriods();
  player_.setSpeedups(false, false);

  bool result = true;
  binding_->reset();
  imageBytes_ = 0;
  bool firstImage = true;
  uint8_t* const samples = image_.data() + platform::WaveHeaderBytes;
  for (size_t i = 0; i < lines.size(); ++i) {
    const bool last = i + 1 == lines.size();
    if (lines[i].empty() && !last) continue;
    binding_->write(lines[i] + "\r\n");
    if (binding_->lastError() != 0) {
      binding_->reset();
      result = false;
    }
    if (last) binding_->flush();
    int count = binding_->read(scratch_.data(), static_cast<int>(ScratchSamples));
    while (count > 0) {
      const size_t bytes = static_cast<size_t>(count) * 2;
      if (toFile_) {
        if (std::fwrite(scratch_.data(), 1, bytes, outputFile_) != bytes) fileFailed(result);
      } else {
        if (imageBytes_ + bytes >= ImageHandBytes && imageBytes_ > 0) handImage();
        std::memcpy(samples + imageBytes_, scratch_.data(), bytes);
        imageBytes_ += bytes;
        if (firstImage && imageBytes_ >= FirstImageBytes) {
          handImage();
          firstImage = false;
        }
      }
      count = binding_->read(scratch_.data(), static_cast<int>(ScratchSamples));
    }
    if (count < 0 && binding_->lastError() != 0) {
      binding_->reset();
      result = false;
    }
  }
  if (toFile_ && std::fflush(outputFile_) != 0) fileFailed(result);
  if (!toFile_ && imageBytes_ > 0) {
    if (imageBytes_ < MinimumImageBytes) {
      std::memset(samples + imageBytes_, 0, MinimumImageBytes - imageBytes_);
      imageBytes_ = MinimumImageBytes;
    }
    handImage();
  }
  player_.setSpeedups(fast, dropping);
  return result;
}

bool OrmiaEngine::isSpeaking() { return !toFile_ && player_.waveBusy(); }

void OrmiaEngine::stopSpeaking() {
  if (!toFile_) player_.stopWave();
}

void OrmiaEngine::finishOutputFile() {
  if (toFile_ && outputFile_) {
    std::fclose(outputFile_);
    outputFile_ = nullptr;
    // The header is written again with the sizes the file has now.
    if (std::FILE* file = std::fopen(openedFileName_.c_str(), "r+b")) {
      std::fseek(file, 0, SEEK_END);
      const long size = std::ftell(file);
      if (size >= static_cast<long>(platform::WaveHeaderBytes)) {
        // Whole samples only: a write cut short may have left half of one.
        const long data = (size - static_cast<long>(platform::WaveHeaderBytes)) & ~1L;
        uint8_t header[platform::WaveHeaderBytes];
        fillImageHeader(header, static_cast<uint32_t>(data));
        std::fseek(file, 0, SEEK_SET);
        if (std::fwrite(header, 1, sizeof header, file) != sizeof header) outputFailed_ = true;
      } else {
        outputFailed_ = true;
      }
      if (std::fclose(file) != 0) outputFailed_ = true;
    } else {
      outputFailed_ = true;
    }
  }
  if (outputFile_) std::fclose(outputFile_);
  outputFile_ = nullptr;
  toFile_ = false;
}

void OrmiaEngine::shutdownEngine() {
  finishOutputFile();
  frontEnd_.discard();
  unbind();
}

}  // namespace kaldro::tts
