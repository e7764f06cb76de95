// The speech keys of KALDRO.INI: how their values are read and what they default to.
#include "speech/speech_config.h"

#include <climits>

#include "platform/text.h"

namespace kaldro::speech {

namespace {
constexpr size_t kMaxDiphoneBase = 8;

// Reads an optional sign and digits from text[pos]; the value saturates instead of overflowing.
int parseInteger(std::string_view text, size_t& pos, bool& anyDigit) {
  bool negative = false;
  if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) negative = text[pos++] == '-';
  long long value = 0;
  anyDigit = false;
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
    anyDigit = true;
    if (value < INT_MAX) value = value * 10 + (text[pos] - '0');
    ++pos;
  }
  if (value > INT_MAX) value = INT_MAX;
  return static_cast<int>(negative ? -value : value);
}

std::string levelKey(std::string_view key, int level) { return std::string(key) + std::to_string(level); }
}  // namespace

int leadingInteger(std::string_view text) {
  size_t pos = 0;
  bool anyDigit = false;
  int value = parseInteger(text, pos, anyDigit);
  return anyDigit ? value : 0;
}

int integerOr(std::string_view text, int fallback) {
  size_t pos = 0;
  bool anyDigit = false;
  int value = parseInteger(text, pos, anyDigit);
  return anyDigit && pos == text.size() ? value : fallback;
}

bool yesAnswer(std::string_view text) { return !text.empty() && text.front() != 'N' && text.front() != 'n'; }

SynthSettings readSynthSettings(const platform::Configuration& config, int level) {
  auto read = [&](std::string_view key) { return config.readConfig("SINTETIZADOR", levelKey(key, level)); };
  SynthSettings settings;
  settings.diphoneBase = read("DIFONES").substr(0, kMaxDiphoneBase);
  settings.unitCut = leadingInteger(read("CORTEFON"));
  settings.unitMinimum = integerOr(read("SOBRAFON"), 0);
  settings.wordGap = integerOr(read("INTERPAL"), 0);
  settings.dropPeriods = yesAnswer(read("CORTAFALA"));
  settings.fastRate = yesAnswer(read("RAPIDINHO"));
  settings.pauseFullStop = integerOr(read("PAUSAPONTO"), 250);
  settings.pauseComma = integerOr(read("PAUSAVIRG"), 150);
  settings.pauseColon = integerOr(read("PAUSADOISPONTOS"), 200);
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
  settings.voice = leadingInteger(config.readConfig("SERVFALA", "VOZ"));
  settings.rate = leadingInteger(config.readConfig("SERVFALA", "VELOCIDADE"));
  settings.pitch = leadingInteger(config.readConfig("SERVFALA", "TOM"));
  settings.kind = leadingInteger(config.readConfig("SERVFALA", "TIPOSAPI"));
  // Only SAPI 4 engines take rates above 10.
  if (settings.kind != 4 && settings.rate > 10) settings.rate = 0;
  return settings;
}

std::string lettersFolderFromConfig(const platform::Configuration& config) {
  std::string folder;
  // An empty value would name the root folder: it counts as missing.
  if (auto value = config.findSystemValue("TRADUTOR", "DIRLETRAS", platform::kPathValueBuffer); value && !value->empty())
    folder = platform::cp1252ToUtf8(*value);
  else
    folder = config.prefix() + "/share/kaldro/som/letras/";
  if (folder.back() != '/') folder += '/';
  return folder;
}

}  // namespace kaldro::speech
