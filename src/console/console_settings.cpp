// Reading the console's look and keyboard options from KALDRO.INI, once per run.
#include "console/console_settings.h"

#include <cctype>
#include <cstdint>
#include <optional>

#include "platform/decimal.h"

namespace kaldro::console {

namespace {
constexpr size_t kValueBuffer = 80;

struct Conversion {
  int64_t value = 0;
  bool complete = false;  // every character was part of the number
};

// Decimal conversion that keeps the value of the digits before a character it cannot read.
Conversion convertDecimal(std::string_view text) {
  size_t pos = 0;
  while (pos < text.size() && text[pos] == ' ') ++pos;
  const platform::Decimal number = platform::readDecimal(text, pos);
  return Conversion{number.value, number.anyDigit && number.end == text.size()};
}

// A colour is a byte; a font larger than the screen is no font.
constexpr int kMaxColour = 255;
constexpr int kMaxFontPixels = 512;

// Trims what the text reader counts as blanks: every character up to the space.
std::string trimBlanks(const std::string& text) {
  size_t first = 0;
  while (first < text.size() && static_cast<unsigned char>(text[first]) <= ' ') ++first;
  size_t end = text.size();
  while (end > first && static_cast<unsigned char>(text[end - 1]) <= ' ') --end;
  return text.substr(first, end - first);
}

bool firstIsYes(const std::string& value) { return !value.empty() && (value[0] == 'S' || value[0] == 's'); }

// A pixel size: the key's decimal value, or the work area scaled from the 1024 x 734 design.
int fontSize(const std::optional<std::string>& value, int workPixels, double designPixels, int designSize) {
  // A negative height asks for the letters' height rather than the cell's, as on Windows.
  if (value && !value->empty())
    return platform::clampToInt(convertDecimal(*value).value, -kMaxFontPixels, kMaxFontPixels);
  return static_cast<int>(workPixels / designPixels * designSize);
}
}  // namespace

void parseColourTable(std::string value, std::array<uint8_t, 16>& table) {
  value += ',';
  for (size_t colour = 0; colour < table.size(); ++colour) {
    // The comma is found before the blanks are trimmed, so a leading blank shifts the item.
    const size_t comma = value.find(',');
    if (comma == std::string::npos) return;
    value = trimBlanks(value);
    const Conversion item = convertDecimal(std::string_view(value).substr(0, comma));
    table[colour] = static_cast<uint8_t>(item.value & 0xFF);
    if (!item.complete) return;
    // A converted item had no leading blank, so the comma still stands where it was found.
    value.erase(0, comma + 1);
  }
}

ConsoleSettings readConsoleSettings(const platform::Configuration& config, platform::WorkArea workArea) {
  ConsoleSettings settings;
  auto read = [&](std::string_view section, std::string_view key, std::string_view fallback) {
    return config.readSystemValue(section, key, fallback, kValueBuffer);
  };

  parseColourTable(read("VIDEO", "TABCORES", "0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15"), settings.colourTable);
  if (firstIsYes(read("VIDEO", "CORESFIXAS", "N"))) settings.coloursFixed = true;
  if (firstIsYes(read("VIDEO", "LENTO", "N"))) settings.copyPixelsOnScroll = true;

  int background = 0;
  int text = 7;
  if (std::string value = read("VIDEO", "CORFUNDO", "0"); !value.empty())
    background = platform::clampToInt(convertDecimal(value).value, 0, kMaxColour);
  if (std::string value = read("VIDEO", "CORLETRA", "15"); !value.empty())
    text = platform::clampToInt(convertDecimal(value).value, 0, kMaxColour);
  settings.initialAttribute = static_cast<uint8_t>((background * 16 + text) & 0xFF);

  if (std::string value = read("BRAILLE", "MODO", "0"); !value.empty())
    settings.brailleMode = static_cast<unsigned char>(value[0]) & 3;
  if (std::string value = read("VIDEO", "AMPLIF", "2"); !value.empty())
    settings.magnifierFactor = static_cast<unsigned char>(value[0]) & 7;
  settings.fontFace = read("VIDEO", "FONTE", "Lucida Console");
  settings.fontWidth = fontSize(config.findSystemValue("VIDEO", "LARGURALETRA", kValueBuffer), workArea.width, 1024.0, 13);
  settings.fontHeight = fontSize(config.findSystemValue("VIDEO", "ALTURALETRA", kValueBuffer), workArea.height, 734.0, 28);
  if (std::string value = read("VIDEO", "CANTOTELA", "SIM"); !value.empty())
    settings.maximized = std::toupper(static_cast<unsigned char>(value[0])) != 'S';
  return settings;
}

}  // namespace kaldro::console
