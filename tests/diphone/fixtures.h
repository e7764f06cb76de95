// Helpers for the diphone tests: a temporary folder, small files, WAV files and a recording output.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "diphone/diphone_output.h"

namespace kaldro::diphone::fixtures {

class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kaldro-diphone-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data()) ? pattern : std::string();
  }
  ~TempFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

inline void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string le32(uint32_t v) {
  return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF), static_cast<char>((v >> 16) & 0xFF),
          static_cast<char>(v >> 24)};
}

// An 8-bit mono 11025 Hz WAV file of count samples of one value; extraChunk (a whole chunk) is
// placed between the format chunk and the data chunk.
inline std::string waveFile(size_t count, uint8_t value, const std::string& extraChunk = "") {
  std::string fmt = std::string("fmt ") + le32(16) + std::string("\x01\x00\x01\x00", 4) + le32(11025) + le32(11025) +
                    std::string("\x01\x00\x08\x00", 4);
  std::string body = "WAVE" + fmt + extraChunk + "data" + le32(static_cast<uint32_t>(count)) + std::string(count, static_cast<char>(value));
  return "RIFF" + le32(static_cast<uint32_t>(body.size())) + body;
}

// Runs of equal samples: (value, count) in order.
inline std::vector<std::pair<int, size_t>> runs(const std::vector<uint8_t>& samples) {
  std::vector<std::pair<int, size_t>> result;
  for (uint8_t s : samples) {
    if (!result.empty() && result.back().first == s) {
      ++result.back().second;
    } else {
      result.push_back({s, 1});
    }
  }
  return result;
}

// Keeps every image played, checks nothing itself.
class RecordingOutput : public DiphoneOutput {
 public:
  void playImageWait(const uint8_t* image, size_t bytes) override { images.emplace_back(image, image + bytes); }
  void waitSpeechEnd() override { ++waits; }
  void tracePhonemes(std::string_view phonemes) override { traced.emplace_back(phonemes); }

  // The samples of every image, in order.
  std::vector<uint8_t> samples() const {
    std::vector<uint8_t> all;
    for (const auto& image : images)
      if (image.size() >= 44) all.insert(all.end(), image.begin() + 44, image.end());
    return all;
  }
  void clear() {
    images.clear();
    traced.clear();
    waits = 0;
  }

  std::vector<std::vector<uint8_t>> images;
  std::vector<std::string> traced;
  int waits = 0;
};

}  // namespace kaldro::diphone::fixtures
