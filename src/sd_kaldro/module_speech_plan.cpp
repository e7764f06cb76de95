// A server message turned into the steps a voice speaks: SSML read, signs named, pieces cut at clause ends.
#include "sd_kaldro/module_speech_plan.h"

#include <charconv>
#include <string_view>

#include "platform/text.h"
#include "platform/words.h"

namespace kaldro::app {

namespace {

using platform::Cp1252Words;

// Signs read by name in "some" mode: the ones that carry meaning the voice would otherwise skip.
constexpr std::string_view kSomeSigns = "#$%&*+/<=>@\\^_|~";
// "most" names every sign but the ones that only shape a sentence.
constexpr std::string_view kSentenceSigns = ".,;:?!";

bool isSign(uint8_t c) {
  if ((c >= 0x21 && c <= 0x2F) || (c >= 0x3A && c <= 0x40) || (c >= 0x5B && c <= 0x60) || (c >= 0x7B && c <= 0x7E))
    return true;
  // CP1252's quotes, dashes and the Latin-1 signs (¡ to ¿ without the letters ª and º).
  return c == 0x80 || (c >= 0x82 && c <= 0x89) || (c >= 0x8B && c <= 0x99 && c != 0x8E) ||
         (c >= 0xA1 && c <= 0xBF && c != 0xAA && c != 0xBA);
}

bool modeNames(PunctuationMode mode, uint8_t c) {
  if (!isSign(c)) return false;
  switch (mode) {
    case PunctuationMode::None:
      return false;
    case PunctuationMode::Some:
      return kSomeSigns.find(static_cast<char>(c)) != std::string_view::npos;
    case PunctuationMode::Most:
      return kSentenceSigns.find(static_cast<char>(c)) == std::string_view::npos;
    case PunctuationMode::All:
      return true;
  }
  return false;
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Upper-case CP1252 letters: A-Z, Š Œ Ž Ÿ, and À-Þ without ×.
bool isCapital(uint8_t c) {
  return (c >= 'A' && c <= 'Z') || c == 0x8A || c == 0x8C || c == 0x8E || c == 0x9F || (c >= 0xC0 && c <= 0xDE && c != 0xD7);
}

// Cuts text into pieces at sentence and clause ends, and at a blank when a piece grows too long.
void appendPieces(std::string_view text, std::vector<SpeechStep>& steps) {
  const auto emit = [&](std::string_view piece) {
    while (!piece.empty() && isBlank(piece.front())) piece.remove_prefix(1);
    while (!piece.empty() && isBlank(piece.back())) piece.remove_suffix(1);
    if (!piece.empty()) steps.push_back({SpeechStep::Kind::Text, std::string(piece), 0});
  };
  size_t start = 0;
  size_t lastBlank = std::string_view::npos;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const bool clauseEnd = (c == '.' || c == '!' || c == '?' || c == ';' || c == ':' || c == ',') &&
                           (i + 1 == text.size() || isBlank(text[i + 1]));
    if (c == '\n' || clauseEnd) {
      emit(text.substr(start, i + 1 - start));
      start = i + 1;
      lastBlank = std::string_view::npos;
      continue;
    }
    if (isBlank(c)) lastBlank = i;
    if (i + 1 - start >= MaxPieceBytes) {
      const size_t cut = lastBlank != std::string_view::npos && lastBlank > start ? lastBlank + 1 : i + 1;
      emit(text.substr(start, cut - start));
      start = cut;
      lastBlank = std::string_view::npos;
    }
  }
  emit(text.substr(start));
}

void appendCharacter(uint8_t c, const ModuleSettings& settings, std::vector<SpeechStep>& steps) {
  if (isCapital(c)) {
    if (settings.capitals == CapitalMode::Spell)
      steps.push_back({SpeechStep::Kind::Text, platform::words::CapitalLetter.str(), 0});
    else if (settings.capitals == CapitalMode::Icon)
      steps.push_back({SpeechStep::Kind::Icon, "capital", 0});
  }
  steps.push_back({SpeechStep::Kind::Character, {}, c});
}

// Speech Dispatcher's key names (as in "shift_a" or "kp-enter") with a name of their own.
struct KeyName {
  std::string_view key;
  Cp1252Words spoken;
};
constexpr KeyName kKeyNames[] = {
    {"up", "seta acima"},         {"down", "seta abaixo"},     {"left", "seta à esquerda"},
    {"right", "seta à direita"},  {"home", "início"},          {"end", "fim"},
    {"page-up", "página acima"},  {"page-down", "página abaixo"}, {"insert", "insert"},
    {"delete", "delete"},         {"shift", "shift"},          {"control", "control"},
    {"alt", "alt"},               {"super", "tecla do sistema"}, {"hyper", "hyper"},
    {"meta", "meta"},             {"menu", "menu"},            {"pause", "pause"},
    {"print", "print screen"},    {"num-lock", "num lock"},    {"caps-lock", "caps lock"},
    {"scroll-lock", "scroll lock"}, {"kp-enter", "enter do teclado numérico"},
    {"double-quote", "aspas"},    {"underscore", "sublinhado"},
};
// Key names that are one character of the echo.
constexpr std::pair<std::string_view, uint8_t> kKeyCharacters[] = {
    {"space", ' '}, {"enter", 13}, {"tab", 9}, {"backspace", 8}, {"escape", 27}};

void appendKeyPart(std::string_view part, const ModuleSettings& settings, std::vector<SpeechStep>& steps) {
  const std::string cp1252 = platform::utf8ToCp1252(part);
  if (cp1252.size() == 1) return appendCharacter(static_cast<uint8_t>(cp1252[0]), settings, steps);
  for (const auto& [key, code] : kKeyCharacters)
    if (part == key) return appendCharacter(code, settings, steps);
  for (const KeyName& name : kKeyNames)
    if (part == name.key) return steps.push_back({SpeechStep::Kind::Text, name.spoken.str(), 0});
  if (part.size() >= 2 && part.size() <= 3 && part[0] == 'f' && part[1] >= '1' && part[1] <= '9') {
    int number = 0;
    const auto [end, error] = std::from_chars(part.data() + 1, part.data() + part.size(), number);
    if (error == std::errc() && end == part.data() + part.size())
      return steps.push_back({SpeechStep::Kind::Text, "F " + std::to_string(number), 0});
  }
  std::string words = cp1252;
  for (char& c : words)
    if (c == '-' || c == '_') c = ' ';
  appendPieces(words, steps);
}

void appendKey(std::string_view key, const ModuleSettings& settings, std::vector<SpeechStep>& steps) {
  // "shift_a" is two keys; a lone "_" is the underscore key itself.
  size_t start = 0;
  for (size_t i = 1; i < key.size(); ++i) {
    if (key[i] == '_' && i + 1 < key.size()) {
      appendKeyPart(key.substr(start, i - start), settings, steps);
      start = i + 1;
    }
  }
  appendKeyPart(key.substr(start), settings, steps);
}

std::string decodeEntity(std::string_view entity) {
  static constexpr std::pair<std::string_view, std::string_view> kNamed[] = {
      {"lt", "<"}, {"gt", ">"}, {"amp", "&"}, {"quot", "\""}, {"apos", "'"}, {"nbsp", " "}};
  for (const auto& [name, text] : kNamed)
    if (entity == name) return std::string(text);
  if (entity.size() >= 2 && entity[0] == '#') {
    const bool hex = entity[1] == 'x' || entity[1] == 'X';
    const std::string_view digits = entity.substr(hex ? 2 : 1);
    uint32_t code = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), code, hex ? 16 : 10);
    if (error == std::errc() && end == digits.data() + digits.size() && code > 0 && code <= 0x10FFFF &&
        (code < 0xD800 || code > 0xDFFF)) {
      std::string out;
      platform::appendUtf8(out, static_cast<char32_t>(code));
      return out;
    }
  }
  return "&" + std::string(entity) + ";";
}

// The value of attribute `name` inside a tag's text, quoted with ' or ".
std::string attribute(std::string_view tag, std::string_view name) {
  for (size_t at = tag.find(name); at != std::string_view::npos; at = tag.find(name, at + 1)) {
    if (at > 0 && !isBlank(tag[at - 1])) continue;
    size_t i = at + name.size();
    while (i < tag.size() && isBlank(tag[i])) ++i;
    if (i >= tag.size() || tag[i] != '=') continue;
    ++i;
    while (i < tag.size() && isBlank(tag[i])) ++i;
    if (i >= tag.size() || (tag[i] != '"' && tag[i] != '\'')) continue;
    const size_t close = tag.find(tag[i], i + 1);
    if (close == std::string_view::npos) return {};
    std::string value;
    std::string_view raw = tag.substr(i + 1, close - i - 1);
    for (size_t j = 0; j < raw.size(); ++j) {
      const size_t semicolon = raw[j] == '&' ? raw.find(';', j) : std::string_view::npos;
      if (semicolon != std::string_view::npos && semicolon - j <= 10) {
        value += decodeEntity(raw.substr(j + 1, semicolon - j - 1));
        j = semicolon;
      } else {
        value.push_back(raw[j]);
      }
    }
    return value;
  }
  return {};
}

// The visible text and index marks of SSML: tags dropped, entities decoded (UTF-8 out).
struct SsmlPart {
  bool mark = false;
  std::string text;  // the text, or the mark's name
};

std::vector<SsmlPart> readSsml(std::string_view ssml) {
  std::vector<SsmlPart> parts;
  std::string text;
  const auto flushText = [&] {
    if (!text.empty()) parts.push_back({false, std::move(text)});
    text.clear();
  };
  for (size_t i = 0; i < ssml.size(); ++i) {
    const char c = ssml[i];
    if (c == '<') {
      const size_t close = ssml.find('>', i);
      if (close == std::string_view::npos) break;  // an unfinished tag is dropped with what follows
      const std::string_view tag = ssml.substr(i + 1, close - i - 1);
      i = close;
      size_t nameEnd = 0;
      while (nameEnd < tag.size() && !isBlank(tag[nameEnd]) && tag[nameEnd] != '/') ++nameEnd;
      const std::string_view name = tag.substr(0, nameEnd);
      if (name == "mark") {
        std::string markName = attribute(tag, "name");
        if (!markName.empty()) {
          flushText();
          parts.push_back({true, std::move(markName)});
        }
      } else if (name == "break" || name == "p" || name == "s" || name == "/p" || name == "/s" || name == "speak") {
        text.push_back(' ');  // a boundary between words, never a join
      }
    } else if (c == '&') {
      const size_t semicolon = ssml.find(';', i);
      if (semicolon != std::string_view::npos && semicolon - i <= 10) {
        text += decodeEntity(ssml.substr(i + 1, semicolon - i - 1));
        i = semicolon;
      } else {
        text.push_back(c);
      }
    } else {
      text.push_back(c);
    }
  }
  flushText();
  return parts;
}

}  // namespace

std::vector<SpeechStep> planSpeech(MessageKind kind, std::string_view message, const ModuleSettings& settings,
                                   const CharacterNamer& names) {
  std::vector<SpeechStep> steps;
  switch (kind) {
    case MessageKind::SoundIcon:
      steps.push_back({SpeechStep::Kind::Icon, std::string(message), 0});
      return steps;
    case MessageKind::Key:
      appendKey(message, settings, steps);
      return steps;
    case MessageKind::Char: {
      const std::string cp1252 = platform::utf8ToCp1252(message);
      if (cp1252.size() == 1)
        appendCharacter(static_cast<uint8_t>(cp1252[0]), settings, steps);
      else
        appendKey(message, settings, steps);  // a name the server sends for a character
      return steps;
    }
    case MessageKind::Text:
      break;
  }
  const bool ssml = message.find_first_not_of(" \t\r\n") != std::string_view::npos &&
                    message.substr(message.find_first_not_of(" \t\r\n")).starts_with("<speak");
  const std::vector<SsmlPart> parts = ssml ? readSsml(message) : std::vector<SsmlPart>{{false, std::string(message)}};
  for (const SsmlPart& part : parts) {
    if (part.mark) {
      steps.push_back({SpeechStep::Kind::Mark, part.text, 0});
      continue;
    }
    const std::string cp1252 = platform::utf8ToCp1252(part.text);
    if (settings.spelling) {
      for (const char c : cp1252)
        if (!isBlank(c)) appendCharacter(static_cast<uint8_t>(c), settings, steps);
      continue;
    }
    std::string named;
    named.reserve(cp1252.size());
    for (const char c : cp1252) {
      const auto code = static_cast<uint8_t>(c);
      const std::string name = modeNames(settings.punctuation, code) ? names(code) : std::string();
      if (name.empty()) {
        named.push_back(c);
      } else {
        named += ' ' + name + ' ';
      }
    }
    appendPieces(named, steps);
  }
  return steps;
}

}  // namespace kaldro::app
