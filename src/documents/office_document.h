// A word-processor document (.docx, .dotx, .odt, .ott) read as a letter template: its paragraphs as
// the template's lines, in reading order (headers, body, footers), and the parts they live in.
#pragma once

#include <pugixml.hpp>

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "documents/document_text.h"
#include "documents/zip_package.h"
#include "platform/status.h"

namespace kaldro::documents {

enum class DocumentKind { Docx, Dotx, Odt, Ott };

// What a package says its main document is, by kind.
namespace media_types {
inline constexpr std::string_view Docx = "application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml";
inline constexpr std::string_view Dotx = "application/vnd.openxmlformats-officedocument.wordprocessingml.template.main+xml";
inline constexpr std::string_view Odt = "application/vnd.oasis.opendocument.text";
inline constexpr std::string_view Ott = "application/vnd.oasis.opendocument.text-template";
}  // namespace media_types
std::string_view mediaTypeOf(DocumentKind kind);

Dialect dialectOf(DocumentKind kind);
// ".docx", ".odt"...
std::string_view extensionOf(DocumentKind kind);
// The kind a file name asks for by its extension, in any case.
std::optional<DocumentKind> documentKindOfName(std::string_view name);
// Whether a template of this name is read as a word-processor document: the four kinds, and Word's
// old .doc and .dot, which are read only to say what they are.
bool isDocumentName(std::string_view name);

// Beyond any real document's nesting, well within what the reading's loops handle.
inline constexpr size_t kMaxNesting = 1000;

class OfficeDocument {
 public:
  // Reads a document from its bytes, refusing what is no usable document with the reason why.
  static platform::Status load(std::string bytes, std::unique_ptr<OfficeDocument>& document);

  DocumentKind kind() const { return kind_; }
  Dialect dialect() const { return dialectOf(kind_); }
  // The paragraphs' text (UTF-8), one line each; taken, they are the caller's (and lines() is empty).
  const std::vector<std::string>& lines() const { return lines_; }
  std::vector<std::string> takeLines() { return std::move(lines_); }

  // What the letter is built from.
  struct Part {
    std::string name;
    pugi::xml_document xml;
    std::unique_ptr<PartNames> names;
  };
  struct Paragraph {
    size_t part;
    size_t region;  // the header, body or footer it is in: a table repeats within one
    pugi::xml_node node;
  };
  const std::vector<std::unique_ptr<Part>>& parts() const { return parts_; }
  // A part's tree, for a letter written into the document itself.
  pugi::xml_document& treeToChange(size_t part) { return parts_[part]->xml; }
  const std::vector<Paragraph>& paragraphs() const { return paragraphs_; }
  // Paragraphs and every element above them: the nodes a letter keeps track of.
  bool inSkeleton(pugi::xml_node node) const { return skeleton_.count(node.internal_object()) > 0; }
  // The line of a paragraph node, if it is one.
  std::optional<size_t> lineOf(pugi::xml_node node) const;
  const std::string& bytes() const { return bytes_; }
  const ZipPackage& package() const { return *package_; }
  // The part that names the document's kind ([Content_Types].xml, or ODF's manifest), as read, and
  // the main document part it names (word/document.xml; "/" for ODF's package).
  const std::string& kindPartName() const { return kindPartName_; }
  const pugi::xml_document& kindPart() const { return kindPart_; }
  const std::string& mainDocument() const { return mainDocument_; }

 private:
  OfficeDocument() = default;
  platform::Status loadOoxml();
  platform::Status loadOdf();
  platform::Status parsePart(const std::string& name, pugi::xml_document& xml);
  platform::Status addRegion(size_t part, pugi::xml_node root);
  platform::Status addPart(const std::string& name, size_t& index);

  std::string bytes_;
  std::unique_ptr<ZipPackage> package_;
  DocumentKind kind_ = DocumentKind::Docx;
  std::string kindPartName_;
  pugi::xml_document kindPart_;
  std::string mainDocument_;
  std::vector<std::unique_ptr<Part>> parts_;
  std::vector<Paragraph> paragraphs_;
  std::vector<std::string> lines_;
  size_t regions_ = 0;
  size_t textBytes_ = 0;
  std::unordered_set<const void*> skeleton_;
  std::unordered_map<const void*, size_t> lineOfNode_;
};

}  // namespace kaldro::documents
