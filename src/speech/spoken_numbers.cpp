// Numbers, dates and clock times spoken from recorded words in the letters folder.
#include <fstream>
#include <iterator>

#include "platform/wave_file.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "speech/speech.h"

namespace kaldro::speech {

namespace {
constexpr size_t kMonthFileLetters = 7;

// The samples of a recorded word's data chunk, at most limit bytes; none when it is no WAV file.
std::optional<std::vector<uint8_t>> readWordSamples(const std::string& folder, const std::string& name, size_t limit) {
  const auto path = platform::findFileIgnoringCase(folder, name + ".wav");
  if (!path) return std::nullopt;
  std::ifstream in(*path, std::ios::binary);
  if (!in) return std::nullopt;
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const platform::WaveLayout layout = platform::parseWaveImage(bytes);
  if (!layout.ok) return std::vector<uint8_t>();
  // A word longer than the number buffer is cut to it.
  const auto start = bytes.begin() + static_cast<long>(layout.dataStart);
  return std::vector<uint8_t>(start, start + static_cast<long>(std::min(layout.dataLength, limit)));
}
}  // namespace

void Speech::speakNumberWords(std::string_view words, bool feminine) {
  // The words of one number are joined into one sound, so no gap is heard between the files.
  std::vector<uint8_t> samples;
  samples.reserve(NumberBufferBytes);
  auto playCollected = [&] {
    if (samples.empty()) return;
    playImageWait(platform::buildWaveImage(samples, platform::FamilySampleRate, 8, 1));
    samples.clear();
  };
  const std::vector<std::string> list = platform::splitWords(words);
  for (size_t i = 0; i < list.size(); ++i) {
    std::string name = wordFileName(list[i]);
    if (feminine && i + 1 == list.size()) {
      if (name == "_um") name = "_uma";
      if (name == "_dois") name = "_duas";
    }
    auto word = readWordSamples(lettersFolder_, name, NumberBufferBytes);
    if (!word) continue;
    if (!samples.empty() && samples.size() + word->size() > NumberBufferBytes) playCollected();
    console_.host().trace().event("word", name);
    samples.insert(samples.end(), word->begin(), word->end());
  }
  playCollected();
}

void Speech::speakDate(int day, int month, int year) {
  playWord("_" + std::string(weekdayName(dayOfWeek(day, month, year))));
  if (day == 1)
    playWord("_primeir");
  else
    speakNumberWords(numberToWords(static_cast<uint64_t>(day > 0 ? day : 0)));
  playWord("_de");
  playWord("_" + std::string(monthName(month).substr(0, kMonthFileLetters)));
  playWord("_de");
  if (year >= 2000) {
    // The thousands, then "e" and the rest: 2024 is dois mil, e, vinte e quatro; 2100 dois mil, e, cem.
    speakNumberWords(numberToWords(static_cast<uint64_t>(year / 1000 * 1000)));
    if (year % 1000 != 0) {
      playWord("_e");
      speakNumberWords(numberToWords(static_cast<uint64_t>(year % 1000)));
    }
  } else if (year % 100 != 0) {
    // Before 2000 only the last two digits are said.
    speakNumberWords(numberToWords(static_cast<uint64_t>(year > 0 ? year % 100 : 0)));
  }
}

void Speech::speakTime(int hour, int minute) {
  speakNumberWords(numberToWords(static_cast<uint64_t>(hour > 0 ? hour : 0)), true);
  playWord(hour < 2 ? "_hora" : "_horas");
  if (minute != 0) {
    speakNumberWords(numberToWords(static_cast<uint64_t>(minute > 0 ? minute : 0)), false);
    playWord(minute < 2 ? "_minuto" : "_minutos");
  }
}

void Speech::speakCurrentDate() {
  const console::Date today = console_.currentDate();
  speakDate(today.day, today.month, today.year);
}

void Speech::speakCurrentTime() {
  const console::Time now = console_.currentTime();
  speakTime(now.hour, now.minute);
}

}  // namespace kaldro::speech
