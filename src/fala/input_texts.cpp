// kaldro-fala's input: command-line texts, or standard input's lines in bounded parts.
#include "fala/input_texts.h"

#include "platform/text.h"

namespace kaldro::app {

namespace {
bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }
bool endsSentence(char c) { return c == '.' || c == '!' || c == '?'; }
}  // namespace

size_t inputPartEnd(const std::string& line) {
  size_t lastBlank = 0;
  for (size_t at = line.size(); at-- > 1;) {
    if (!isBlank(line[at])) continue;
    if (endsSentence(line[at - 1])) return at + 1;
    if (!lastBlank) lastBlank = at + 1;
  }
  if (lastBlank) return lastBlank;
  size_t at = line.size();
  while (at > 1 && (static_cast<unsigned char>(line[at - 1]) & 0xC0) == 0x80) --at;
  // at - 1 is a character's first byte (or a stray continuation byte); the part ends before it.
  return at > 1 ? at - 1 : line.size();
}

void forEachInputText(const std::vector<std::string>& items, std::istream& in,
                      const std::function<void(const std::string& given, const std::string& text)>& take) {
  if (!items.empty()) {
    for (const std::string& text : items) take(text, platform::utf8ToCp1252(text));
    return;
  }
  auto hand = [&](const std::string& part) { take(part, platform::textFileToCp1252(part)); };
  std::string line;
  std::streambuf* input = in.rdbuf();
  for (int c; (c = input->sbumpc()) != std::char_traits<char>::eof();) {
    if (c == '\n') {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      hand(line);
      line.clear();
      continue;
    }
    line.push_back(static_cast<char>(c));
    if (line.size() >= kLongestInputText) {
      const size_t end = inputPartEnd(line);
      hand(line.substr(0, end));
      line.erase(0, end);
    }
  }
  if (!line.empty()) {
    if (line.back() == '\r') line.pop_back();
    hand(line);
  }
  in.setstate(std::ios::eofbit);
}

}  // namespace kaldro::app
