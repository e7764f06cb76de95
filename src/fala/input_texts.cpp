// kaldro-fala's input: command-line texts, or standard input's lines in bounded parts.
#include "fala/input_texts.h"

#include "platform/text.h"

namespace kaldro::app {

InputTexts::InputTexts(const platform::Configuration& configuration) : reading_(configuration) {
  // The names are a help: without the system's annotations, signs keep our own names.
  (void)names_.loadAnnotations(platform::CharacterNames::systemAnnotationFiles());
}

void InputTexts::forEach(const std::vector<std::string>& items, std::istream& in,
                         const std::function<void(const std::string& given, const std::string& text)>& take) const {
  auto hand = [&](const std::string& part) { take(part, names_.speechText(part)); };
  if (!items.empty()) {
    for (const std::string& text : items) hand(text);
    return;
  }
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
      const size_t end = reading_.partEnd(line);
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
