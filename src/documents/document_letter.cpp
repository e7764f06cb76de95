// A letter written in its template's format: paragraphs filled, tables repeated, marks removed.
#include "documents/document_letter.h"

#include <map>
#include <unordered_set>

namespace kaldro::documents {

using platform::Status;
using platform::StatusCode;

namespace {
// Identifiers that must stay unique in a document: a repeated row or paragraph drops its copies'.
constexpr const char* kUniqueIds[] = {"xml:id", "w14:paraId", "w14:textId"};

struct StringWriter : pugi::xml_writer {
  std::string text;
  void write(const void* data, size_t size) override { text.append(static_cast<const char*>(data), size); }
};

// A paragraph that carries more than its text (a drawing, a frame, a section's page setup) is
// emptied of its text instead of removed.
bool carriesMoreThanText(const PartNames& names, pugi::xml_node paragraph) {
  for (pugi::xml_node node = paragraph.first_child(); node; node = nextInOrder(node, paragraph, true)) {
    const Role role = names.roleOf(node);
    if (role == Role::Embedded || role == Role::Section) return true;
  }
  return false;
}

void removeAllText(const PartNames& names, pugi::xml_node paragraph) {
  const ParagraphText text = readParagraph(names, paragraph, kMaxUnpackedBytes);
  for (auto piece = text.pieces.rbegin(); piece != text.pieces.rend(); ++piece) {
    if (piece->kind == TextPiece::Kind::Characters || piece->kind == TextPiece::Kind::Collapsed) {
      pugi::xml_node node = piece->node;
      std::string value = node.value();
      value.erase(piece->sourceBegin, piece->sourceEnd - piece->sourceBegin);
      node.set_value(value.c_str());
    } else {
      piece->node.parent().remove_child(piece->node);
    }
  }
}

// Whether every paragraph under node is doomed (and there is one).
bool onlyDoomedParagraphs(const PartNames& names, pugi::xml_node node, const std::unordered_set<const void*>& doomed) {
  bool any = false;
  for (pugi::xml_node below = node.first_child(); below; below = nextInOrder(below, node, true)) {
    if (names.roleOf(below) != Role::Paragraph) continue;
    if (!doomed.count(below.internal_object())) return false;
    any = true;
  }
  return any;
}

void removeDoomed(pugi::xml_node root, const std::unordered_set<const void*>& doomed) {
  for (pugi::xml_node node = root.first_child(); node;) {
    if (!doomed.count(node.internal_object())) {
      node = nextInOrder(node, root, true);
      continue;
    }
    const pugi::xml_node next = nextInOrder(node, root, false);
    node.parent().remove_child(node);
    node = next;
  }
}
}  // namespace

DocumentLetter::DocumentLetter(const OfficeDocument& document) : template_(document) {
  for (const auto& part : document.parts()) {
    copies_.push_back(std::make_unique<pugi::xml_document>());
    copies_.back()->reset(part->xml);
    parts_.push_back(copies_.back().get());
    follow(part->xml, *parts_.back(), false);
  }
  written_.assign(document.paragraphs().size(), false);
  lastWritten_.resize(document.paragraphs().size());
}

DocumentLetter::DocumentLetter(OfficeDocument& document, InPlace) : template_(document) {
  for (size_t part = 0; part < document.parts().size(); ++part) {
    parts_.push_back(&document.treeToChange(part));
    follow(*parts_.back(), *parts_.back(), false);
  }
  written_.assign(document.paragraphs().size(), false);
  lastWritten_.resize(document.paragraphs().size());
}

DocumentLetter::~DocumentLetter() = default;

void DocumentLetter::follow(pugi::xml_node original, pugi::xml_node copy, bool fresh) {
  pugi::xml_node t = original, o = copy;
  while (t) {
    const bool above = template_.inSkeleton(t) || t == original;
    if (above) current_[t.internal_object()] = o;
    if (std::optional<size_t> line = template_.lineOf(t)) unwritten_[o.internal_object()] = *line;
    if (fresh)
      for (const char* id : kUniqueIds) o.remove_attribute(id);
    // Below a node that is no paragraph and holds none, there is nothing to follow.
    if (above && t.first_child()) {
      t = t.first_child();
      o = o.first_child();
      continue;
    }
    while (t != original && !t.next_sibling()) {
      t = t.parent();
      o = o.parent();
    }
    if (t == original) break;
    t = t.next_sibling();
    o = o.next_sibling();
  }
}

pugi::xml_node DocumentLetter::liveParagraph(size_t line) {
  const pugi::xml_node original = template_.paragraphs()[line].node;
  const pugi::xml_node latest = current_[original.internal_object()];
  if (unwritten_.count(latest.internal_object())) return latest;
  // Written already, and no table copy made for it (a table whose marks lie in different parts):
  // a new copy after its latest one.
  const pugi::xml_node anchor = lastWritten_[line] ? lastWritten_[line] : latest;
  const pugi::xml_node copy = anchor.parent().insert_copy_after(original, anchor);
  follow(original, copy, true);
  changed_ = true;
  return copy;
}

void DocumentLetter::writeLine(size_t line, std::span<const FilledField> fields) {
  if (line >= written_.size()) return;
  const pugi::xml_node paragraph = liveParagraph(line);
  unwritten_.erase(paragraph.internal_object());
  written_[line] = true;
  lastWritten_[line] = paragraph;
  if (fields.empty()) return;
  changed_ = true;
  const PartNames& names = *template_.parts()[template_.paragraphs()[line].part]->names;
  const ParagraphText text = readParagraph(names, paragraph, kMaxUnpackedBytes);
  // A field is where the walk found it in the template's line: a copy reads as its template.
  for (auto field = fields.rbegin(); field != fields.rend(); ++field)
    if (field->begin < field->end && field->end <= text.text.size() && text.text[field->begin] == '{' &&
        text.text[field->end - 1] == '}')
      replaceText(names, text, field->begin, field->end, field->value);
}

DocumentLetter::Unit DocumentLetter::repeatedUnit(const OfficeDocument::Paragraph& mark,
                                                  const OfficeDocument::Paragraph& end) const {
  const PartNames& names = *template_.parts()[mark.part]->names;
  std::unordered_set<const void*> aboveMark;
  for (pugi::xml_node node = mark.node; node; node = node.parent()) aboveMark.insert(node.internal_object());
  pugi::xml_node common = end.node;
  while (common && !aboveMark.count(common.internal_object())) common = common.parent();
  // Marks in one table repeat whole rows: the row that holds both, or the rows from one to the other.
  if (names.roleOf(common) != Role::Table)
    for (pugi::xml_node node = common; node && names.roleOf(node) != Role::Embedded; node = node.parent())
      if (names.roleOf(node) == Role::TableRow) return {node, node};
  if (names.roleOf(common) == Role::Paragraph) return {common, common};
  auto childHolding = [&](pugi::xml_node node) {
    while (node.parent() != common) node = node.parent();
    return node;
  };
  return {childHolding(mark.node), childHolding(end.node)};
}

void DocumentLetter::repeatTable(size_t mark, size_t end) {
  const auto& paragraphs = template_.paragraphs();
  if (mark >= end || end >= paragraphs.size()) return;
  if (paragraphs[mark].part != paragraphs[end].part || paragraphs[mark].region != paragraphs[end].region) return;
  const Unit unit = repeatedUnit(paragraphs[mark], paragraphs[end]);
  auto latest = current_.find(unit.last.internal_object());
  if (latest == current_.end()) return;
  pugi::xml_node after = latest->second;
  for (pugi::xml_node original = unit.first;; original = original.next_sibling()) {
    const pugi::xml_node copy = after.parent().insert_copy_after(original, after);
    follow(original, copy, true);
    after = copy;
    if (original == unit.last) break;
  }
  changed_ = true;
}

void DocumentLetter::removeUnwritten() {
  std::vector<std::unordered_set<const void*>> doomed(parts_.size());
  for (const auto& [node, line] : unwritten_) {
    if (written_[line]) continue;  // a copy of a line written elsewhere stays as it is
    const size_t part = template_.paragraphs()[line].part;
    const PartNames& names = *template_.parts()[part]->names;
    const pugi::xml_node paragraph(static_cast<pugi::xml_node_struct*>(const_cast<void*>(node)));
    if (carriesMoreThanText(names, paragraph))
      removeAllText(names, paragraph);
    else
      doomed[part].insert(node);
    changed_ = true;
  }
  for (size_t part = 0; part < parts_.size(); ++part) {
    const PartNames& names = *template_.parts()[part]->names;
    // A row, or a table, left with no paragraph the walk wrote goes whole.
    std::vector<pugi::xml_node> above;
    for (const void* node : doomed[part])
      for (pugi::xml_node up(static_cast<pugi::xml_node_struct*>(const_cast<void*>(node))); up; up = up.parent()) {
        const Role role = names.roleOf(up);
        if (role == Role::Embedded) break;
        if (role == Role::TableRow || role == Role::Table) above.push_back(up);
      }
    for (pugi::xml_node node : above)
      if (onlyDoomedParagraphs(names, node, doomed[part])) doomed[part].insert(node.internal_object());
    removeDoomed(*parts_[part], doomed[part]);
    keepBlocksValid(*parts_[part], names);
  }
}

// Word wants every table cell, text box, header and footer to end with a paragraph; ODF's lists
// emptied of their items go.
void DocumentLetter::keepBlocksValid(pugi::xml_node root, const PartNames& names) {
  std::vector<pugi::xml_node> holders;
  for (pugi::xml_node node = root.first_child(); node; node = nextInOrder(node, root, true)) {
    const Role role = names.roleOf(node);
    if (role == Role::BlockHolder || role == Role::ListItem) holders.push_back(node);
  }
  for (auto holder = holders.rbegin(); holder != holders.rend(); ++holder) {
    pugi::xml_node last = holder->last_child();
    while (last && last.type() != pugi::node_element) last = last.previous_sibling();
    if (names.roleOf(*holder) == Role::BlockHolder) {
      if (names.roleOf(last) != Role::Paragraph) holder->append_child(names.textElement("p").c_str());
      continue;
    }
    bool empty = true;
    for (pugi::xml_node child : holder->children())
      if (child.type() == pugi::node_element && names.textElement("number") != child.name()) empty = false;
    if (empty) holder->parent().remove_child(*holder);
  }
}

std::string DocumentLetter::serialise(size_t part) const {
  StringWriter writer;
  parts_[part]->save(writer, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
  return std::move(writer.text);
}

void DocumentLetter::setKind(DocumentKind kind, std::map<std::string, std::string>& replaced) const {
  if (template_.dialect() == Dialect::Odf) replaced["mimetype"] = std::string(mediaTypeOf(kind));
  if (kind == template_.kind() || !template_.kindPart().document_element()) return;
  pugi::xml_document named;
  named.reset(template_.kindPart());
  // [Content_Types].xml names the main part "/word/document.xml"; the manifest names the package "/".
  const std::string main =
      template_.dialect() == Dialect::Ooxml ? "/" + template_.mainDocument() : template_.mainDocument();
  for (pugi::xml_node entry : named.document_element().children()) {
    pugi::xml_attribute path = entry.attribute("PartName"), type = entry.attribute("ContentType");
    if (!path) {
      path = entry.attribute("manifest:full-path");
      type = entry.attribute("manifest:media-type");
    }
    if (path && type && main == path.value()) type.set_value(std::string(mediaTypeOf(kind)).c_str());
  }
  StringWriter writer;
  named.save(writer, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
  replaced[template_.kindPartName()] = std::move(writer.text);
}

Status DocumentLetter::package(DocumentKind kind, std::string& bytes) {
  removeUnwritten();
  // A template with nothing to fill is the letter as it is.
  if (!changed_ && kind == template_.kind()) {
    bytes = template_.bytes();
    return {};
  }
  std::map<std::string, std::string> replaced;
  if (changed_)
    for (size_t part = 0; part < parts_.size(); ++part) replaced[template_.parts()[part]->name] = serialise(part);
  setKind(kind, replaced);
  // The letter is its parts' text now: its tree goes before the package is made.
  for (pugi::xml_document* part : parts_) part->reset();
  parts_.clear();
  copies_.clear();
  current_.clear();
  unwritten_.clear();
  return template_.package().write(replaced, template_.dialect() == Dialect::Odf ? "mimetype" : "", bytes);
}

}  // namespace kaldro::documents
