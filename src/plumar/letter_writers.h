// Where the template's walk writes the letter: as text, line by line, or into a word-processor
// document in the template's own format. The walk is one; only where its lines go differs.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "documents/document_letter.h"
#include "documents/office_document.h"
#include "platform/status.h"

namespace kaldro::app {

class LetterWriter {
 public:
  virtual ~LetterWriter() = default;
  // Bytes [from, to) of template line `line` (0-based), as they are.
  virtual void copy(size_t line, size_t from, size_t to) = 0;
  // Bytes [from, to) of the line, a field with its braces, become value (in the template's encoding).
  virtual void fill(size_t line, size_t from, size_t to, std::string_view value) = 0;
  virtual void endLine(size_t line) = 0;
  // The walk goes back to the table that starts at line mark and ends at line end (0-based).
  virtual void repeatTable(size_t mark, size_t end) = 0;
  // Whether what was written so far is a letter worth keeping when the walk stops half-way.
  virtual bool keepsPartialLetter() const = 0;
  // What is left to write once the walk is done.
  virtual platform::Status finish(std::string& rest) = 0;
};

// A text letter: each line as it is written, ended as the template's lines end.
class TextLetterWriter : public LetterWriter {
 public:
  using Output = std::function<void(std::string_view bytes)>;
  TextLetterWriter(const std::vector<std::string>& lines, std::string lineEnd, Output output)
      : lines_(lines), lineEnd_(std::move(lineEnd)), output_(std::move(output)) {}
  void copy(size_t line, size_t from, size_t to) override;
  void fill(size_t line, size_t from, size_t to, std::string_view value) override;
  void endLine(size_t line) override;
  void repeatTable(size_t, size_t) override {}
  bool keepsPartialLetter() const override { return true; }
  platform::Status finish(std::string& rest) override;

 private:
  const std::vector<std::string>& lines_;
  const std::string lineEnd_;
  Output output_;
};

// A letter in the template's document format, written whole at the end: the walk's lines and
// tables are noted, and the document is built from them once the walk is done, so that no question
// waits for a copy of a large document.
class DocumentLetterWriter : public LetterWriter {
 public:
  // The document is written into when no table repeats: it is spent once the letter is finished.
  DocumentLetterWriter(documents::OfficeDocument& document, documents::DocumentKind kind)
      : document_(document), kind_(kind) {}
  void copy(size_t, size_t, size_t) override {}
  void fill(size_t line, size_t from, size_t to, std::string_view value) override;
  void endLine(size_t line) override;
  void repeatTable(size_t mark, size_t end) override;
  bool keepsPartialLetter() const override { return false; }
  platform::Status finish(std::string& rest) override;

 private:
  struct Step {
    size_t line;   // the line written, or the table's end line
    size_t mark;   // the table's start line; kNoTable for a line written
    std::vector<documents::FilledField> fields;
  };
  static constexpr size_t kNoTable = static_cast<size_t>(-1);
  documents::OfficeDocument& document_;
  const documents::DocumentKind kind_;
  std::vector<documents::FilledField> fields_;  // of the line being written
  std::vector<Step> steps_;
};

}  // namespace kaldro::app
