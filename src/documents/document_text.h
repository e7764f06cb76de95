// The text of a word-processor document's XML in its two dialects (WordprocessingML of .docx, the
// text of ODF's .odt): which elements are paragraphs, tables and rows, what a paragraph's text is
// and which node holds each of its characters, so a marker split over runs or spans can be replaced.
#pragma once

#include <pugixml.hpp>

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kaldro::documents {

enum class Dialect { Ooxml, Odf };

namespace namespaces {
inline constexpr std::string_view Word = "http://schemas.openxmlformats.org/wordprocessingml/2006/main";
inline constexpr std::string_view Compatibility = "http://schemas.openxmlformats.org/markup-compatibility/2006";
inline constexpr std::string_view Text = "urn:oasis:names:tc:opendocument:xmlns:text:1.0";
inline constexpr std::string_view Office = "urn:oasis:names:tc:opendocument:xmlns:office:1.0";
inline constexpr std::string_view Table = "urn:oasis:names:tc:opendocument:xmlns:table:1.0";
inline constexpr std::string_view Draw = "urn:oasis:names:tc:opendocument:xmlns:drawing:1.0";
inline constexpr std::string_view Style = "urn:oasis:names:tc:opendocument:xmlns:style:1.0";
}  // namespace namespaces

// What an element is to the letter.
enum class Role {
  Other,        // walked through: runs, spans, links, fields, content controls
  Paragraph,    // w:p; text:p, text:h
  Table,        // w:tbl; table:table
  TableRow,     // w:tr; table:table-row
  BlockHolder,  // OOXML's table cell, text box, header and footer: each must end with a paragraph
  TextHolder,   // w:t: its character data is text (in ODF all character data of a paragraph is)
  Tab,          // w:tab, w:ptab; text:tab
  LineBreak,    // w:br (a line break), w:cr; text:line-break
  Hyphen,       // w:noBreakHyphen
  Spaces,       // text:s, text:c spaces
  Hidden,       // neither text nor paragraphs: properties, deleted text, field codes, notes, comments
  Embedded,     // drawings and frames: their text boxes hold paragraphs of their own
  Section,      // w:sectPr: a paragraph holding one ends a section and stays
  ListItem,     // text:list-item, text:list: removed once emptied
};

// The element names of one XML part, by the prefixes its root declares for the dialect's namespaces.
class PartNames {
 public:
  PartNames(Dialect dialect, pugi::xml_node root);
  Dialect dialect() const { return dialect_; }
  Role roleOf(pugi::xml_node element) const;
  // The qualified name of a text element of the dialect ("text:s", "w:p"): local is "s", "p"...
  std::string textElement(std::string_view local) const;
  // Whether element is local in the namespace (a URI) as this part spells it.
  bool is(pugi::xml_node element, std::string_view namespaceUri, std::string_view local) const;

 private:
  std::string_view prefixOf(std::string_view namespaceUri) const;
  std::string_view namespaceOf(std::string_view prefix) const;
  Dialect dialect_;
  std::vector<std::pair<std::string, std::string_view>> prefixes_;  // prefix, namespace URI
};

// Where a stretch of a paragraph's text comes from.
struct TextPiece {
  enum class Kind {
    Characters,  // bytes [sourceBegin, sourceEnd) of a character data node, one for one
    Collapsed,   // ODF white space read as one blank: the whole source stretch stands for it
    Element,     // an element standing for one character (a tab, a break)
    Spaces,      // text:s: as many blanks as the piece is long
  };
  Kind kind;
  size_t begin, end;  // bytes of the paragraph's text
  pugi::xml_node node;
  size_t sourceBegin = 0, sourceEnd = 0;
};

struct ParagraphText {
  std::string text;  // UTF-8
  std::vector<TextPiece> pieces;
  bool tooLong = false;  // stopped at the budget
};

// The text of a paragraph as the word processor shows it, without the text of paragraphs nested in
// it (text boxes), of deleted revisions, of field codes, notes and comments. budget bounds the text
// (ODF's text:s multiplies a few bytes into many blanks). Without pieces, the text alone.
ParagraphText readParagraph(const PartNames& names, pugi::xml_node paragraph, size_t budget, bool withPieces = true);

// The element after node in document order, within root; its descendants skipped when not descend.
pugi::xml_node nextInOrder(pugi::xml_node node, pugi::xml_node root, bool descend);

// The paragraphs under root in document order (a paragraph before those nested in it), skipping
// what is Hidden; false when the nesting is deeper than maxDepth.
bool collectParagraphs(const PartNames& names, pugi::xml_node root, size_t maxDepth,
                       std::vector<pugi::xml_node>& paragraphs);

// Replaces text [begin, end) of a paragraph read by readParagraph with value (UTF-8): the value
// takes the node of the first character, and so its formatting. Ranges of one paragraph are
// replaced from the last to the first, so each stays where its reading found it.
void replaceText(const PartNames& names, const ParagraphText& paragraph, size_t begin, size_t end,
                 std::string_view value);

}  // namespace kaldro::documents
