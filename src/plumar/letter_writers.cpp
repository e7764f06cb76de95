// Where the template's walk writes the letter: text line by line, or a document at the end.
#include "plumar/letter_writers.h"

namespace kaldro::app {

void TextLetterWriter::copy(size_t line, size_t from, size_t to) {
  output_(std::string_view(lines_[line]).substr(from, to - from));
}

void TextLetterWriter::fill(size_t, size_t, size_t, std::string_view value) { output_(value); }

void TextLetterWriter::endLine(size_t) { output_(lineEnd_); }

platform::Status TextLetterWriter::finish(std::string& rest) {
  rest.clear();
  return {};
}

void DocumentLetterWriter::fill(size_t, size_t from, size_t to, std::string_view value) {
  fields_.push_back({from, to, std::string(value)});
}

void DocumentLetterWriter::endLine(size_t line) {
  letter_.writeLine(line, fields_);
  fields_.clear();
}

}  // namespace kaldro::app
