// Concatenation of diphone units, letter recordings, pauses and noise into 64000-byte WAV images.
#include "diphone/diphone_synth.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/config.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "platform/wave_file.h"

namespace kaldro::diphone {

namespace {

constexpr size_t kMaxTokenLength = 40;
constexpr size_t kMaxJoinedToken = 8;  // a "/" still joins units while the token is this short
constexpr size_t kMaxNameCharacters = 12;

bool oneOf(char c, std::string_view set) { return c != '\0' && set.find(c) != std::string_view::npos; }
bool isClusterConsonant(char c) { return oneOf(c, "bcdfgjklmnpqrstvxz"); }
bool isSemivowel(char c) { return oneOf(c, "wy"); }
bool isNasalMark(char c) { return oneOf(c, "^~"); }
bool isStressedVowel(char c) { return oneOf(c, "AEIOU"); }
bool isVowelOrSemivowel(char c) { return oneOf(c, "AEIOUaeiouwy"); }

bool endsWith(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

// Silence for a spelled punctuation mark, in samples; 0 for anything else.
int pauseLength(char mark) {
  switch (mark) {
    case '.': return 8000;
    case ',': return 4000;
    case ';': return 6000;
    case ':': return 8000;
    default: return 0;
  }
}

bool isFolder(const std::string& path) {
  struct stat info{};
  return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string withSlash(std::string folder) {
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}

// The file named name in folder: the exact name first, then without regard to case.
std::string fileIn(const std::string& folder, const std::string& name) {
  return platform::findFileIgnoringCase(folder, name).value_or(folder + name);
}

// Positions file at the first byte of its "data" chunk and gives the length that chunk states;
// nothing when the file is not a WAV file or has no "data" chunk.
std::optional<uint32_t> seekWaveData(std::FILE* file) {
  const platform::WaveLayout layout = platform::parseWaveFile(file);
  if (!layout.ok) return std::nullopt;
  return static_cast<uint32_t>(layout.statedDataLength);
}

}  // namespace

DiphoneFolders diphoneFoldersFromConfig(const platform::Configuration& config) {
  auto folder = [&](std::string_view key, std::string_view fallback) {
    // An empty value would name the current folder: it counts as missing.
    if (auto value = config.findSystemPath("TRADUTOR", key); value && !value->empty()) return withSlash(*value);
    return config.prefix() + "/share/kaldro/som/" + std::string(fallback) + "/";
  };
  return {folder("DIRLETRAS", "letras"), folder("DIRDIFONES", "difones")};
}

DiphoneSynth::DiphoneSynth(DiphoneOutput& output) : output_(output) {}

DiphoneSynth::~DiphoneSynth() { finishDiphoneSynth(); }

void DiphoneSynth::setConcatSettings(int unitCut, int unitMinimum, int wordGap) {
  unitCut_ = unitCut;
  unitMinimum_ = unitMinimum;
  wordGap_ = wordGap;
}

void DiphoneSynth::setDiphoneBase(std::string_view name) { diphoneBase_ = std::string(name.substr(0, kMaxUnitName)); }

int DiphoneSynth::startDiphoneSynth(const platform::Configuration& config) {
  return startDiphoneSynth(diphoneFoldersFromConfig(config));
}

int DiphoneSynth::startDiphoneSynth(const DiphoneFolders& folders) {
  finishDiphoneSynth();  // a restart reads everything afresh
  if (!isFolder(folders.letters) || !isFolder(folders.diphones) || diphoneBase_.empty())
    return kStartMissingFolderOrDatabase;
  folders_ = {withSlash(folders.letters), withSlash(folders.diphones)};
  auto indexBytes = readWholeFile(fileIn(folders_.diphones, diphoneBase_ + ".IND"));
  if (!indexBytes) return kStartMissingFolderOrDatabase;
  int data = ::open(fileIn(folders_.diphones, diphoneBase_ + ".DIF").c_str(), O_RDONLY | O_CLOEXEC);
  if (data < 0) return kStartMissingFolderOrDatabase;
  if (!translator_.loadRules(fileIn(folders_.diphones, "regras.rgr")).ok() ||
      !translator_.loadExceptions(fileIn(folders_.diphones, "portug.exc")).ok()) {
    ::close(data);
    translator_.freeRules();
    return kStartRulesUnreadable;
  }
  index_ = DiphoneIndex(std::move(*indexBytes));
  dataFile_ = data;
  buffer_.assign(kSoundBufferSize, 128);
  writePosition_ = kWaveHeaderSize;
  return kStartReady;
}

void DiphoneSynth::finishDiphoneSynth() {
  buffer_.clear();
  buffer_.shrink_to_fit();
  translator_.freeRules();
  if (dataFile_ >= 0) ::close(dataFile_);
  dataFile_ = -1;
  index_ = DiphoneIndex();
}

void DiphoneSynth::speakWords(std::string_view words, const std::function<bool()>& carryOn) {
  while (!words.empty()) {
    size_t take = words.size();
    if (take > MaxTranslatedRun) {
      take = MaxTranslatedRun;
      const size_t blank = words.substr(0, MaxTranslatedRun).rfind(' ');
      if (blank != std::string_view::npos && blank > 0) take = blank + 1;
    }
    const std::string phonemes = translateText(words.substr(0, take));
    if (!phonemes.empty()) speakPhonemes(phonemes);
    words.remove_prefix(take);
    if (!words.empty() && carryOn && !carryOn()) return;
  }
}

void DiphoneSynth::speakPhonemes(std::string_view s) {
  output_.tracePhonemes(s);
  if (!started()) return;
  writePosition_ = kWaveHeaderSize;
  unitMode_ = 1;
  size_t cursor = 0;
  while (cursor < s.size()) {
    std::string token = nextToken(s, cursor);
    playGroup(token, 1.0);
    if (cursor < s.size() && cursor > 0 && s[cursor - 1] != ' ') appendSilence(wordGap_);
  }
  flush();
}

std::string DiphoneSynth::nextToken(std::string_view s, size_t& cursor) {
  if (s[cursor] == '[') {
    unitMode_ = 1;
    ++cursor;
  }
  std::string token;
  auto add = [&](char c) {
    if (token.size() < kMaxTokenLength) token += c;
  };
  while (cursor < s.size()) {
    char c = s[cursor];
    if (c == ' ' || c == ']') break;
    if (c == '/') {
      if (token.size() > kMaxJoinedToken) break;
      ++cursor;  // units of one word join into one token
      continue;
    }
    ++cursor;
    add(c);
    if (c == '_' && cursor < s.size()) add(s[cursor++]);  // a letter-name reference
  }
  if (cursor < s.size()) ++cursor;  // the character that ended the token
  if (token.size() == 2 && token[0] == '_' && pauseLength(token[1]) > 0) {
    appendSilence(pauseLength(token[1]));
    token.clear();
  }
  return token;
}

void DiphoneSynth::playGroup(std::string_view g, double f) {
  const size_t length = g.size();
  if (length == 0) return;
  if (length == 1) {
    playPair(g, f);
    return;
  }
  if (length > 2) {
    std::string_view firstTwo = g.substr(0, 2);
    if (isClusterConsonant(g[0]) && isClusterConsonant(g[1]) && firstTwo != "dj" && firstTwo != "nh" &&
        firstTwo != "rr" && firstTwo != "ks" && g.substr(0, 3) != "tch") {
      playPair(g.substr(0, 1), 1.0);
      playGroup(g.substr(1), f);
      return;
    }
    if (endsWith(g, "rr")) {
      playGroup(g.substr(0, length - 2), f);
      playPair("rr", f);
      return;
    }
    if (isClusterConsonant(g.back())) {
      playGroup(g.substr(0, length - 1), f);
      playGroup(g.substr(length - 1), f);
      return;
    }
  }
  if (isSemivowel(g.back())) {
    char before = g[length - 2];
    if (isVowelOrSemivowel(before) && length > 2) {
      playGroup(g.substr(0, length - 1), 0.6);
      playPair(g.substr(length - 2), f);
      return;
    }
    if (isNasalMark(before) && length >= 3) {
      // vowel, mark, semivowel is played as vowel, semivowel, mark: a~w gives aw~
      const std::string moved{g[length - 3], g[length - 1], before};
      if (length > 3) {
        if (before == '~') {
          playGroup(std::string(g.substr(0, length - 2)) + "^", 0.6);
        } else {
          playGroup(g.substr(0, length - 1), 0.6);
        }
      }
      playPair(moved, f);
      return;
    }
  }
  if (g != "_s" && g.back() == 's') {
    playGroup(g.substr(0, length - 1), 0.7);
    playPair("s", f);
    return;
  }
  playPair(g, f);
}

void DiphoneSynth::playPair(std::string_view pair, double f) {
  std::string_view p = pair.substr(0, kMaxNameCharacters);
  if (!p.empty() && p[0] == '_') {
    if (p.size() < 2) return;
    playUnit("_" + std::to_string(static_cast<unsigned char>(p[1])), unitMode_, f);
    return;
  }
  std::string name = "$";
  bool stressed = false;
  for (char c : p) {
    if (isStressedVowel(c)) {
      unitMode_ = 2;
      stressed = true;
    }
    if (c == '^') {
      playUnit(name + "CIRC", unitMode_, f);
      name = "$";
    } else if (c == '~') {
      playUnit(name + "TIL", unitMode_, f);
      name = "$";
    } else {
      name += c;
    }
  }
  if (name != "$") playUnit(name, unitMode_, f);
  if (stressed) unitMode_ = 0;
}

void DiphoneSynth::playUnit(std::string_view unitName, int mode, double f) {
  const std::string n(unitName.substr(0, kMaxNameCharacters));
  if (n.empty() || !started()) return;
  const bool letter = n[0] == '_';
  const bool found = letter ? playLetterFile(n) : readDatabaseUnit(n, mode, f);
  output_.traceUnitLookup(n, found);
  if (found) return;
  // A missing letter recording is silent; a missing short database unit becomes a noise burst.
  if (letter) return;
  if (n.size() <= 2) {
    appendNoiseBurst();
    return;
  }
  char last = n.back();
  if (isVowelOrSemivowel(last)) {
    playUnit(n.substr(0, n.size() - 1), mode, f * 0.9);
    playUnit(std::string("$") + last, mode, f);
  } else if (endsWith(n, "CIRC") && n.size() > 6) {
    playUnit(n.substr(0, n.size() - 5), mode, f * 0.9);
    playUnit("$" + n.substr(n.size() - 5), mode, f);
  } else if (endsWith(n, "TIL")) {
    std::string vowel = n.substr(0, n.size() - 3);
    if (!vowel.empty() && oneOf(vowel.back(), "iuIU")) {
      playUnit(vowel, mode, f * 0.9);
    } else {
      playUnit(vowel + "CIRC", 2, f * 0.9);
    }
    playUnit("$nn", 1, 0.9);
  }
}

bool DiphoneSynth::readDatabaseUnit(const std::string& name, int mode, double f) {
  auto location = index_.find(platform::upperAscii(name));
  if (!location) return false;
  const int64_t recorded = location->length;
  // Wide enough for any cut the settings hold: a cut never wraps round into a longer unit.
  int64_t length = recorded;
  if (mode < 2 && name.size() > 2) {
    length = recorded - unitCut_;
    if (length < unitMinimum_) length = std::min<int64_t>(recorded, unitMinimum_);
  }
  // Never past the unit's own samples, whatever the settings say.
  auto count = static_cast<long long>(length * f);
  count = std::clamp<long long>(count, 0, recorded);
  const off_t start = location->offset;
  size_t done = 0;
  appendFrom(static_cast<size_t>(count), [&](uint8_t* to, size_t most) {
    ssize_t got = ::pread(dataFile_, to, most, start + static_cast<off_t>(done));
    if (got <= 0) return size_t{0};
    done += static_cast<size_t>(got);
    return static_cast<size_t>(got);
  });
  return true;
}

bool DiphoneSynth::playLetterFile(const std::string& name) {
  std::FILE* file = std::fopen(fileIn(folders_.letters, name + ".wav").c_str(), "rb");
  if (!file) return false;
  auto length = seekWaveData(file);
  bool found = length && *length > 0;
  if (found) {
    appendFrom(*length, [&](uint8_t* to, size_t most) { return std::fread(to, 1, most, file); });
  }
  std::fclose(file);
  return found;
}

void DiphoneSynth::appendNoiseBurst() {
  makeRoom(kNoiseBurstLength);
  std::uniform_int_distribution<int> sample(88, 167);
  for (size_t i = 0; i < kNoiseBurstLength; ++i) buffer_[writePosition_++] = static_cast<uint8_t>(sample(noise_));
}

void DiphoneSynth::appendSilence(int samples) {
  for (int block = 0; block < samples / 100; ++block) {
    makeRoom(100);
    std::fill_n(buffer_.begin() + static_cast<std::ptrdiff_t>(writePosition_), 100, uint8_t{128});
    writePosition_ += 100;
  }
}

void DiphoneSynth::appendFrom(size_t count, const std::function<size_t(uint8_t*, size_t)>& read) {
  size_t done = 0;
  while (done < count) {
    const size_t remaining = count - done;
    makeRoom(remaining);
    // Whatever does not fit an empty buffer is played in several pieces.
    const size_t piece = std::min(remaining, kSoundBufferSize - 1 - writePosition_);
    const size_t got = read(buffer_.data() + writePosition_, piece);
    if (got == 0) return;
    writePosition_ += got;
    done += got;
  }
}

void DiphoneSynth::makeRoom(size_t samples) {
  if (writePosition_ + samples < kSoundBufferSize) return;
  flush();
  output_.waitSpeechEnd();
}

void DiphoneSynth::flush() {
  if (!started() || writePosition_ <= kWaveHeaderSize) return;
  platform::writeWaveHeader(buffer_.data(), static_cast<uint32_t>(writePosition_ - kWaveHeaderSize), kSampleRate, 8, 1);
  output_.playImageWait(buffer_.data(), writePosition_);
  writePosition_ = kWaveHeaderSize;
}

}  // namespace kaldro::diphone
