// The manual pages' writer: inline marks, roff's own characters, and the block structure.
#include <gtest/gtest.h>

#include <string>

#include "man_page.h"

namespace kaldro::manual {
namespace {

TEST(ManPage, InlineMarksBecomeFontsAndRoffCharactersAreEscaped) {
  struct Case {
    const char* what;
    const char* markdown;
    const char* roff;
  };
  const Case cases[] = {
      {"code is bold, its hyphens are minus signs", "run `plumar --help` now", "run \\fBplumar \\-\\-help\\fR now"},
      {"asterisks inside code stay", "`*.*` lists all", "\\fB*.*\\fR lists all"},
      {"strong and emphasis", "**S** or *n*", "\\fBS\\fR or \\fIn\\fR"},
      {"a lone asterisk is text", "a * b", "a * b"},
      {"a backslash is roff's escape", "C:\\dir", "C:\\edir"},
      {"an escaped backslash is one backslash", "Ctrl+\\\\ plays", "Ctrl+\\e plays"},
      {"an external link keeps its target", "[site](https://x.org)", "site (https://x.org)"},
      {"a link inside the manual reads as its label", "see [keys](#teclas)", "see keys"},
      {"an unclosed code mark is text", "a `b", "a `b"},
      {"accented letters pass as they are", "Ol\xC3\xA1, S\xC3\xA3o Paulo", "Ol\xC3\xA1, S\xC3\xA3o Paulo"},
  };
  for (const Case& c : cases) EXPECT_EQ(inlineToRoff(c.markdown), c.roff) << c.what;
}

TEST(ManPage, BlocksBecomeSectionsParagraphsListsAndVerbatimText) {
  const std::string page = markdownToMan(
      "# plumar \xE2\x80\x94 preparador de cartas\n"
      "\n"
      "## Sinopse\n"
      "\n"
      "First line\n"
      "continues here.\n"
      "\n"
      "- one item\n"
      "  continued\n"
      "- two\n"
      "\n"
      "1. step\n"
      "\n"
      "### Sub\n"
      "```\n"
      ".not a request\n"
      "[TRADUTOR]\n"
      "```\n",
      "plumar", "0.1");
  const std::string expected =
      ".\\\" -*- coding: UTF-8 -*-\n"
      ".\\\" Made from the Markdown manual by kaldro-manual; edit the Markdown.\n"
      ".TH PLUMAR 1 \"\" \"kaldro 0.1\" \"Manual do kaldro\"\n"
      ".SH NOME\n"
      "plumar \\- preparador de cartas\n"
      ".SH \"Sinopse\"\n"
      ".PP\n"
      "First line\n"
      "continues here.\n"
      ".IP \\(bu 2\n"
      "one item\n"
      "continued\n"
      ".IP \\(bu 2\n"
      "two\n"
      ".IP 1. 4\n"
      "step\n"
      ".SS \"Sub\"\n"
      ".PP\n"
      ".RS 4\n"
      ".nf\n"
      "\\&.not a request\n"
      "[TRADUTOR]\n"
      ".fi\n"
      ".RE\n";
  EXPECT_EQ(page, expected);
}

TEST(ManPage, AnUnclosedCodeBlockIsClosedAtTheEnd) {
  const std::string page = markdownToMan("# x\n```\ncode\n", "x", "1");
  EXPECT_EQ(page.substr(page.size() - 13), "code\n.fi\n.RE\n");
}

}  // namespace
}  // namespace kaldro::manual
