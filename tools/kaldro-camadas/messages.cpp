// Finds the messages a source file holds outside the words table.
#include "messages.h"

#include <cctype>

namespace kaldro::layers {

namespace {

bool isIdentifierByte(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The body of an ordinary literal with its escapes turned into the bytes they stand for.
std::string decodeEscapes(std::string_view body) {
  std::string out;
  for (size_t i = 0; i < body.size(); ++i) {
    if (body[i] != '\\' || i + 1 == body.size()) {
      out += body[i];
      continue;
    }
    const char kind = body[++i];
    if (kind == 'x') {
      int value = 0;
      while (i + 1 < body.size() && hexValue(body[i + 1]) >= 0) value = value * 16 + hexValue(body[++i]);
      out += static_cast<char>(value & 0xFF);
    } else if (kind >= '0' && kind <= '7') {
      int value = kind - '0';
      for (int digits = 1; digits < 3 && i + 1 < body.size() && body[i + 1] >= '0' && body[i + 1] <= '7'; ++digits)
        value = value * 8 + (body[++i] - '0');
      out += static_cast<char>(value & 0xFF);
    } else {
      out += kind == 'n' ? '\n' : kind == 't' ? '\t' : kind == 'r' ? '\r' : kind;
    }
  }
  return out;
}

// The identifier or number that ends just before `at`.
std::string_view tokenBefore(std::string_view source, size_t at) {
  size_t start = at;
  while (start > 0 && isIdentifierByte(source[start - 1])) --start;
  return source.substr(start, at - start);
}

// Where the literal opened at `open` (a quote) ends: the index of its closing quote.
size_t closingQuote(std::string_view source, size_t open, char quote) {
  size_t at = open + 1;
  while (at < source.size() && source[at] != quote && source[at] != '\n') at += source[at] == '\\' ? 2 : 1;
  return at;
}

struct Character {
  bool letter = false;
  bool accented = false;
  bool lower = false;
  bool space = false;
};

// The text's characters: UTF-8 Latin-1 letters as written in the source, CP1252 letters as escapes give.
std::vector<Character> characters(std::string_view bytes) {
  std::vector<Character> out;
  for (size_t i = 0; i < bytes.size(); ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    unsigned codePoint = byte;
    if (byte == 0xC2 || byte == 0xC3) {
      if (i + 1 < bytes.size() && (static_cast<unsigned char>(bytes[i + 1]) & 0xC0) == 0x80)
        codePoint = ((byte & 0x1F) << 6) | (static_cast<unsigned char>(bytes[++i]) & 0x3F);
    }
    Character c;
    if (codePoint < 0x80) {
      c.letter = std::isalpha(static_cast<int>(codePoint)) != 0;
      c.lower = std::islower(static_cast<int>(codePoint)) != 0;
      c.space = codePoint == ' ';
    } else if (codePoint >= 0xC0 && codePoint != 0xD7 && codePoint != 0xF7) {
      c.letter = c.accented = true;
      c.lower = codePoint >= 0xDF;
    }
    out.push_back(c);
  }
  return out;
}

struct Word {
  size_t letters = 0;
  bool lower = true;
  bool followedBySpace = false;  // exactly one space, then the next word
};

}  // namespace

std::vector<Literal> stringLiterals(std::string_view source) {
  std::vector<Literal> literals;
  int line = 1;
  bool lineIsInclude = false;
  bool atLineStart = true;
  for (size_t i = 0; i < source.size(); ++i) {
    const char c = source[i];
    if (c == '\n') {
      ++line;
      atLineStart = true;
      lineIsInclude = false;
      continue;
    }
    if (atLineStart && c == '#') {
      size_t word = source.find_first_not_of(" \t", i + 1);
      lineIsInclude = word != std::string_view::npos && source.substr(word, 7) == "include";
    }
    if (c != ' ' && c != '\t') atLineStart = false;
    if (source.substr(i, 2) == "//") {
      const size_t end = source.find('\n', i);
      if (end == std::string_view::npos) break;
      i = end - 1;  // the end of line is counted next
      continue;
    }
    if (source.substr(i, 2) == "/*") {
      const size_t end = source.find("*/", i + 2);
      for (size_t k = i; k < end && k < source.size(); ++k) line += source[k] == '\n';
      if (end == std::string_view::npos) break;
      i = end + 1;
      continue;
    }
    if (c == '\'') {
      // A quote inside a number is a digit separator (1'000, 0xFF'FF), not a character literal.
      const std::string_view before = tokenBefore(source, i);
      if (!before.empty() && std::isdigit(static_cast<unsigned char>(before.front()))) continue;
      i = closingQuote(source, i, '\'');
      continue;
    }
    if (c != '"') continue;
    if (const std::string_view prefix = tokenBefore(source, i);
        prefix == "R" || prefix == "u8R" || prefix == "uR" || prefix == "UR" || prefix == "LR") {
      const size_t paren = source.find('(', i);
      const std::string close = ")" + std::string(source.substr(i + 1, paren - i - 1)) + "\"";
      const size_t end = source.find(close, paren);
      if (paren == std::string_view::npos || end == std::string_view::npos) break;
      const std::string_view body = source.substr(paren + 1, end - paren - 1);
      if (!lineIsInclude) literals.push_back({line, std::string(body)});
      for (char k : body) line += k == '\n';
      i = end + close.size() - 1;
      continue;
    }
    const size_t end = closingQuote(source, i, '"');
    if (!lineIsInclude) literals.push_back({line, decodeEscapes(source.substr(i + 1, end - i - 1))});
    i = end;
  }
  return literals;
}

bool readsAsMessage(std::string_view bytes) {
  const std::vector<Character> text = characters(bytes);
  bool accented = false;
  std::vector<Word> words;
  Word current;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i < text.size() && text[i].letter) {
      ++current.letters;
      current.lower = current.lower && text[i].lower;
      accented = accented || text[i].accented;
      continue;
    }
    if (current.letters > 0) {
      current.followedBySpace = i + 1 < text.size() && text[i].space && text[i + 1].letter;
      words.push_back(current);
    }
    current = Word();
  }
  for (size_t i = 0; i + 1 < words.size(); ++i) {
    if (!words[i].followedBySpace) continue;
    const Word& first = words[i];
    const Word& second = words[i + 1];
    if (accented && first.letters >= 2 && second.letters >= 2) return true;
    if (first.letters >= 3 && second.letters >= 2 && second.lower) return true;
  }
  return false;
}

}  // namespace kaldro::layers
