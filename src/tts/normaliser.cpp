// Text normalisation: the abbreviation table, the reading of numbers, letter runs and symbols.
#include "tts/normaliser.h"

#include <optional>

#include "platform/latin1_classes.h"
#include "platform/text.h"
#include "platform/words.h"
#include "tts/latin1_text.h"

namespace kaldro::tts {

namespace {

// The names of the printable ASCII characters, space to tilde, in code order (UTF-8 here).
constexpr const char* kAsciiNames[] = {
    "espaço", "exclamação", "aspas", "sustenido", "cifrão", "porcento", "é comercial", "apóstrofo",
    "abre parênteses", "fecha parênteses", "asterisco", "mais", "vírgula", "traço", "ponto", "barra",
    // Digits: the accents fix the vowel quality.
    "zéro", "um", "dois", "três", "quatro", "cinco", "seis", "séte", "oito", "nóve",
    "dois pontos", "ponto e vírgula", "menor que", "igual", "maior que", "interrogação", "arrôba",
    // Capitals. C and D begin with a blank, so that a spelled B C reads "bê sê".
    "a", "bê", " sê", " dê", "é", "éfe", "jê", "agá", "i", "jóta", "cá", "éle", "ême", "êne", "ó",
    "pê", "quê", "érre", "ésse", "tê", "u", "vê", "dábliu", "xis", "ípsilon", "zê",
    "abre colchete", "barra invertida", "fecha colchete", "circunflexo", "sublinhado", "crase",
    // Small letters: as the capitals, but j and n without their accents.
    "a", "bê", " sê", " dê", "é", "éfe", "jê", "agá", "i", "jota", "cá", "éle", "ême", "ene", "ó",
    "pê", "quê", "érre", "ésse", "tê", "u", "vê", "dábliu", "xis", "ípsilon", "zê",
    "abre chave", "barra vertical", "fecha chave", "til"};

// Latin-1 signs, from the inverted exclamation mark to the inverted question mark.
constexpr const char* kSignNames[] = {
    "exclamação reversa", "centavos de dólar", "libras", "símbolo de moeda", "iene",
    "barra interrompida", "parágrafo", "trema", "copyright", "ordinal feminino", "Aspas esquerdas",
    "negação", "hífen", "Marca registrada", "mácron", "grau", "mais ou menos", "elevado ao quadrado",
    "elevado ao cubo", "acento agudo", "mi", "pi", "ponto no meio", "cedilha", "expoente um",
    "ordinal masculino", "aspas direitas", "um quarto", "um meio", "três quartos",
    "interrogação reversa"};

// Latin-1 capitals from A grave to U with diaeresis; the small letters take the same names.
constexpr const char* kCapitalNames[] = {
    "A grave", "A agudo", "A circunflexo", "A com til", "A com trema", "A bola", "A É",
    "Cê cedilha", "É grave", "É agudo", "É circunflexo", "É com trema", "I grave", "I agudo",
    "I circunflexo", "I com trema", "Dê cortado", "N com til", "Ó grave", "Ó agudo",
    "Ó circunflexo", "Ó com til", "Ó tremado", "vezes", "Ó cortado", "U grave", "U agudo",
    "U circunflexo", "U com trema"};

constexpr unsigned char kMasculineSign = 0xBA;  // º
constexpr unsigned char kFeminineSign = 0xAA;   // ª
constexpr unsigned char kDegreeSign = 0xB0;     // °, often typed for º in "n°"
constexpr char kTypographicApostrophe = '\x92';  // ’

using platform::isDigit;

// A consonant as letter runs count it: W and Y, and Ç and Ñ in either case, too.
bool isConsonant(char ch) {
  const auto c = static_cast<unsigned char>(ch);
  return platform::isConsonantWithWY(c) || c == 0xC7 || c == 0xE7 || c == 0xD1 || c == 0xF1;  // Ç ç Ñ ñ
}

bool isKeptPunctuation(char c) {
  return c == ' ' || c == '!' || c == '(' || c == ')' || c == ',' || c == '.' || c == ':' ||
         c == ';' || c == '?';
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// A dot followed by a blank or a punctuation mark ends a word ("Dr. Silva", "Tel.: 1234", "fim.)");
// one followed by a letter or digit is inside an address or a number ("site.com").
bool dotEndsWord(char next) { return isBlank(next) || (isKeptPunctuation(next) && next != '.'); }

// Every word of an ordinal in the plural: "vigésimas primeiras".
std::string pluralWords(const std::string& words) {
  std::string out;
  for (size_t i = 0; i < words.size(); ++i) {
    if (words[i] == ' ' && i > 0 && words[i - 1] != ' ') out += 's';
    out += words[i];
  }
  if (!words.empty() && words.back() != ' ') out += 's';
  return out;
}

}  // namespace

Normaliser::Normaliser()
    : dash_(platform::utf8ToCp1252("traço")),
      decimalComma_(platform::utf8ToCp1252("vírgula ")),
      decimalPoint_("ponto ") {
  auto fill = [this](unsigned first, const auto& names) {
    for (const char* name : names) charNames_[first++] = platform::utf8ToCp1252(name);
  };
  fill(32, kAsciiNames);
  fill(161, kSignNames);
  fill(192, kCapitalNames);
  fill(224, kCapitalNames);
}

platform::Status Normaliser::loadAbbreviations(const std::string& path) {
  platform::Status status;
  const std::optional<std::string> text = readDataFile(path, status, platform::words::EngineAbbreviationsFailed);
  if (text) setAbbreviations(*text);
  return status;
}

namespace {

// One line of an abbreviations file: an entry, nothing (blank or comment), or what is wrong with it.
struct AbbreviationLine {
  std::optional<Abbreviation> entry;
  const platform::Cp1252Words* fault = nullptr;
  bool expansionCut = false;
};

AbbreviationLine parseAbbreviationLine(std::string_view line) {
  line = trimBlanks(line);
  if (line.empty() || line.front() == ';') return {};
  size_t equals = line.find('=');
  if (equals == std::string_view::npos) return {std::nullopt, &platform::words::AbbreviationLacksEquals};
  std::string key = upperLatin1(trimBlanks(line.substr(0, equals)));
  const bool endsSentence = key.size() > 1 && key.back() == '.';
  if (endsSentence) key.pop_back();
  if (key.empty()) return {std::nullopt, &platform::words::AbbreviationLacksKey};  // no word could match it
  std::string_view expansion = trimBlanks(line.substr(equals + 1));
  AbbreviationLine result{
      Abbreviation{std::move(key), std::string(expansion.substr(0, Normaliser::kMaxExpansion)), endsSentence}};
  result.expansionCut = expansion.size() > Normaliser::kMaxExpansion;
  return result;
}

// A key that a word read from a text can equal: letters and hyphens, maybe ending in º ª or °.
bool canBeMatched(std::string_view key) {
  if (!key.empty() && (static_cast<unsigned char>(key.back()) == kMasculineSign ||
                       static_cast<unsigned char>(key.back()) == kFeminineSign ||
                       static_cast<unsigned char>(key.back()) == kDegreeSign))
    key.remove_suffix(1);
  if (key.empty() || !isPortugueseLetter(key.front())) return false;
  for (char c : key)
    if (!isPortugueseLetter(c) && c != '-') return false;
  return true;
}

}  // namespace

void Normaliser::setAbbreviations(std::string_view fileText) {
  abbreviations_.clear();
  for (std::string_view line : splitLines(fileText)) {
    if (abbreviations_.size() >= kMaxAbbreviations) break;
    if (auto parsed = parseAbbreviationLine(line); parsed.entry) abbreviations_.push_back(std::move(*parsed.entry));
  }
}

std::vector<AbbreviationFault> Normaliser::checkAbbreviations(std::string_view fileText) const {
  namespace words = platform::words;
  std::vector<AbbreviationFault> faults;
  std::vector<std::pair<std::string, size_t>> seen;  // key and the line that defined it
  const std::vector<std::string_view> lines = splitLines(fileText);
  for (size_t number = 1; number <= lines.size(); ++number) {
    AbbreviationLine parsed = parseAbbreviationLine(lines[number - 1]);
    auto fault = [&](const std::string& problem) { faults.push_back({number, problem}); };
    if (parsed.fault) fault(parsed.fault->utf8());
    if (!parsed.entry) continue;
    const Abbreviation& entry = *parsed.entry;
    const std::string key = platform::cp1252ToUtf8(entry.key);
    if (seen.size() >= kMaxAbbreviations) fault(words::AbbreviationsTooMany.utf8({std::to_string(kMaxAbbreviations)}));
    for (const auto& [earlier, where] : seen)
      if (earlier == entry.key) fault(words::AbbreviationRepeated.utf8({key, std::to_string(where)}));
    seen.emplace_back(entry.key, number);
    if (!canBeMatched(entry.key))
      fault(words::AbbreviationNeverFound.utf8({key}));
    if (entry.expansion.empty()) fault(words::AbbreviationLacksExpansion.utf8());
    if (parsed.expansionCut)
      fault(words::AbbreviationExpansionCut.utf8({std::to_string(kMaxExpansion)}));
    // The expansion is said as written: digits, symbols and words without vowels would not be.
    if (normaliseText(" " + entry.expansion + " ") != " " + entry.expansion + " ")
      fault(words::AbbreviationExpansionUnreadable.utf8());
  }
  return faults;
}

std::string Normaliser::lookupAbbreviation(std::string_view word) const {
  std::string key = upperLatin1(word);
  for (const Abbreviation& entry : abbreviations_)
    if (entry.key == key) return entry.expansion;
  return {};
}

bool Normaliser::abbreviationEndsSentence(std::string_view word) const {
  std::string key = upperLatin1(word);
  for (const Abbreviation& entry : abbreviations_)
    if (entry.key == key) return entry.endsSentence;
  return false;
}

Normaliser::Expansion Normaliser::abbreviationAt(std::string_view text, size_t pos,
                                                 std::string_view word) const {
  if (pos >= text.size()) return {};
  auto sign = static_cast<unsigned char>(text[pos]);
  if (sign == '.') {
    // "Dr. Silva" takes the dot with it; a dot that ends the text stays as the final full stop, and
    // makes an abbreviation only of those the file writes with their dot ("pressione End." stays).
    if (pos + 1 == text.size()) return {abbreviationEndsSentence(word) ? lookupAbbreviation(word) : std::string(), 0};
    if (dotEndsWord(text[pos + 1])) return {lookupAbbreviation(word), 1};
    return {};
  }
  if (sign == kMasculineSign || sign == kFeminineSign || sign == kDegreeSign) {
    // "Profª. Ana": a dot after the sign goes with it.
    bool dotToo = pos + 2 < text.size() && text[pos + 1] == '.' && dotEndsWord(text[pos + 2]);
    return {lookupAbbreviation(std::string(word) + text[pos]), dotToo ? 2u : 1u};
  }
  return {};
}

std::string Normaliser::readLetterWord(std::string_view text, size_t& pos) const {
  std::string word;
  bool allConsonants = true;
  while (pos < text.size() && isPortugueseLetter(text[pos])) {
    if (!isConsonant(text[pos])) allConsonants = false;
    word += text[pos++];
    if (pos < text.size() && text[pos] == '-') word += text[pos++];  // a hyphen between letters stays in the word
    // An apostrophe between letters elides a vowel ("d'água", "Sant'Ana"): the letters are read
    // together, and the sign is not named.
    if (pos + 1 < text.size() && (text[pos] == '\'' || text[pos] == kTypographicApostrophe) &&
        isPortugueseLetter(text[pos + 1]))
      ++pos;
  }
  // A word without vowels cannot be said: it is spelled, unless it is about to be expanded.
  if (!allConsonants || !abbreviationAt(text, pos, word).text.empty()) return word;
  std::string spelled;
  for (char c : word) spelled += charName(static_cast<unsigned char>(c));
  return spelled;
}

Normaliser::DigitRun Normaliser::digitRunAt(std::string_view text, size_t pos) {
  DigitRun run{pos, false};
  for (; run.end < text.size() && (isDigit(text[run.end]) || text[run.end] == '-'); ++run.end)
    run.hyphen = run.hyphen || text[run.end] == '-';
  return run;
}

std::string Normaliser::readNumber(std::string_view text, size_t& pos) const {
  return readNumber(text, pos, digitRunAt(text, pos));
}

std::string Normaliser::readNumber(std::string_view text, size_t& pos, const DigitRun& run) const {
  const size_t size = text.size();
  if (pos >= size || !isDigit(text[pos])) return {};
  std::string out;

  // Digits with hyphens (telephones, codes) are read digit by digit.
  if (run.hyphen) {
    for (; pos < run.end; ++pos) {
      out += ' ';
      out += text[pos] == '-' ? dash_ : numbers_.digit(text[pos] - '0');
    }
    return out;
  }

  std::string zeros;
  for (; pos + 1 < size && text[pos] == '0' && isDigit(text[pos + 1]); ++pos) zeros += numbers_.digit(0) + ' ';

  constexpr uint64_t kFullBelow = 100'000'000'000'000ULL;  // 10^14: a 15th digit is the last one
  uint64_t value = 0;
  while (pos < size) {
    if (isDigit(text[pos])) {
      if (value >= kFullBelow) break;  // the rest is read as a further number
      value = value * 10 + static_cast<uint64_t>(text[pos] - '0');
      ++pos;
      continue;
    }
    // A dot before exactly three digits separates thousands, of a number that has some (0.500 is
    // not five hundred).
    bool thousands = value > 0 && text[pos] == '.' && pos + 3 < size && isDigit(text[pos + 1]) && isDigit(text[pos + 2]) &&
                     isDigit(text[pos + 3]) && (pos + 4 == size || !isDigit(text[pos + 4]));
    if (!thousands) break;
    ++pos;
  }

  std::string_view rest = text.substr(pos);
  auto startsWith = [&](std::string_view s) { return rest.substr(0, s.size()) == s; };
  auto ordinal = [&](Gender gender, size_t signLength, bool plural) {
    pos += signLength;
    std::string words = numbers_.ordinal(value, gender);
    // From 2000 up the ordinal is a cardinal, which takes no plural ending.
    return plural && value > 0 && value < 2000 ? pluralWords(words) : words;
  };
  if (rest.empty() || rest[0] == ' ') return zeros + numbers_.cardinal(value);
  if (static_cast<unsigned char>(rest[0]) == kMasculineSign) return ordinal(Gender::Masculine, 1, false);
  if (static_cast<unsigned char>(rest[0]) == kFeminineSign) return ordinal(Gender::Feminine, 1, false);
  if (startsWith("o.")) return ordinal(Gender::Masculine, 2, false);
  if (startsWith("a.")) return ordinal(Gender::Feminine, 2, false);
  if (startsWith("os.")) return ordinal(Gender::Masculine, 3, true);
  if (startsWith("as.")) return ordinal(Gender::Feminine, 3, true);
  return zeros + numbers_.cardinal(value);
}

void Normaliser::appendNumber(std::string_view text, size_t& pos, DigitRun& run, std::string& out) const {
  const size_t size = text.size();
  if (!out.empty() && !isKeptPunctuation(out.back())) out += ' ';  // "14h30": agá, then trinta as a word of its own
  if (pos >= run.end) run = digitRunAt(text, pos);
  out += readNumber(text, pos, run) + ' ';
  // Decimals: 3,14 and 1.5.
  while (pos + 1 < size && (text[pos] == ',' || text[pos] == '.') && isDigit(text[pos + 1])) {
    out += text[pos] == ',' ? decimalComma_ : decimalPoint_;
    ++pos;
    run = digitRunAt(text, pos);
    out += readNumber(text, pos, run) + ' ';
  }
}

std::string Normaliser::normaliseText(std::string_view input) const {
  // A text of one character is that character's name: "," alone reads "vírgula".
  std::string single;
  if (input.size() == 1) single = charName(static_cast<unsigned char>(input[0]));
  const std::string_view text = input.size() == 1 ? std::string_view(single) : input;
  const size_t size = text.size();

  std::string out;
  out.reserve(size * 3);
  size_t pos = 0;
  // The digit run being read: a long one is read fifteen digits at a time, and looked over once.
  DigitRun run{0, false};
  while (pos < size) {
    char c = text[pos];
    if (c == '-' && pos > 0 && text[pos - 1] == ' ' && pos + 1 < size && text[pos + 1] == ' ') {
      out += ',';  // "sim - não": the spaced hyphen is a pause
      ++pos;
    } else if (c == '-' && pos + 1 < size && isDigit(text[pos + 1])) {
      // A minus sign starts a number; right after a number's digits (123.456.789-09) it is a dash.
      out += pos > 0 && isDigit(text[pos - 1]) ? ' ' + dash_ + ' ' : std::string("menos ");
      ++pos;
    } else if (isDigit(c)) {
      appendNumber(text, pos, run, out);
    } else if (isPortugueseLetter(c)) {
      std::string word = readLetterWord(text, pos);
      Expansion expansion = abbreviationAt(text, pos, word);
      if (expansion.text.empty()) {
        out += word;
      } else {
        out += expansion.text;  // as written in the file, not normalised again
        pos += expansion.signLength;
      }
    } else if (text.substr(pos, 3) == "...") {
      out += "... ";
      pos += 3;
    } else if (c == '.' && pos + 1 < size && !dotEndsWord(text[pos + 1])) {
      out += " ponto ";  // site.com
      ++pos;
    } else {
      if (isKeptPunctuation(c)) {
        out += c;
      } else if (c == '\t' || c == '\n' || c == '\r') {
        out += ' ';  // silent, but still between the words it separates
      } else {
        out += ' ';
        out += charName(static_cast<unsigned char>(c));
        out += ' ';
      }
      ++pos;
    }
  }
  return out;
}

}  // namespace kaldro::tts
