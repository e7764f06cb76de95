// Markdown to roff for the manual pages; only what our manuals use.
#include "man_page.h"

#include <cctype>
#include <vector>

namespace kaldro::manual {

namespace {

std::vector<std::string_view> splitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

bool startsWith(std::string_view text, std::string_view start) { return text.substr(0, start.size()) == start; }

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

// Characters roff would take as its own: the escape, the hyphen (shown as a dash by groff in UTF-8),
// and a control character at the start of a line.
std::string escaped(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\\')
      out += "\\e";
    else if (c == '-')
      out += "\\-";
    else
      out += c;
  }
  return out;
}

// A line that would begin with a control character of roff is protected by a zero-width mark.
std::string safeLine(std::string line) {
  if (!line.empty() && (line.front() == '.' || line.front() == '\'')) line.insert(0, "\\&");
  return line;
}

// The number of a "1. " list item, or 0.
size_t numberedItem(std::string_view line) {
  size_t digits = 0;
  while (digits < line.size() && line[digits] >= '0' && line[digits] <= '9') ++digits;
  return digits > 0 && line.substr(digits, 2) == ". " ? digits : 0;
}

}  // namespace

std::string inlineToRoff(std::string_view text) {
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c == '\\' && i + 1 < text.size() && std::ispunct(static_cast<unsigned char>(text[i + 1]))) {
      out += escaped(text.substr(i + 1, 1));  // Markdown's escaped punctuation stands for itself
      i += 2;
      continue;
    }
    if (c == '`') {
      size_t close = text.find('`', i + 1);
      if (close != std::string_view::npos) {
        out += "\\fB" + escaped(text.substr(i + 1, close - i - 1)) + "\\fR";
        i = close + 1;
        continue;
      }
    } else if (c == '*' && text.substr(i, 2) == "**") {
      size_t close = text.find("**", i + 2);
      if (close != std::string_view::npos) {
        out += "\\fB" + inlineToRoff(text.substr(i + 2, close - i - 2)) + "\\fR";
        i = close + 2;
        continue;
      }
    } else if (c == '*' && i + 1 < text.size() && text[i + 1] != ' ') {
      size_t close = text.find('*', i + 1);
      if (close != std::string_view::npos && text[close - 1] != ' ') {
        out += "\\fI" + inlineToRoff(text.substr(i + 1, close - i - 1)) + "\\fR";
        i = close + 1;
        continue;
      }
    } else if (c == '[') {
      size_t middle = text.find("](", i);
      size_t close = middle == std::string_view::npos ? middle : text.find(')', middle);
      if (close != std::string_view::npos) {
        std::string_view label = text.substr(i + 1, middle - i - 1);
        std::string_view target = text.substr(middle + 2, close - middle - 2);
        out += inlineToRoff(label);
        // A link to another part of the same manual reads as its label alone.
        if (!startsWith(target, "#")) out += " (" + escaped(target) + ")";
        i = close + 1;
        continue;
      }
    }
    out += escaped(text.substr(i, 1));
    ++i;
  }
  return out;
}

std::string markdownToMan(std::string_view markdown, std::string_view name, std::string_view version) {
  std::string upperName;
  for (char c : name) upperName += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  std::string out = ".\\\" -*- coding: UTF-8 -*-\n";
  out += ".\\\" Made from the Markdown manual by kaldro-manual; edit the Markdown.\n";
  out += ".TH " + upperName + " 1 \"\" \"kaldro " + std::string(version) + "\" \"Manual do kaldro\"\n";

  enum class Block { None, Paragraph, Item, Code };
  Block block = Block::None;
  for (std::string_view line : splitLines(markdown)) {
    if (block == Block::Code) {
      if (startsWith(line, "```")) {
        out += ".fi\n.RE\n";
        block = Block::None;
      } else {
        out += safeLine(escaped(line)) + "\n";
      }
      continue;
    }
    if (startsWith(line, "```")) {
      out += ".PP\n.RS 4\n.nf\n";
      block = Block::Code;
      continue;
    }
    if (trimmed(line).empty()) {
      block = Block::None;
      continue;
    }
    if (startsWith(line, "# ")) {
      // The title: "NAME — summary" gives the NAME section that man and apropos read.
      std::string_view title = line.substr(2);
      size_t dash = title.find(" \xE2\x80\x94 ");
      std::string_view summary = dash == std::string_view::npos ? title : title.substr(dash + 5);
      out += ".SH NOME\n" + escaped(name) + " \\- " + inlineToRoff(summary) + "\n";
      block = Block::None;
      continue;
    }
    if (startsWith(line, "## ")) {
      out += ".SH \"" + inlineToRoff(line.substr(3)) + "\"\n";
      block = Block::None;
      continue;
    }
    if (startsWith(line, "### ")) {
      out += ".SS \"" + inlineToRoff(line.substr(4)) + "\"\n";
      block = Block::None;
      continue;
    }
    std::string_view content = trimmed(line);
    if (startsWith(line, "- ") || startsWith(line, "* ")) {
      out += ".IP \\(bu 2\n" + safeLine(inlineToRoff(content.substr(2))) + "\n";
      block = Block::Item;
      continue;
    }
    if (size_t digits = numberedItem(line)) {
      out += ".IP " + std::string(line.substr(0, digits)) + ". 4\n" +
             safeLine(inlineToRoff(content.substr(digits + 2))) + "\n";
      block = Block::Item;
      continue;
    }
    if (block == Block::None) out += ".PP\n";
    if (block == Block::None) block = Block::Paragraph;
    out += safeLine(inlineToRoff(content)) + "\n";
  }
  if (block == Block::Code) out += ".fi\n.RE\n";
  return out;
}

}  // namespace kaldro::manual
