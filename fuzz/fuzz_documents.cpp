// The reader of word-processor templates: a zip of XML parts read, every line written with its
// fields filled, a table repeated, the letter packed, and the letter read back as a document. An
// input that is no zip is the XML of a document's text, packed here: its first byte's low bit picks
// the dialect (0: word/document.xml of a .docx, 1: content.xml of an .odt), so the XML is fuzzed
// past the zip's checksums.
#include <zip.h>

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

std::string zipOf(const std::vector<std::pair<std::string, std::string>>& entries) {
  zip_source_t* target = zip_source_buffer_create(nullptr, 0, 0, nullptr);
  zip_source_keep(target);
  zip_t* archive = zip_open_from_source(target, ZIP_TRUNCATE, nullptr);
  for (const auto& [name, data] : entries) {
    const zip_int64_t at =
        zip_file_add(archive, name.c_str(), zip_source_buffer(archive, data.data(), data.size(), 0), 0);
    zip_set_file_compression(archive, static_cast<zip_uint64_t>(at), ZIP_CM_STORE, 0);
  }
  zip_close(archive);
  zip_stat_t written;
  zip_source_stat(target, &written);
  std::string bytes(written.size, '\0');
  zip_source_open(target);
  zip_source_read(target, bytes.data(), bytes.size());
  zip_source_close(target);
  zip_source_free(target);
  return bytes;
}

std::string packageOf(std::string_view input) {
  if (input.substr(0, 2) == "PK" || input.empty()) return std::string(input);
  const std::string xml(input.substr(1));
  if (input[0] & 1) return zipOf({{"mimetype", "application/vnd.oasis.opendocument.text"}, {"content.xml", xml}});
  return zipOf({{"[Content_Types].xml",
                 "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\"><Override "
                 "PartName=\"/word/document.xml\" ContentType=\"application/"
                 "vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml\"/></Types>"},
                {"word/document.xml", xml}});
}
}  // namespace

void fuzzDocuments(std::span<const uint8_t> input) {
  std::string bytes = packageOf(std::string_view(reinterpret_cast<const char*>(input.data()), input.size()));
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
