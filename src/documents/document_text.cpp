// The text of a word-processor document's XML: paragraphs, their characters' nodes, replacements.
#include "documents/document_text.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <span>

namespace kaldro::documents {

namespace {
using namespace namespaces;
constexpr std::string_view kWordNamespace = Word;
constexpr std::string_view kCompatibilityNamespace = Compatibility;
constexpr std::string_view kTextNamespace = Text;
constexpr std::string_view kOfficeNamespace = Office;
constexpr std::string_view kTableNamespace = Table;
constexpr std::string_view kDrawNamespace = Draw;

struct NamedRole {
  std::string_view local;
  Role role;
};

constexpr NamedRole kWordRoles[] = {
    {"p", Role::Paragraph},        {"tbl", Role::Table},          {"tr", Role::TableRow},
    {"tc", Role::BlockHolder},     {"txbxContent", Role::BlockHolder}, {"hdr", Role::BlockHolder},
    {"ftr", Role::BlockHolder},    {"t", Role::TextHolder},       {"tab", Role::Tab},
    {"ptab", Role::Tab},           {"cr", Role::LineBreak},       {"noBreakHyphen", Role::Hyphen},
    {"pPr", Role::Hidden},         {"rPr", Role::Hidden},         {"del", Role::Hidden},
    {"moveFrom", Role::Hidden},    {"instrText", Role::Hidden},   {"delText", Role::Hidden},
    {"delInstrText", Role::Hidden}, {"sdtPr", Role::Hidden},      {"tblPr", Role::Hidden},
    {"trPr", Role::Hidden},        {"tcPr", Role::Hidden},        {"tblGrid", Role::Hidden},
    {"drawing", Role::Embedded},   {"pict", Role::Embedded},      {"object", Role::Embedded},
    {"sectPr", Role::Section},
};

constexpr NamedRole kOdfTextRoles[] = {
    {"p", Role::Paragraph},         {"h", Role::Paragraph},      {"tab", Role::Tab},
    {"line-break", Role::LineBreak}, {"s", Role::Spaces},        {"note", Role::Hidden},
    {"tracked-changes", Role::Hidden}, {"ruby-text", Role::Hidden}, {"soft-page-break", Role::Hidden},
    {"list-item", Role::ListItem},  {"list-header", Role::ListItem}, {"list", Role::ListItem},
};

Role findRole(std::span<const NamedRole> table, std::string_view local) {
  for (const NamedRole& entry : table)
    if (entry.local == local) return entry.role;
  return Role::Other;
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// A number of blanks of text:s (1 when absent or unreadable), at most limit.
size_t spaceCount(pugi::xml_attribute count, size_t limit) {
  size_t value = 1;
  if (count) {
    const char* text = count.value();
    auto [end, error] = std::from_chars(text, text + std::strlen(text), value);
    if (error != std::errc() || value == 0) value = 1;
  }
  return std::min(value, std::max<size_t>(limit, 1));
}

// What a user typed, made fit for XML: control characters other than the tab are dropped.
std::string xmlSafe(std::string_view value) {
  std::string safe;
  for (char c : value)
    if (static_cast<unsigned char>(c) >= 0x20 || c == '\t') safe += c;
  return safe;
}

// Reads one paragraph; the state of ODF's white-space rule runs through its character data.
class ParagraphReader {
 public:
  ParagraphReader(const PartNames& names, size_t budget, bool withPieces)
      : names_(names), budget_(budget), withPieces_(withPieces) {}

  ParagraphText read(pugi::xml_node paragraph) {
    for (pugi::xml_node node = paragraph.first_child(); node && !out_.tooLong;) {
      const bool descend = visit(node);
      node = nextInOrder(node, paragraph, descend);
      out_.tooLong = out_.tooLong || out_.text.size() > budget_;
    }
    return std::move(out_);
  }

 private:
  // Takes what the node adds to the text; whether its children are text of this paragraph too.
  bool visit(pugi::xml_node node) {
    if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata) {
      if (names_.dialect() == Dialect::Odf)
        addCollapsing(node);
      else if (names_.roleOf(node.parent()) == Role::TextHolder)
        addExact(node, 0, std::strlen(node.value()));
      return false;
    }
    if (node.type() != pugi::node_element) return false;
    switch (names_.roleOf(node)) {
      case Role::Paragraph:
      case Role::Hidden:
      case Role::Embedded:
        return false;
      case Role::Tab:
        addElement(node, "\t");
        return false;
      case Role::LineBreak:
        // A page or column break of Word is no character of the line.
        if (std::string_view(node.attribute(names_.textElement("type").c_str()).value()) == "page" ||
            std::string_view(node.attribute(names_.textElement("type").c_str()).value()) == "column")
          return false;
        addElement(node, "\n");
        return false;
      case Role::Hyphen:
        addElement(node, "-");
        return false;
      case Role::Spaces: {
        const size_t count = spaceCount(node.attribute(names_.textElement("c").c_str()), budget_ + 1 - out_.text.size());
        addPiece({TextPiece::Kind::Spaces, out_.text.size(), out_.text.size() + count, node});
        out_.text.append(count, ' ');
        ignoreBlank_ = false;
        return false;
      }
      default:
        return true;
    }
  }

  void addExact(pugi::xml_node node, size_t from, size_t to) {
    if (from >= to) return;
    addPiece({TextPiece::Kind::Characters, out_.text.size(), out_.text.size() + (to - from), node, from, to});
    out_.text.append(node.value() + from, to - from);
  }

  void addElement(pugi::xml_node node, std::string_view character) {
    addPiece({TextPiece::Kind::Element, out_.text.size(), out_.text.size() + character.size(), node});
    out_.text += character;
    ignoreBlank_ = false;
  }

  // ODF: blanks, tabs and line ends of character data are one blank, none at the paragraph's start
  // nor right after another such blank.
  void addCollapsing(pugi::xml_node node) {
    const std::string_view value = node.value();
    size_t stretch = 0;
    for (size_t i = 0; i < value.size();) {
      if (!isBlank(value[i])) {
        ignoreBlank_ = false;
        ++i;
        continue;
      }
      addExact(node, stretch, i);
      size_t blanks = i;
      while (blanks < value.size() && isBlank(value[blanks])) ++blanks;
      if (!ignoreBlank_) {
        addPiece({TextPiece::Kind::Collapsed, out_.text.size(), out_.text.size() + 1, node, i, blanks});
        out_.text += ' ';
        ignoreBlank_ = true;
      }
      i = stretch = blanks;
    }
    addExact(node, stretch, value.size());
  }

  void addPiece(const TextPiece& piece) {
    if (withPieces_) out_.pieces.push_back(piece);
  }

  const PartNames& names_;
  const size_t budget_;
  const bool withPieces_;
  ParagraphText out_;
  bool ignoreBlank_ = true;
};

// Takes characters [from, to) of the text out of the piece's node.
void removeFromPiece(const PartNames& names, const TextPiece& piece, size_t from, size_t to) {
  pugi::xml_node node = piece.node;
  switch (piece.kind) {
    case TextPiece::Kind::Characters: {
      std::string value = node.value();
      value.erase(piece.sourceBegin + (from - piece.begin), to - from);
      node.set_value(value.c_str());
      break;
    }
    case TextPiece::Kind::Collapsed: {
      std::string value = node.value();
      value.erase(piece.sourceBegin, piece.sourceEnd - piece.sourceBegin);
      node.set_value(value.c_str());
      break;
    }
    case TextPiece::Kind::Element:
      node.parent().remove_child(node);
      break;
    case TextPiece::Kind::Spaces: {
      const size_t left = (piece.end - piece.begin) - (to - from);
      const std::string count = names.textElement("c");
      if (left == 0) {
        node.parent().remove_child(node);
      } else if (left == 1) {
        node.remove_attribute(count.c_str());
      } else {
        pugi::xml_attribute attribute = node.attribute(count.c_str());
        if (!attribute) attribute = node.append_attribute(count.c_str());
        attribute.set_value(std::to_string(left).c_str());
      }
      break;
    }
  }
}

// ODF keeps a typed blank only as text:s, a tab only as text:tab: the value after `after`; the
// last node it added.
pugi::xml_node insertOdfValue(const PartNames& names, pugi::xml_node after, std::string_view value) {
  pugi::xml_node parent = after.parent();
  // A single blank between two other characters is kept as it is; any other is text:s.
  auto lone = [&](size_t at) {
    return value[at] == ' ' && at > 0 && at + 1 < value.size() && value[at - 1] != ' ' && value[at + 1] != ' ' &&
           value[at + 1] != '\t';
  };
  size_t i = 0;
  while (i < value.size()) {
    size_t j = i + 1;
    if (value[i] == ' ' && !lone(i)) {
      while (j < value.size() && value[j] == ' ') ++j;
      after = parent.insert_child_after(names.textElement("s").c_str(), after);
      if (j - i > 1) after.append_attribute(names.textElement("c").c_str()).set_value(std::to_string(j - i).c_str());
    } else if (value[i] == '\t') {
      after = parent.insert_child_after(names.textElement("tab").c_str(), after);
    } else {
      while (j < value.size() && (value[j] != ' ' || lone(j)) && value[j] != '\t') ++j;
      after = parent.insert_child_after(pugi::node_pcdata, after);
      after.set_value(std::string(value.substr(i, j - i)).c_str());
    }
    i = j;
  }
  return after;
}

void insertValue(const PartNames& names, pugi::xml_node node, size_t offset, std::string_view value) {
  std::string text = node.value();
  if (names.dialect() == Dialect::Ooxml) {
    std::string plain(value);
    std::replace(plain.begin(), plain.end(), '\t', ' ');
    text.insert(offset, plain);
    node.set_value(text.c_str());
    // Word drops a w:t's blanks at its ends unless told to keep them.
    pugi::xml_node holder = node.parent();
    pugi::xml_attribute space = holder.attribute("xml:space");
    if (!space) space = holder.append_attribute("xml:space");
    space.set_value("preserve");
    return;
  }
  const std::string suffix = text.substr(offset);
  text.erase(offset);
  node.set_value(text.c_str());
  const pugi::xml_node last = insertOdfValue(names, node, value);
  if (!suffix.empty()) node.parent().insert_child_after(pugi::node_pcdata, last).set_value(suffix.c_str());
}
}  // namespace

PartNames::PartNames(Dialect dialect, pugi::xml_node root) : dialect_(dialect) {
  // Only the namespaces the reading knows: every element's prefix is looked up among these few.
  constexpr std::string_view known[] = {kWordNamespace, kCompatibilityNamespace, kTextNamespace, kOfficeNamespace,
                                        kTableNamespace, kDrawNamespace, namespaces::Style};
  for (pugi::xml_attribute attribute : root.attributes()) {
    const std::string_view name = attribute.name();
    if (name != "xmlns" && name.substr(0, 6) != "xmlns:") continue;
    for (std::string_view uri : known)
      if (uri == attribute.value()) prefixes_.emplace_back(name == "xmlns" ? "" : std::string(name.substr(6)), uri);
  }
}

std::string_view PartNames::prefixOf(std::string_view namespaceUri) const {
  for (const auto& [prefix, uri] : prefixes_)
    if (uri == namespaceUri) return prefix;
  // Undeclared: the prefix the dialect's own programs write.
  if (namespaceUri == kWordNamespace) return "w";
  if (namespaceUri == kTextNamespace) return "text";
  return "\x01";  // matches no element
}

std::string_view PartNames::namespaceOf(std::string_view prefix) const {
  for (const auto& [known, uri] : prefixes_)
    if (known == prefix) return uri;
  if (prefix == "w" && prefixOf(kWordNamespace) == "w") return kWordNamespace;
  if (prefix == "text" && prefixOf(kTextNamespace) == "text") return kTextNamespace;
  return {};
}

bool PartNames::is(pugi::xml_node element, std::string_view namespaceUri, std::string_view local) const {
  const std::string_view name = element.name();
  const std::string_view prefix = prefixOf(namespaceUri);
  if (prefix.empty()) return name == local;
  return name.size() == prefix.size() + 1 + local.size() && name.substr(0, prefix.size()) == prefix &&
         name[prefix.size()] == ':' && name.substr(prefix.size() + 1) == local;
}

std::string PartNames::textElement(std::string_view local) const {
  const std::string_view prefix = prefixOf(dialect_ == Dialect::Ooxml ? kWordNamespace : kTextNamespace);
  return prefix.empty() ? std::string(local) : std::string(prefix) + ":" + std::string(local);
}

Role PartNames::roleOf(pugi::xml_node element) const {
  if (element.type() != pugi::node_element) return Role::Other;
  const std::string_view name = element.name();
  const size_t colon = name.find(':');
  const std::string_view prefix = colon == std::string_view::npos ? std::string_view() : name.substr(0, colon);
  const std::string_view local = colon == std::string_view::npos ? name : name.substr(colon + 1);
  const std::string_view uri = namespaceOf(prefix);
  auto in = [&](std::string_view known) { return uri == known; };
  if (dialect_ == Dialect::Ooxml) {
    if (in(kWordNamespace)) {
      if (local == "br") return Role::LineBreak;
      return findRole(kWordRoles, local);
    }
    if (in(kCompatibilityNamespace)) {
      if (local == "AlternateContent") return Role::Embedded;
      if (local == "Fallback") return Role::Hidden;  // the same content again, for older readers
    }
    return Role::Other;
  }
  if (in(kTextNamespace)) return findRole(kOdfTextRoles, local);
  if (in(kTableNamespace)) {
    if (local == "table") return Role::Table;
    if (local == "table-row") return Role::TableRow;
    return Role::Other;
  }
  if (in(kOfficeNamespace) && (local == "annotation" || local == "annotation-end")) return Role::Hidden;
  if (in(kDrawNamespace)) return Role::Embedded;
  return Role::Other;
}

ParagraphText readParagraph(const PartNames& names, pugi::xml_node paragraph, size_t budget, bool withPieces) {
  return ParagraphReader(names, budget, withPieces).read(paragraph);
}

pugi::xml_node nextInOrder(pugi::xml_node node, pugi::xml_node root, bool descend) {
  if (descend && node.first_child()) return node.first_child();
  for (; node && node != root; node = node.parent())
    if (node.next_sibling()) return node.next_sibling();
  return {};
}

bool collectParagraphs(const PartNames& names, pugi::xml_node root, size_t maxDepth,
                       std::vector<pugi::xml_node>& paragraphs) {
  size_t depth = 1;
  pugi::xml_node node = root.first_child();
  while (node) {
    if (depth > maxDepth) return false;
    const Role role = names.roleOf(node);
    if (role == Role::Paragraph) paragraphs.push_back(node);
    if (role != Role::Hidden && node.first_child()) {
      node = node.first_child();
      ++depth;
      continue;
    }
    while (node && node != root && !node.next_sibling()) {
      node = node.parent();
      --depth;
    }
    node = node && node != root ? node.next_sibling() : pugi::xml_node();
  }
  return true;
}

void replaceText(const PartNames& names, const ParagraphText& paragraph, size_t begin, size_t end,
                 std::string_view value) {
  const auto& pieces = paragraph.pieces;
  auto first = std::find_if(pieces.begin(), pieces.end(), [&](const TextPiece& p) { return p.end > begin; });
  if (first == pieces.end() || first->kind != TextPiece::Kind::Characters || first->begin > begin) return;
  const pugi::xml_node holder = first->node;
  const size_t offset = first->sourceBegin + (begin - first->begin);
  auto last = std::find_if(first, pieces.end(), [&](const TextPiece& p) { return p.begin >= end; });
  for (auto piece = last; piece != first;) {
    --piece;
    removeFromPiece(names, *piece, std::max(begin, piece->begin), std::min(end, piece->end));
  }
  insertValue(names, holder, offset, xmlSafe(value));
}

}  // namespace kaldro::documents
