// Where the template's walk writes the letter: text line by line, or a document at the end.
#include "plumar/letter_writers.h"

#include <algorithm>
#include <utility>

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
  steps_.push_back({line, kNoTable, std::move(fields_)});
  fields_.clear();
}

void DocumentLetterWriter::repeatTable(size_t mark, size_t end) { steps_.push_back({end, mark, {}}); }

platform::Status DocumentLetterWriter::finish(std::string& rest) {
  // Without a table to repeat, the letter needs no clean copy of the template: it is written into it.
  const bool repeats = std::any_of(steps_.begin(), steps_.end(), [](const Step& step) { return step.mark != kNoTable; });
  std::unique_ptr<documents::DocumentLetter> built =
      repeats ? std::make_unique<documents::DocumentLetter>(std::as_const(document_))
              : std::make_unique<documents::DocumentLetter>(document_, documents::DocumentLetter::InPlace{});
  documents::DocumentLetter& letter = *built;
  for (const Step& step : steps_) {
    if (step.mark == kNoTable)
      letter.writeLine(step.line, step.fields);
    else
      letter.repeatTable(step.mark, step.line);
  }
  steps_.clear();
  return letter.package(kind_, rest);
}

}  // namespace kaldro::app
