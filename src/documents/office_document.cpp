// A word-processor document read as a letter template: the package, its parts and its paragraphs.
#include "documents/office_document.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "platform/words.h"

namespace kaldro::documents {

namespace words = platform::words;
using platform::Status;
using platform::StatusCode;

namespace {
constexpr std::string_view kCompoundFileSignature("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
// The stream a password-protected .docx keeps its package in, named in UTF-16.
constexpr std::string_view kEncryptedPackage("E\0n\0c\0r\0y\0p\0t\0e\0d\0P\0a\0c\0k\0a\0g\0e\0", 32);

Status notText() { return Status::failure(StatusCode::Malformed, words::DocumentNotText.str()); }
Status tooDeep() { return Status::failure(StatusCode::FormatLimit, words::DocumentTooDeep.str()); }

std::string lowerAscii(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

bool endsWith(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// The local part of an element's name (relationships and content types have no fixed prefix).
std::string_view localName(pugi::xml_node node) {
  const std::string_view name = node.name();
  const size_t colon = name.find(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

bool nestedDeeperThan(pugi::xml_node root, size_t limit) {
  size_t depth = 0;
  for (pugi::xml_node node = root.first_child(); node;) {
    if (node.first_child()) {
      node = node.first_child();
      if (++depth > limit) return true;
      continue;
    }
    while (node && node != root && !node.next_sibling()) {
      node = node.parent();
      --depth;
    }
    node = node && node != root ? node.next_sibling() : pugi::xml_node();
  }
  return false;
}

// A relationship's target as a part name: relative to the folder of the part that names it.
std::string resolveTarget(std::string_view folder, std::string_view target) {
  std::string path = target.substr(0, 1) == "/" ? std::string(target.substr(1)) : std::string(folder) + std::string(target);
  std::vector<std::string> parts;
  size_t from = 0;
  while (from <= path.size()) {
    size_t slash = path.find('/', from);
    if (slash == std::string::npos) slash = path.size();
    const std::string piece = path.substr(from, slash - from);
    if (piece == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!piece.empty() && piece != ".") {
      parts.push_back(piece);
    }
    from = slash + 1;
  }
  std::string joined;
  for (const std::string& piece : parts) joined += (joined.empty() ? "" : "/") + piece;
  return joined;
}

std::string folderOf(const std::string& part) {
  const size_t slash = part.rfind('/');
  return slash == std::string::npos ? "" : part.substr(0, slash + 1);
}

// The targets of a relationships part whose type ends with one of the endings, in document order.
std::vector<std::pair<std::string, std::string>> relationships(pugi::xml_node root, std::string_view folder) {
  std::vector<std::pair<std::string, std::string>> found;  // type ending, part
  for (pugi::xml_node relation : root.children()) {
    if (localName(relation) != "Relationship" || std::string_view(relation.attribute("TargetMode").value()) == "External")
      continue;
    const std::string_view type = relation.attribute("Type").value();
    const size_t slash = type.rfind('/');
    found.emplace_back(std::string(slash == std::string_view::npos ? type : type.substr(slash + 1)),
                       resolveTarget(folder, relation.attribute("Target").value()));
  }
  return found;
}
}  // namespace

Dialect dialectOf(DocumentKind kind) {
  return kind == DocumentKind::Docx || kind == DocumentKind::Dotx ? Dialect::Ooxml : Dialect::Odf;
}

std::string_view mediaTypeOf(DocumentKind kind) {
  switch (kind) {
    case DocumentKind::Docx: return media_types::Docx;
    case DocumentKind::Dotx: return media_types::Dotx;
    case DocumentKind::Odt: return media_types::Odt;
    case DocumentKind::Ott: return media_types::Ott;
  }
  return "";
}

std::string_view extensionOf(DocumentKind kind) {
  switch (kind) {
    case DocumentKind::Docx: return ".docx";
    case DocumentKind::Dotx: return ".dotx";
    case DocumentKind::Odt: return ".odt";
    case DocumentKind::Ott: return ".ott";
  }
  return "";
}

std::optional<DocumentKind> documentKindOfName(std::string_view name) {
  const std::string lower = lowerAscii(name);
  for (DocumentKind kind : {DocumentKind::Docx, DocumentKind::Dotx, DocumentKind::Odt, DocumentKind::Ott})
    if (endsWith(lower, extensionOf(kind))) return kind;
  return std::nullopt;
}

bool isDocumentName(std::string_view name) {
  const std::string lower = lowerAscii(name);
  return documentKindOfName(name) || endsWith(lower, ".doc") || endsWith(lower, ".dot");
}

Status OfficeDocument::load(std::string bytes, std::unique_ptr<OfficeDocument>& document) {
  // Word's old files, and its password-protected ones, are compound files, not zips.
  if (std::string_view(bytes).substr(0, kCompoundFileSignature.size()) == kCompoundFileSignature) {
    if (bytes.find(kEncryptedPackage) != std::string::npos)
      return Status::failure(StatusCode::Refused, words::DocumentProtected.str());
    return Status::failure(StatusCode::Refused, words::DocumentOldWord.str());
  }
  std::unique_ptr<OfficeDocument> loaded(new OfficeDocument());
  loaded->bytes_ = std::move(bytes);
  Status status = ZipPackage::open(loaded->bytes_, loaded->package_);
  if (!status.ok()) return status;
  if (loaded->package_->has("mimetype") || loaded->package_->has("content.xml"))
    status = loaded->loadOdf();
  else if (loaded->package_->has("[Content_Types].xml"))
    status = loaded->loadOoxml();
  else
    status = notText();
  if (status.ok()) document = std::move(loaded);
  return status;
}

Status OfficeDocument::parsePart(const std::string& name, pugi::xml_document& xml) {
  std::string contents;
  Status status = package_->read(name, contents);
  if (!status.ok()) return status;
  const unsigned options = pugi::parse_full | pugi::parse_ws_pcdata;
  if (!xml.load_buffer(contents.data(), contents.size(), options))
    return Status::failure(StatusCode::Malformed, words::DocumentBadXml.with({name}));
  for (pugi::xml_node node : xml.children()) {
    // An entity table is how an XML bomb multiplies itself; no document of these kinds has one.
    if (node.type() == pugi::node_doctype) return Status::failure(StatusCode::Refused, words::DocumentHasDtd.str());
    // The part is written back in UTF-8, whatever it was read in.
    if (node.type() == pugi::node_declaration && node.attribute("encoding")) node.attribute("encoding").set_value("UTF-8");
  }
  if (nestedDeeperThan(xml, kMaxNesting)) return tooDeep();
  return {};
}

Status OfficeDocument::addPart(const std::string& name, size_t& index) {
  auto part = std::make_unique<Part>();
  part->name = name;
  Status status = parsePart(name, part->xml);
  if (!status.ok()) return status;
  part->names = std::make_unique<PartNames>(dialect(), part->xml.document_element());
  index = parts_.size();
  parts_.push_back(std::move(part));
  return {};
}

Status OfficeDocument::addRegion(size_t part, pugi::xml_node root) {
  const PartNames& names = *parts_[part]->names;
  std::vector<pugi::xml_node> found;
  if (!collectParagraphs(names, root, kMaxNesting, found)) return tooDeep();
  const size_t region = regions_++;
  for (pugi::xml_node node : found) {
    ParagraphText text = readParagraph(names, node, kMaxUnpackedBytes - textBytes_, false);
    if (text.tooLong) return Status::failure(StatusCode::FormatLimit, words::DocumentTooLarge.str());
    textBytes_ += text.text.size();
    lineOfNode_[node.internal_object()] = lines_.size();
    paragraphs_.push_back({part, region, node});
    lines_.push_back(std::move(text.text));
    for (pugi::xml_node above = node; above && skeleton_.insert(above.internal_object()).second;) above = above.parent();
  }
  return {};
}

std::optional<size_t> OfficeDocument::lineOf(pugi::xml_node node) const {
  auto found = lineOfNode_.find(node.internal_object());
  if (found == lineOfNode_.end()) return std::nullopt;
  return found->second;
}

Status OfficeDocument::loadOoxml() {
  std::string main = "word/document.xml";
  pugi::xml_document xml;
  if (package_->has("_rels/.rels")) {
    Status status = parsePart("_rels/.rels", xml);
    if (!status.ok()) return status;
    for (const auto& [type, target] : relationships(xml.document_element(), ""))
      if (type == "officeDocument") main = target;
  }
  if (!package_->has(main)) return notText();
  mainDocument_ = main;
  kindPartName_ = "[Content_Types].xml";
  Status status = parsePart(kindPartName_, kindPart_);
  if (!status.ok()) return status;
  for (pugi::xml_node entry : kindPart_.document_element().children())
    if (localName(entry) == "Override" && std::string_view(entry.attribute("PartName").value()) == "/" + main)
      kind_ = std::string_view(entry.attribute("ContentType").value()) == media_types::Dotx ? DocumentKind::Dotx
                                                                                            : DocumentKind::Docx;
  // Headers and footers, each once, by name: header1.xml before header2.xml.
  std::set<std::string> headers, footers;
  const std::string mainRelations = folderOf(main) + "_rels/" + main.substr(folderOf(main).size()) + ".rels";
  if (package_->has(mainRelations)) {
    status = parsePart(mainRelations, xml);
    if (!status.ok()) return status;
    for (const auto& [type, target] : relationships(xml.document_element(), folderOf(main))) {
      if (type == "header" && package_->has(target)) headers.insert(target);
      if (type == "footer" && package_->has(target)) footers.insert(target);
    }
  }
  std::vector<std::string> order(headers.begin(), headers.end());
  order.push_back(main);
  order.insert(order.end(), footers.begin(), footers.end());
  for (const std::string& name : order) {
    size_t index = 0;
    status = addPart(name, index);
    if (status.ok()) status = addRegion(index, parts_[index]->xml.document_element());
    if (!status.ok()) return status;
  }
  return {};
}

Status OfficeDocument::loadOdf() {
  kind_ = DocumentKind::Odt;
  if (package_->has("mimetype")) {
    std::string mimetype;
    Status status = package_->read("mimetype", mimetype);
    if (!status.ok()) return status;
    while (!mimetype.empty() && std::isspace(static_cast<unsigned char>(mimetype.back()))) mimetype.pop_back();
    if (mimetype == media_types::Ott)
      kind_ = DocumentKind::Ott;
    else if (mimetype != media_types::Odt)
      return notText();
  }
  if (!package_->has("content.xml")) return notText();
  mainDocument_ = "/";
  kindPartName_ = "META-INF/manifest.xml";
  if (package_->has(kindPartName_)) {
    Status status = parsePart(kindPartName_, kindPart_);
    if (!status.ok()) return status;
    for (pugi::xml_node node = kindPart_.document_element(); node; node = nextInOrder(node, kindPart_, true))
      if (localName(node) == "encryption-data") return Status::failure(StatusCode::Refused, words::DocumentProtected.str());
  }
  size_t styles = 0, content = 0;
  const bool hasStyles = package_->has("styles.xml");
  Status status = hasStyles ? addPart("styles.xml", styles) : Status();
  if (status.ok()) status = addPart("content.xml", content);
  if (!status.ok()) return status;
  // The page styles' headers, the text, the page styles' footers.
  std::vector<pugi::xml_node> headers, footers;
  if (hasStyles) {
    const PartNames& names = *parts_[styles]->names;
    pugi::xml_node masters = parts_[styles]->xml.document_element().find_child(
        [&](pugi::xml_node n) { return names.is(n, namespaces::Office, "master-styles"); });
    for (pugi::xml_node page : masters.children())
      for (pugi::xml_node part : page.children()) {
        const std::string_view local = localName(part);
        if (!names.is(part, namespaces::Style, local)) continue;
        if (local.substr(0, 6) == "header") headers.push_back(part);
        if (local.substr(0, 6) == "footer") footers.push_back(part);
      }
  }
  const PartNames& names = *parts_[content]->names;
  pugi::xml_node body = parts_[content]->xml.document_element().find_child(
      [&](pugi::xml_node n) { return names.is(n, namespaces::Office, "body"); });
  pugi::xml_node text = body.find_child([&](pugi::xml_node n) { return names.is(n, namespaces::Office, "text"); });
  if (!text) return notText();
  for (pugi::xml_node header : headers)
    if (status = addRegion(styles, header); !status.ok()) return status;
  if (status = addRegion(content, text); !status.ok()) return status;
  for (pugi::xml_node footer : footers)
    if (status = addRegion(styles, footer); !status.ok()) return status;
  return {};
}

}  // namespace kaldro::documents
