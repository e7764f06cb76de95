// The speech keys of KALDRO.INI: how their values are read and what they default to.
#include "voice/speech_config.h"

#include <climits>

#include "platform/decimal.h"
#include "platform/text.h"
#include "voice/engine_kinds.h"

namespace kaldro::speech {

namespace {
constexpr size_t kMaxDiphoneBase = 8;
// Ten seconds of silence after a mark is already more than anyone asks for.
constexpr IntegerRange kPauseRange{0, 10000};

std::string levelKey(std::string_view key, int level) { return std::string(key) + std::to_string(level); }
}  // namespace

int leadingInteger(std::string_view text, IntegerRange range) {
  return platform::leadingIntegerIn(text, range.lowest, range.highest);
}

int integerOr(std::string_view text, int fallback, IntegerRange range) {
  const platform::Decimal number = platform::readDecimal(text);
  if (!number.anyDigit || number.end != text.size()) return fallback;
  return platform::clampToInt(number.value, range.lowest, range.highest);
}

bool yesAnswer(std::string_view text) { return !text.empty() && text.front() != 'N' && text.front() != 'n'; }

SynthSettings readSynthSettings(const platform::Configuration& config, int level) {
  auto read = [&](std::string_view key) { return config.readConfig("SINTETIZADOR", levelKey(key, level)); };
  SynthSettings settings;
  settings.diphoneBase = read("DIFONES").substr(0, kMaxDiphoneBase);
  // Samples of one unit, of a gap between words: a unit never holds more than 64 KB.
  settings.unitCut = leadingInteger(read("CORTEFON"), {-65535, 65535});
  settings.unitMinimum = integerOr(read("SOBRAFON"), 0, {0, 65535});
  settings.wordGap = integerOr(read("INTERPAL"), 0, {0, 65535});
  settings.dropPeriods = yesAnswer(read("CORTAFALA"));
  settings.fastRate = yesAnswer(read("RAPIDINHO"));
  settings.pauseFullStop = integerOr(read("PAUSAPONTO"), 250, kPauseRange);
  settings.pauseComma = integerOr(read("PAUSAVIRG"), 150, kPauseRange);
  settings.pauseColon = integerOr(read("PAUSADOISPONTOS"), 200, kPauseRange);
  return settings;
}

int chooseSpeedLevel(const platform::Configuration& config, int speed) {
  if (speed < 1) speed = integerOr(config.readConfig("TRADUTOR", "VELOCIDADE"), 3);
  return speed < 1 || speed > 5 ? 3 : speed;
}

std::optional<ExternalSettings> readExternalSettings(const platform::Configuration& config) {
  const std::string sapi = config.readConfig("TRADUTOR", "SAPI");
  if (!yesAnswer(sapi)) return std::nullopt;
  ExternalSettings settings;
  const std::string voice = config.readConfig("SERVFALA", "VOZ");
  settings.voice = leadingInteger(voice, {-1, 9999});
  // A voice may be named too: a value that does not begin with a number is a name.
  const size_t digit = voice.find_first_not_of("+-");
  if (!voice.empty() && (digit == std::string::npos || voice[digit] < '0' || voice[digit] > '9')) settings.voiceName = voice;
  settings.rate = leadingInteger(config.readConfig("SERVFALA", "VELOCIDADE"), {-1000, 1000});
  settings.pitch = leadingInteger(config.readConfig("SERVFALA", "TOM"), {-1000, 1000});
  settings.kind = leadingInteger(config.readConfig("SERVFALA", "TIPOSAPI"), {0, 999});
  // Only eSpeak NG's kind takes rates above 10.
  if (settings.kind != engine_kind::Espeak && settings.rate > 10) settings.rate = 0;
  return settings;
}

}  // namespace kaldro::speech
