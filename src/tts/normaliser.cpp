// Text normalisation: the abbreviation table, the reading of numbers, letter runs and symbols.
#include "tts/normaliser.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/text.h"

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

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Letters and consonants as the engine knows them: ASCII, and the accented letters of Portuguese
// and Spanish (À Á Â Ã Ç É Ê Ì Í Ñ Ó Ô Õ Ù Ú Ü and their small forms).
bool isAccentedLetter(unsigned char c) {
  static constexpr unsigned char kCapitals[] = {0xC0, 0xC1, 0xC2, 0xC3, 0xC7, 0xC9, 0xCA, 0xCC, 0xCD,
                                                0xD1, 0xD3, 0xD4, 0xD5, 0xD9, 0xDA, 0xDC};
  if (c >= 0xE0) c -= 0x20;
  for (unsigned char capital : kCapitals)
    if (c == capital) return true;
  return false;
}

bool isLetter(char ch) {
  auto c = static_cast<unsigned char>(ch);
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || isAccentedLetter(c);
}

bool isConsonant(char ch) {
  auto c = static_cast<unsigned char>(ch);
  if (c >= 'a' && c <= 'z') c -= 0x20;
  if (c >= 'A' && c <= 'Z') return c != 'A' && c != 'E' && c != 'I' && c != 'O' && c != 'U';
  return c == 0xC7 || c == 0xE7 || c == 0xD1 || c == 0xF1;  // Ç ç Ñ ñ
}

bool isKeptPunctuation(char c) {
  return c == ' ' || c == '!' || c == '(' || c == ')' || c == ',' || c == '.' || c == ':' ||
         c == ';' || c == '?';
}

// What may follow an abbreviation's dot, and a dot read as punctuation rather than "ponto".
bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Latin-1 aware: a to z and à to þ (but not ÷).
std::string upperLatin1(std::string_view text) {
  std::string out(text);
  for (char& ch : out) {
    auto c = static_cast<unsigned char>(ch);
    if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c != 0xF7 && c != 0xFF)) ch = static_cast<char>(c - 0x20);
  }
  return out;
}

std::string_view trim(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ') text.remove_prefix(1);
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.remove_suffix(1);
  return text;
}

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

bool Normaliser::loadAbbreviations(const std::string& path, std::string* readError) {
  std::error_code error;
  if (path.empty() || !std::filesystem::exists(path, error)) return false;
  auto fail = [&](const char* why) {
    if (readError) *readError = "Não foi possível ler o arquivo de abreviaturas " + path + ": " + why;
    return false;
  };
  if (std::filesystem::is_directory(path, error)) return fail("é uma pasta");
  std::ifstream in(path, std::ios::binary);
  if (!in) return fail("sem permissão de leitura");
  std::ostringstream contents;
  contents << in.rdbuf();
  if (in.bad()) return fail("erro de leitura");
  std::string bytes = contents.str();
  // A byte-order mark would otherwise glue itself to the first key.
  if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
  setAbbreviations(platform::textFileToCp1252(bytes));
  return true;
}

void Normaliser::setAbbreviations(std::string_view fileText) {
  abbreviations_.clear();
  while (!fileText.empty() && abbreviations_.size() < kMaxAbbreviations) {
    size_t end = fileText.find('\n');
    std::string_view line = trim(fileText.substr(0, end));
    fileText.remove_prefix(end == std::string_view::npos ? fileText.size() : end + 1);
    if (line.empty() || line.front() == ';') continue;
    size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    std::string key = upperLatin1(trim(line.substr(0, equals)));
    if (key.empty()) continue;  // no word could ever match it
    std::string_view expansion = trim(line.substr(equals + 1)).substr(0, kMaxExpansion);
    abbreviations_.push_back({std::move(key), std::string(expansion)});
  }
}

std::string Normaliser::lookupAbbreviation(std::string_view word) const {
  std::string key = upperLatin1(word);
  for (const Abbreviation& entry : abbreviations_)
    if (entry.key == key) return entry.expansion;
  return {};
}

Normaliser::Expansion Normaliser::abbreviationAt(std::string_view text, size_t pos,
                                                 std::string_view word) const {
  if (pos >= text.size()) return {};
  auto sign = static_cast<unsigned char>(text[pos]);
  if (sign == '.') {
    // "Dr. Silva" takes the dot with it; a dot that ends the text stays as the final full stop.
    if (pos + 1 == text.size()) return {lookupAbbreviation(word), 0};
    if (isBlank(text[pos + 1])) return {lookupAbbreviation(word), 1};
    return {};
  }
  if (sign == kMasculineSign || sign == kFeminineSign || sign == kDegreeSign)
    return {lookupAbbreviation(std::string(word) + text[pos]), 1};
  return {};
}

std::string Normaliser::readLetterWord(std::string_view text, size_t& pos) const {
  size_t start = pos;
  bool allConsonants = true;
  while (pos < text.size() && isLetter(text[pos])) {
    if (!isConsonant(text[pos])) allConsonants = false;
    ++pos;
    if (pos < text.size() && text[pos] == '-') ++pos;  // a hyphen between letters stays in the word
  }
  std::string_view word = text.substr(start, pos - start);
  // A word without vowels cannot be said: it is spelled, unless it is about to be expanded.
  if (!allConsonants || !abbreviationAt(text, pos, word).text.empty()) return std::string(word);
  std::string spelled;
  for (char c : word) spelled += charName(static_cast<unsigned char>(c));
  return spelled;
}

std::string Normaliser::readNumber(std::string_view text, size_t& pos) const {
  const size_t size = text.size();
  if (pos >= size || !isDigit(text[pos])) return {};
  std::string out;

  // Digits with hyphens (telephones, codes) are read digit by digit.
  size_t runEnd = pos;
  bool hyphen = false;
  for (; runEnd < size && (isDigit(text[runEnd]) || text[runEnd] == '-'); ++runEnd)
    hyphen = hyphen || text[runEnd] == '-';
  if (hyphen) {
    for (; pos < runEnd; ++pos) {
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
    // A dot before exactly three digits separates thousands.
    bool thousands = text[pos] == '.' && pos + 3 < size && isDigit(text[pos + 1]) && isDigit(text[pos + 2]) &&
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

std::string Normaliser::normaliseText(std::string_view input) const {
  // A text of one character is that character's name: "," alone reads "vírgula".
  std::string single;
  if (input.size() == 1) single = charName(static_cast<unsigned char>(input[0]));
  const std::string_view text = input.size() == 1 ? std::string_view(single) : input;
  const size_t size = text.size();

  std::string out;
  out.reserve(size * 3);
  size_t pos = 0;
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
      if (!out.empty() && !isKeptPunctuation(out.back())) out += ' ';  // "14h30": agá, then trinta as a word of its own
      out += readNumber(text, pos) + ' ';
      // Decimals: 3,14 and 1.5.
      while (pos + 1 < size && (text[pos] == ',' || text[pos] == '.') && isDigit(text[pos + 1])) {
        out += text[pos] == ',' ? decimalComma_ : decimalPoint_;
        ++pos;
        out += readNumber(text, pos) + ' ';
      }
    } else if (isLetter(c)) {
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
    } else if (c == '.' && pos + 1 < size && !isBlank(text[pos + 1])) {
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
