// Turns the Markdown of our manuals into a roff manual page (man macros), so that one text serves
// the reader of docs/ and `man`.
#pragma once

#include <string>
#include <string_view>

namespace kaldro::manual {

// The page from Markdown of this form: a first line "# NAME — summary", then "##" sections, "###"
// subsections, paragraphs, "- " and "1. " lists (continued by indented lines), ``` blocks, and
// `code`, **strong**, *emphasis* and [text](link) inside lines. Text is UTF-8 and stays so.
std::string markdownToMan(std::string_view markdown, std::string_view name, std::string_view version);

// One line of text with its inline marks turned into roff fonts and roff's special characters escaped.
std::string inlineToRoff(std::string_view text);

}  // namespace kaldro::manual
