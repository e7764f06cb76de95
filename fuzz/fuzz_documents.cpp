// The reader of word-processor templates: a zip of XML parts read, every line written with its
// fields filled, a table repeated, the letter packed, and the letter read back as a document.
#include <cstdlib>

#include "documents/document_letter.h"
#include "documents/office_document.h"
#include "targets.h"

namespace kaldro::fuzz {

namespace {
// Each "{...}" of a line, filled with a value that needs ODF's blanks and XML's escapes.
std::vector<documents::FilledField> fieldsOf(const std::string& line) {
  std::vector<documents::FilledField> fields;
  for (size_t open = line.find('{'); open != std::string::npos; open = line.find('{', open)) {
    const size_t close = line.find('}', open);
    if (close == std::string::npos) break;
    fields.push_back({open, close + 1, "a  <b> & \"c\"\t"});
    open = close + 1;
  }
  return fields;
}
}  // namespace

void fuzzDocuments(std::span<const uint8_t> input) {
  std::string bytes(reinterpret_cast<const char*>(input.data()), input.size());
  std::unique_ptr<documents::OfficeDocument> document;
  if (!documents::OfficeDocument::load(std::move(bytes), document).ok()) return;
  documents::DocumentLetter letter(*document);
  const std::vector<std::string>& lines = document->lines();
  for (size_t line = 0; line < lines.size(); ++line) letter.writeLine(line, fieldsOf(lines[line]));
  if (lines.size() > 2) {
    letter.repeatTable(0, lines.size() - 1);
    for (size_t line = 1; line < lines.size(); ++line) letter.writeLine(line, fieldsOf(lines[line]));
  }
  std::string written;
  if (!letter.package(document->kind(), written).ok()) return;
  // A letter made from a template that reads must read too (unless the table made it too large).
  std::unique_ptr<documents::OfficeDocument> again;
  const platform::Status reread = documents::OfficeDocument::load(std::move(written), again);
  if (!reread.ok() && reread.code() != platform::StatusCode::FormatLimit) std::abort();
}

}  // namespace kaldro::fuzz
