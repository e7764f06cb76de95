// A letter written in its template's format: the template's paragraphs as the walk writes them,
// fields filled in the formatting of their first character, tables repeated by rows or paragraphs,
// the lines the walk never writes (instructions, table marks) gone, everything else as it was.
#pragma once

#include <pugixml.hpp>

#include <cstddef>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "documents/office_document.h"
#include "platform/status.h"

namespace kaldro::documents {

// A field of a line: bytes [begin, end) of the line's text (its braces included) become value (UTF-8).
struct FilledField {
  size_t begin = 0, end = 0;
  std::string value;
};

class DocumentLetter {
 public:
  // Built in a copy of the document's tree. The document must outlive the letter.
  explicit DocumentLetter(const OfficeDocument& document);
  // Built in the document's own tree, which is lighter but keeps no clean copy for a table to
  // repeat: for a walk that repeats no table. The document is spent then.
  struct InPlace {};
  DocumentLetter(OfficeDocument& document, InPlace);
  ~DocumentLetter();
  DocumentLetter(const DocumentLetter&) = delete;
  DocumentLetter& operator=(const DocumentLetter&) = delete;

  // The walk writes line `line` (0-based), its fields filled, in the order given.
  void writeLine(size_t line, std::span<const FilledField> fields);
  // The walk goes back over a table: lines mark+1 to end come again (0-based; mark is the table's
  // start line, end its end line). Markers in one table repeat its rows, others the paragraphs
  // from the start line to the end line, and what lies between them.
  void repeatTable(size_t mark, size_t end);
  // The letter's package as bytes: a document of the kind asked for, of the template's dialect.
  // Once only: the letter's tree is let go to make room for the package.
  platform::Status package(DocumentKind kind, std::string& bytes);

 private:
  struct Unit {
    pugi::xml_node first, last;  // siblings in the template
  };
  Unit repeatedUnit(const OfficeDocument::Paragraph& mark, const OfficeDocument::Paragraph& end) const;
  // Records the output copy of a template subtree: its skeleton nodes and its paragraphs.
  void follow(pugi::xml_node original, pugi::xml_node copy, bool fresh);
  pugi::xml_node liveParagraph(size_t line);
  void removeUnwritten();
  void keepBlocksValid(pugi::xml_node root, const PartNames& names);
  std::string serialise(size_t part) const;
  void setKind(DocumentKind kind, std::map<std::string, std::string>& replaced) const;

  const OfficeDocument& template_;
  std::vector<pugi::xml_document*> parts_;                   // the letter's trees
  std::vector<std::unique_ptr<pugi::xml_document>> copies_;  // when built in a copy
  std::unordered_map<const void*, pugi::xml_node> current_;  // template skeleton node: its latest copy
  std::unordered_map<const void*, size_t> unwritten_;        // output paragraph: its line, until written
  std::vector<bool> written_;                                // per line: written at least once
  std::vector<pugi::xml_node> lastWritten_;                  // per line: its latest output paragraph
  bool changed_ = false;
};

}  // namespace kaldro::documents
