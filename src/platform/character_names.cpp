// Names for the characters CP1252 lacks: our list of signs, the CLDR annotations, Latin letters.
#include "platform/character_names.h"

#include <pugixml.hpp>
#include <utf8proc.h>

#include <filesystem>

#include "platform/text.h"
#include "platform/unicode_text.h"
#include "platform/words.h"

namespace kaldro::platform {

namespace {

struct SignName {
  char32_t codePoint;
  const char* name;  // UTF-8; empty: kept silent, as screen readers keep it
};

// Signs a reader names in a sentence, shorter than CLDR's descriptions ("sinal de menos").
constexpr SignName kSignNames[] = {
    {0x2212, "menos"},          {0x00D7, "vezes"},           {0x00F7, "dividido por"},
    {0x2215, "dividido por"},   {0x2264, "menor ou igual a"}, {0x2265, "maior ou igual a"},
    {0x2260, "diferente de"},   {0x00B1, "mais ou menos"},   {0x2213, "menos ou mais"},
    {0x2248, "aproximadamente"}, {0x221E, "infinito"},        {0x221A, "raiz quadrada de"},
    {0x2030, "por mil"},        {0x2031, "por dez mil"},     {0x2116, "número"},
    {0x00B9, "elevado a um"},   {0x00B2, "ao quadrado"},     {0x00B3, "ao cubo"},
    {0x2070, "elevado a zero"}, {0x2074, "elevado a quatro"}, {0x2075, "elevado a cinco"},
    {0x2076, "elevado a seis"}, {0x2077, "elevado a sete"},  {0x2078, "elevado a oito"},
    {0x2079, "elevado a nove"}, {0x207F, "elevado a ene"},   {0x2153, "um terço"},
    {0x2154, "dois terços"},    {0x215B, "um oitavo"},       {0x2190, "seta para a esquerda"},
    {0x2191, "seta para cima"}, {0x2192, "seta para a direita"}, {0x2193, "seta para baixo"},
    {0x2194, "seta dupla"},     {0x21D2, "implica"},         {0x21D4, "equivale a"},
    {0x2022, ""},               {0x2023, ""},                {0x2043, ""},
    {0x25AA, ""},               {0x25CF, ""},                {0x25E6, ""},
    {0x2219, ""},               {0x2032, ""},                {0x2033, ""},
    {0x2713, "visto"},          {0x2714, "visto"},           {0x2717, "xis"},
    {0x2718, "xis"},
};

// Letters of the Greek alphabet said alone (a sign in a formula) and inside a word.
struct ScriptLetter {
  char32_t small;
  const char* alone;
  const char* inWord;
};
constexpr ScriptLetter kGreek[] = {
    {0x3B1, "alfa", "a"},    {0x3B2, "beta", "b"},    {0x3B3, "gama", "g"},     {0x3B4, "delta", "d"},
    {0x3B5, "épsilon", "e"}, {0x3B6, "zeta", "z"},    {0x3B7, "eta", "e"},      {0x3B8, "teta", "t"},
    {0x3B9, "iota", "i"},    {0x3BA, "capa", "k"},    {0x3BB, "lambda", "l"},   {0x3BC, "mi", "m"},
    {0x3BD, "ni", "n"},      {0x3BE, "csi", "x"},     {0x3BF, "ômicron", "o"},  {0x3C0, "pi", "p"},
    {0x3C1, "rô", "r"},      {0x3C2, "sigma", "s"},   {0x3C3, "sigma", "s"},    {0x3C4, "tau", "t"},
    {0x3C5, "ípsilon", "i"}, {0x3C6, "fi", "f"},      {0x3C7, "qui", "q"},      {0x3C8, "psi", "ps"},
    {0x3C9, "ômega", "o"},
};
constexpr const char* kCyrillic[32] = {"a", "b", "v",  "g",   "d",    "e", "j", "z",  "i", "i", "k",
                                       "l", "m", "n",  "o",   "p",    "r", "s", "t",  "u", "f", "r",
                                       "ts", "tch", "ch", "chtch", "", "i", "", "e", "iu", "ia"};

std::string cp1252Of(std::string_view utf8) {
  std::string out = utf8ToCp1252(utf8);
  for (char& c : out)
    if (c == '?') c = ' ';
  return out;
}

std::u32string codePoints(std::string_view utf8) {
  std::u32string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    size_t length = 1;
    const auto codePoint = decodeUtf8(utf8, i, length);
    out.push_back(codePoint ? *codePoint : kReplacementCharacter);
    i += codePoint ? length : 1;
  }
  return out;
}

const SignName* signName(char32_t codePoint) {
  for (const SignName& sign : kSignNames)
    if (sign.codePoint == codePoint) return &sign;
  return nullptr;
}

char32_t smallLetter(char32_t c) { return static_cast<char32_t>(utf8proc_tolower(static_cast<utf8proc_int32_t>(c))); }

// The base letter of an accented Greek or Cyrillic letter (ά α, й stays, ё е).
char32_t baseLetter(char32_t c) {
  utf8proc_int32_t decomposed[4];
  int boundary = 0;
  const utf8proc_ssize_t count =
      utf8proc_decompose_char(static_cast<utf8proc_int32_t>(c), decomposed, 4, UTF8PROC_DECOMPOSE, &boundary);
  return count >= 1 && c != 0x439 && c != 0x419 ? static_cast<char32_t>(decomposed[0]) : c;
}

bool isGreekOrCyrillic(char32_t c) { return (c >= 0x370 && c <= 0x3FF) || (c >= 0x400 && c <= 0x4FF); }

// A Greek or Cyrillic letter in Latin letters (capital kept), or its name when it stands alone.
std::string scriptLetter(char32_t c, bool alone) {
  const char32_t small = smallLetter(baseLetter(c));
  const bool capital = smallLetter(c) != c;
  std::string latin;
  for (const ScriptLetter& letter : kGreek)
    if (letter.small == small) {
      if (alone) return " " + cp1252Of(letter.alone) + " ";
      latin = letter.inWord;
    }
  if (small >= 0x430 && small <= 0x44F) latin = kCyrillic[small - 0x430];
  else if (small == 0x451) latin = "io";
  if (capital && !latin.empty()) latin[0] = static_cast<char>(latin[0] - 'a' + 'A');
  return latin;
}

}  // namespace

std::vector<std::string> CharacterNames::systemAnnotationFiles() {
  return {"/usr/share/unicode/cldr/common/annotations/pt.xml",
          "/usr/share/unicode/cldr/common/annotationsDerived/pt.xml"};
}

Status CharacterNames::loadAnnotations(const std::vector<std::string>& files) {
  for (const std::string& file : files) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error)) continue;
    pugi::xml_document document;
    if (const pugi::xml_parse_result parsed = document.load_file(file.c_str()); !parsed)
      return Status::failure(StatusCode::Malformed,
                             words::DataFileUnreadable.with({utf8ToCp1252(file), parsed.description()}));
    for (const pugi::xpath_node& found : document.select_nodes("//annotations/annotation[@type='tts']")) {
      std::u32string sequence;
      for (const char32_t c : codePoints(found.node().attribute("cp").value()))
        if (c != 0xFE0F) sequence.push_back(c);
      const std::string name = cp1252Of(composedUtf8(found.node().child_value()));
      if (sequence.empty() || name.empty()) continue;
      if (sequence.size() == 1 && codePointToCp1252(sequence[0])) continue;  // the voices read these
      annotations_.emplace(sequence, name);
      if (sequence.size() > longestAnnotation_) longestAnnotation_ = sequence.size();
    }
  }
  return {};
}

std::string CharacterNames::annotationAt(const std::u32string& text, size_t& at) const {
  std::u32string candidate;
  size_t bestEnd = 0;
  std::string best;
  for (size_t end = at; end < text.size() && candidate.size() < longestAnnotation_; ++end) {
    if (text[end] == 0xFE0F) continue;
    candidate.push_back(text[end]);
    const auto found = annotations_.find(candidate);
    if (found != annotations_.end()) {
      best = found->second;
      bestEnd = end + 1;
    }
  }
  if (bestEnd) at = bestEnd;
  return best;
}

void CharacterNames::appendCharacter(const std::u32string& text, size_t& at, std::string& out) const {
  const char32_t c = text[at];
  if (c == '\n' || c == '\t') {
    out.push_back(static_cast<char>(c));
  } else if (isUnicodeBlank(c) || c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == kReplacementCharacter) {
    out.push_back(' ');
  } else if (isInvisible(c) || isMark(c)) {
    // nothing: it shapes a neighbour, or nothing at all
  } else if (const auto byte = codePointToCp1252(c)) {
    out.push_back(static_cast<char>(*byte));
  } else if (const SignName* sign = signName(c)) {
    out += " " + cp1252Of(sign->name) + " ";
  } else if (std::string name = annotationAt(text, at); !name.empty()) {
    out += " " + name + " ";
    return;  // annotationAt moved past the sequence
  } else if (isGreekOrCyrillic(c)) {
    const bool alone = (at == 0 || !isLetter(text[at - 1])) && (at + 1 == text.size() || !isLetter(text[at + 1]));
    out += scriptLetter(c, alone);
  } else if (std::string latin = latinDecomposition(c); !latin.empty()) {
    out += utf8ToCp1252(latin);
  } else {
    out.push_back(' ');  // a letter of a script without a Latin reading, or a sign without a name
  }
  ++at;
}

std::string CharacterNames::speechTextFromUtf8(std::string_view utf8) const {
  const std::u32string text = codePoints(composedUtf8(utf8));
  std::string out;
  out.reserve(text.size());
  for (size_t at = 0; at < text.size();) appendCharacter(text, at, out);
  return out;
}

std::string CharacterNames::speechText(std::string_view bytes) const {
  if (std::optional<std::string> marked = markedTextToUtf8(bytes)) return speechTextFromUtf8(*marked);
  if (readsAsUtf8(bytes)) return speechTextFromUtf8(bytes);
  return speechTextFromUtf8(cp1252ToUtf8(bytes));
}

std::string CharacterNames::nameCp1252Signs(std::string_view cp1252) {
  std::string out;
  out.reserve(cp1252.size());
  for (const char c : cp1252) {
    const SignName* sign = static_cast<unsigned char>(c) >= 0x80 ? signName(cp1252ToCodePoint(static_cast<unsigned char>(c))) : nullptr;
    if (sign) out += " " + cp1252Of(sign->name) + " ";
    else out.push_back(c);
  }
  return out;
}

}  // namespace kaldro::platform
