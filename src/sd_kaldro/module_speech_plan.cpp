// A server message turned into the steps a voice speaks: SSML read, signs and characters named, long lines cut where a reader pauses.
#include "sd_kaldro/module_speech_plan.h"

#include <algorithm>
#include <charconv>
#include <string_view>

#include "platform/text.h"
#include "platform/unicode_text.h"
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

// Cuts text into its lines, and a line longer than a piece where the reading marks a sentence end.
void appendPieces(std::string_view text, const TextReading& reading, std::vector<SpeechStep>& steps) {
  const auto emit = [&](std::string_view piece) {
    while (!piece.empty() && isBlank(piece.front())) piece.remove_prefix(1);
    while (!piece.empty() && isBlank(piece.back())) piece.remove_suffix(1);
    if (!piece.empty()) steps.push_back({SpeechStep::Kind::Text, std::string(piece), 0});
  };
  while (!text.empty()) {
    const size_t lineEnd = std::min(text.find('\n'), text.size());
    std::string_view line = text.substr(0, lineEnd);
    text.remove_prefix(std::min(lineEnd + 1, text.size()));
    while (line.size() > MaxPieceBytes) {
      const size_t cut = reading.partEnd(line.substr(0, MaxPieceBytes));
      emit(line.substr(0, cut));
      line.remove_prefix(cut);
    }
    emit(line);
  }
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

// A character CP1252 lacks (an emoji, an arrow, a decomposed accent) said as the voices say it in a
// text; false when utf8 is plain ASCII (a key's name).
bool appendNamedCharacter(std::string_view utf8, const ModuleSettings& settings, const PlanReading& plan,
                          std::vector<SpeechStep>& steps) {
  if (std::all_of(utf8.begin(), utf8.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) return false;
  std::string_view spoken;
  const std::string said = plan.characters.speechTextFromUtf8(utf8);
  spoken = said;
  while (!spoken.empty() && isBlank(spoken.front())) spoken.remove_prefix(1);
  while (!spoken.empty() && isBlank(spoken.back())) spoken.remove_suffix(1);
  if (spoken.size() == 1)
    appendCharacter(static_cast<uint8_t>(spoken[0]), settings, steps);
  else if (!spoken.empty())
    steps.push_back({SpeechStep::Kind::Text, std::string(spoken), 0});
  return true;
}

// Speech Dispatcher's key names (as in "shift_a" or "kp-enter") with a name of their own.
struct KeyName {
  std::string_view key;
  Cp1252Words spoken;
};
constexpr KeyName kKeyNames[] = {
    {"up", "seta acima"},         {"down", "seta abaixo"},     {"left", "seta à esquerda"},
    {"right", "seta à direita"},  {"home", "início"},          {"end", "fim"},
    {"page-up", "página acima"},  {"page-down", "página abaixo"}, {"prior", "página acima"},
    {"next", "página abaixo"},    {"insert", "insert"},        {"delete", "delete"},
    {"shift", "shift"},           {"control", "control"},      {"alt", "alt"},
    {"super", "tecla do sistema"}, {"window", "tecla windows"}, {"hyper", "hyper"},
    {"meta", "meta"},             {"menu", "menu"},            {"pause", "pause"},
    {"break", "break"},           {"print", "print screen"},   {"num-lock", "num lock"},
    {"caps-lock", "caps lock"},   {"scroll-lock", "scroll lock"},
    {"double-quote", "aspas"},    {"underscore", "sublinhado"},
    {"kp-enter", "enter do teclado numérico"}, {"kp-*", "asterisco do teclado numérico"},
    {"kp-+", "mais do teclado numérico"},      {"kp--", "menos do teclado numérico"},
    {"kp-.", "ponto do teclado numérico"},     {"kp-/", "barra do teclado numérico"},
    {"kp-0", "zero do teclado numérico"},      {"kp-1", "um do teclado numérico"},
    {"kp-2", "dois do teclado numérico"},      {"kp-3", "três do teclado numérico"},
    {"kp-4", "quatro do teclado numérico"},    {"kp-5", "cinco do teclado numérico"},
    {"kp-6", "seis do teclado numérico"},      {"kp-7", "sete do teclado numérico"},
    {"kp-8", "oito do teclado numérico"},      {"kp-9", "nove do teclado numérico"},
};
// Key names that are one character of the echo, with the name a voice says that has no recording
// of the echo.
struct KeyCharacter {
  std::string_view key;
  uint8_t code;
  Cp1252Words spoken;
};
constexpr KeyCharacter kKeyCharacters[] = {
    {"space", ' ', "espaço"},  {"enter", 13, "enter"},           {"return", 13, "enter"},
    {"tab", 9, "tab"},         {"backspace", 8, "retrocesso"}, {"escape", 27, "esc"},
};

void appendKeyPart(std::string_view part, const ModuleSettings& settings, const PlanReading& plan,
                   std::vector<SpeechStep>& steps) {
  if (appendNamedCharacter(part, settings, plan, steps)) return;
  const std::string cp1252 = platform::utf8ToCp1252(part);
  if (cp1252.size() == 1) return appendCharacter(static_cast<uint8_t>(cp1252[0]), settings, steps);
  for (const KeyCharacter& key : kKeyCharacters)
    if (part == key.key) return appendCharacter(key.code, settings, steps);
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
  appendPieces(words, plan.reading, steps);
}

void appendKey(std::string_view key, const ModuleSettings& settings, const PlanReading& plan,
               std::vector<SpeechStep>& steps) {
  // "shift_a" is two keys; a lone "_" is the underscore key itself.
  size_t start = 0;
  for (size_t i = 1; i < key.size(); ++i) {
    if (key[i] == '_' && i + 1 < key.size()) {
      appendKeyPart(key.substr(start, i - start), settings, plan, steps);
      start = i + 1;
    }
  }
  appendKeyPart(key.substr(start), settings, plan, steps);
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

// Where the entity that the "&" at `amp` begins ends (just past its ";"), or 0 when it begins
// none: a name or number of at most 10 characters. Looks no further, so a text of many "&" is read
// in one pass.
size_t entityEnd(std::string_view text, size_t amp) {
  for (size_t i = amp + 1; i < text.size() && i <= amp + 11; ++i) {
    const char c = text[i];
    if (c == ';') return i > amp + 1 ? i + 1 : 0;
    const bool name = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '#';
    if (!name) return 0;
  }
  return 0;
}

// Text with its entities decoded, appended to out.
void appendDecoded(std::string_view raw, std::string& out) {
  for (size_t j = 0; j < raw.size(); ++j) {
    const size_t end = raw[j] == '&' ? entityEnd(raw, j) : 0;
    if (end) {
      out += decodeEntity(raw.substr(j + 1, end - j - 2));
      j = end - 1;
    } else {
      out.push_back(raw[j]);
    }
  }
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
    appendDecoded(tag.substr(i + 1, close - i - 1), value);
    return value;
  }
  return {};
}

// The visible text and index marks of SSML: tags dropped, entities decoded (UTF-8 out).
struct SsmlPart {
  bool mark = false;
  std::string text;  // the text, or the mark's name
};

// A "<" opens a tag when a name, "/", "!" or "?" follows it, as in a browser; "a < b" is text.
bool opensTag(std::string_view ssml, size_t at) {
  if (at + 1 >= ssml.size()) return false;
  const char c = ssml[at + 1];
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '/' || c == '!' || c == '?';
}

void takeTag(std::string_view tag, std::string& text, std::vector<SsmlPart>& parts) {
  size_t nameEnd = 0;
  while (nameEnd < tag.size() && !isBlank(tag[nameEnd]) && tag[nameEnd] != '/') ++nameEnd;
  const std::string_view name = tag.substr(0, nameEnd);
  if (name == "mark") {
    std::string markName = attribute(tag, "name");
    if (markName.empty()) return;
    if (!text.empty()) parts.push_back({false, std::move(text)});
    text.clear();
    parts.push_back({true, std::move(markName)});
  } else if (name == "break" || name == "p" || name == "s" || name == "/p" || name == "/s" || name == "speak") {
    text.push_back(' ');  // a boundary between words, never a join
  }
}

std::vector<SsmlPart> readSsml(std::string_view ssml) {
  std::vector<SsmlPart> parts;
  std::string text;
  // The next ">" and the next "<" after the one being read, each found once for all the "<" before it.
  size_t nextClose = 0, nextOpen = 0;
  for (size_t i = 0; i < ssml.size(); ++i) {
    const char c = ssml[i];
    if (c == '<' && opensTag(ssml, i)) {
      if (nextClose != std::string_view::npos && nextClose <= i) nextClose = ssml.find('>', i);
      if (nextOpen != std::string_view::npos && nextOpen <= i) nextOpen = ssml.find('<', i + 1);
      // A "<" never closed before the next one ("a<b e c</speak>") is text: nothing is lost.
      if (nextClose == std::string_view::npos || nextOpen < nextClose) {
        text.push_back(c);
        continue;
      }
      takeTag(ssml.substr(i + 1, nextClose - i - 1), text, parts);
      i = nextClose;
    } else if (const size_t end = c == '&' ? entityEnd(ssml, i) : 0) {
      text += decodeEntity(ssml.substr(i + 1, end - i - 2));
      i = end - 1;
    } else {
      text.push_back(c);
    }
  }
  if (!text.empty()) parts.push_back({false, std::move(text)});
  return parts;
}

// One text part of a message: named signs and characters, or spelled.
void appendTextPart(std::string_view utf8, const ModuleSettings& settings, const PlanReading& plan,
                    std::vector<SpeechStep>& steps) {
  if (settings.spelling) {
    const std::string composed = platform::composedUtf8(utf8);
    for (size_t at = 0, length = 1; at < composed.size(); at += length) {
      length = 1;
      platform::decodeUtf8(composed, at, length);
      const std::string_view character = std::string_view(composed).substr(at, length);
      if (appendNamedCharacter(character, settings, plan, steps)) continue;
      if (!isBlank(character[0])) appendCharacter(static_cast<uint8_t>(character[0]), settings, steps);
    }
    return;
  }
  const std::string cp1252 = plan.characters.speechTextFromUtf8(utf8);
  std::string named;
  named.reserve(cp1252.size());
  for (const char c : cp1252) {
    const auto code = static_cast<uint8_t>(c);
    const std::string name = modeNames(settings.punctuation, code) ? plan.signNames(code) : std::string();
    if (name.empty()) {
      named.push_back(c);
    } else {
      named += ' ' + name + ' ';
    }
  }
  appendPieces(named, plan.reading, steps);
}

}  // namespace

std::string keyCharacterName(uint8_t character) {
  for (const KeyCharacter& key : kKeyCharacters)
    if (key.code == character) return key.spoken.str();
  return {};
}

std::vector<SpeechStep> planSpeech(MessageKind kind, std::string_view message, const ModuleSettings& settings,
                                   const PlanReading& plan) {
  std::vector<SpeechStep> steps;
  switch (kind) {
    case MessageKind::SoundIcon:
      steps.push_back({SpeechStep::Kind::Icon, std::string(message), 0});
      return steps;
    case MessageKind::Key:
      appendKey(message, settings, plan, steps);
      return steps;
    case MessageKind::Char:
      if (appendNamedCharacter(message, settings, plan, steps)) return steps;
      if (message.size() == 1)
        appendCharacter(static_cast<uint8_t>(message[0]), settings, steps);
      else
        appendKey(message, settings, plan, steps);  // a name the server sends for a character
      return steps;
    case MessageKind::Text:
      break;
  }
  const size_t first = message.find_first_not_of(" \t\r\n");
  const bool ssml = first != std::string_view::npos && message.substr(first).starts_with("<speak");
  if (!ssml) {
    appendTextPart(message, settings, plan, steps);
    return steps;
  }
  for (const SsmlPart& part : readSsml(message)) {
    if (part.mark)
      steps.push_back({SpeechStep::Kind::Mark, part.text, 0});
    else
      appendTextPart(part.text, settings, plan, steps);
  }
  return steps;
}

}  // namespace kaldro::app
