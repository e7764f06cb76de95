// CP1252 and UTF-8 at the edges: round trips, characters the code page lacks, Latin-1 fallback.
#include "platform/text.h"

#include <gtest/gtest.h>

namespace kaldro::platform {
namespace {

TEST(Text, EveryCodePageByteSurvivesTheRoundTrip) {
  std::string all;
  for (int byte = 1; byte < 256; ++byte) all.push_back(static_cast<char>(byte));
  EXPECT_EQ(utf8ToCp1252(cp1252ToUtf8(all)), all);
}

TEST(Text, TheHighControlRangeMapsToItsTypographicCharacters) {
  EXPECT_EQ(cp1252ToUtf8("\x80"), "\xE2\x82\xAC");    // euro sign
  EXPECT_EQ(cp1252ToUtf8("\x93\x94"), "\xE2\x80\x9C\xE2\x80\x9D");  // quotation marks
  EXPECT_EQ(cp1252ToUtf8("\x9F"), "\xC5\xB8");        // Y with diaeresis
  EXPECT_EQ(cp1252ToUtf8("\x81"), "\xC2\x81");        // undefined: the Latin-1 control
  EXPECT_EQ(utf8ToCp1252("\xE2\x80\x94"), "\x97");    // em dash
  EXPECT_EQ(utf8ToCp1252("ção"), "\xE7\xE3o");
}

TEST(Text, CharactersTheCodePageLacksBecomeQuestionMarks) {
  // One '?' per character, whatever its length in UTF-8; nothing dropped.
  EXPECT_EQ(utf8ToCp1252("a\xE2\x86\x92" "b\xF0\x9F\x98\x80" "c\xC4\x80"), "a?b?c?");
  EXPECT_EQ(utf8ToCp1252("\xC2\x80"), "?");  // U+0080 is not the euro byte
}

TEST(Text, InvalidUtf8IsReadAsLatin1) {
  EXPECT_EQ(utf8ToCp1252("ma\xE7\xE3"), "ma\xE7\xE3");           // Latin-1 text
  EXPECT_EQ(utf8ToCp1252("x\xC3"), "x\xC3");                     // cut sequence at the end
  EXPECT_EQ(utf8ToCp1252("\xC0\xAF"), "\xC0\xAF");               // overlong
  EXPECT_EQ(utf8ToCp1252("\xED\xA0\x80"), "\xED\xA0\x80");       // surrogate
  EXPECT_EQ(utf8ToCp1252("\xE9t\xC3\xA9"), "\xE9t\xE9");         // mixed: each part as it reads
}

TEST(Text, LooksLikeUtf8NeedsValidityAndOneMultiByteSequence) {
  EXPECT_TRUE(looksLikeUtf8("ol\xC3\xA1"));
  EXPECT_FALSE(looksLikeUtf8("plain ascii"));
  EXPECT_FALSE(looksLikeUtf8(""));
  EXPECT_FALSE(looksLikeUtf8("ol\xE1"));
  EXPECT_FALSE(looksLikeUtf8("ol\xC3\xA1 and ol\xE1"));
  EXPECT_EQ(textFileToCp1252("ol\xC3\xA1"), "ol\xE1");
  EXPECT_EQ(textFileToCp1252("ol\xE1 \xC3\xA1"), "ol\xE1 \xC3\xA1");  // Latin-1 file kept byte for byte
}

TEST(Text, UpperAsciiLeavesAccentedLettersAlone) { EXPECT_EQ(upperAscii("a\xE7z{"), "A\xE7Z{"); }

}  // namespace
}  // namespace kaldro::platform
