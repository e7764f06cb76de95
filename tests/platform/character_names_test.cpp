// What the voices get for every character a desktop sends: composed accents, stray bytes, Unicode
// blanks, names for signs and emoji (with the system's CLDR annotations), other scripts in Latin.
#include "platform/character_names.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/text.h"

namespace kaldro::platform {
namespace {

// Blanks collapsed and trimmed, UTF-8: what the reading sees, without the spacing that it ignores.
std::string heard(const std::string& cp1252) {
  std::string out;
  for (const char c : cp1252ToUtf8(cp1252)) {
    if (c == ' ' && (out.empty() || out.back() == ' ')) continue;
    out.push_back(c);
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

TEST(CharacterNames, EveryCharacterReachesTheVoiceAsSomethingItCanSay) {
  CharacterNames names;  // our own names only: the same on every machine
  const struct {
    const char* given;
    const char* said;
  } rows[] = {
      {"caf" "e\xCC\x81" " po\xCC\x81s sa\xCC\x83o", "café pós são"},  // decomposed accents composed
      {"a\xC3\xA7\xC3\xA3o \xFF fim", "ação fim"},                     // one stray byte: only it goes
      {"R$\xC2\xA0" "100 e\xE2\x80\xAF" "x\xE3\x80\x80y", "R$ 100 e x y"}, // Unicode blanks
      {"infor\xC2\xAD" "ma\xC3\xA7\xC3\xA3o\xE2\x80\x8B!", "informação!"},  // soft hyphen, zero width
      {"10 \xE2\x88\x92 3 \xE2\x89\xA4 8 \xE2\x89\xA0 9", "10 menos 3 menor ou igual a 8 diferente de 9"},
      {"Arquivo \xE2\x86\x92 Abrir", "Arquivo seta para a direita Abrir"},
      {"\xE2\x80\xA2 item \xE2\x9C\x93", "\xE2\x80\xA2 item visto"},     // CP1252 holds the bullet
      {"2\xE2\x81\xB4 \xE2\x85\x93 \xE2\x84\x96 5", "2 elevado a quatro um terço número 5"},
      {"\xE2\x80\x9C" "a\xE2\x80\x9D \xE2\x80\x93 b\xE2\x80\xA6", "\xE2\x80\x9C" "a\xE2\x80\x9D \xE2\x80\x93 b\xE2\x80\xA6"},
      {"\xCE\xB1 + \xCE\xB2", "alfa + beta"},                           // Greek letters alone
      {"\xCE\x91\xCE\xB8\xCE\xAE\xCE\xBD\xCE\xB1 \xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0", "Atena Moskva"},
      {"\xEF\xAC\x81m \xC5\x91 \xEF\xBC\xA1", "fim o A"},              // ligature, double acute, full width
      {"a\xE4\xB8\xAD\xE6\x96\x87" "b", "a b"},                         // CJK skipped, words kept apart
  };
  for (const auto& row : rows) {
    const std::string spoken = names.speechText(row.given);
    EXPECT_EQ(heard(spoken), row.said) << row.given;
    EXPECT_EQ(spoken.find('?'), std::string::npos) << row.given;
  }
  EXPECT_EQ(heard(names.speechText("Latin-1: a\xE7\xE3o")), "Latin-1: ação");  // no UTF-8 at all
  EXPECT_EQ(heard(names.speechText(std::string("x\0y", 3))), "x y");  // a NUL is a blank
}

TEST(CharacterNames, EmojiAreReadByTheirCldrNamesLongestSequenceFirst) {
  const std::filesystem::path file = std::filesystem::temp_directory_path() / "kaldro-annotations-test.xml";
  std::ofstream(file) << R"(<?xml version="1.0" encoding="UTF-8" ?>
<ldml><annotations>
<annotation cp="😀" type="tts">rosto risonho</annotation>
<annotation cp="😀">rosto | sorriso</annotation>
<annotation cp="👍" type="tts">polegar para cima</annotation>
<annotation cp="👍🏽" type="tts">polegar para cima: pele morena</annotation>
<annotation cp="❤" type="tts">coração vermelho</annotation>
<annotation cp="€" type="tts">euro</annotation>
</annotations></ldml>)";
  CharacterNames names;
  ASSERT_TRUE(names.loadAnnotations({file.string(), "/nonexistent/pt.xml"}).ok());
  EXPECT_EQ(heard(names.speechText("\xF0\x9F\x98\x80")), "rosto risonho");
  EXPECT_EQ(heard(names.speechText("ok\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD!")), "ok polegar para cima: pele morena !");
  EXPECT_EQ(heard(names.speechText("\xE2\x9D\xA4\xEF\xB8\x8F")), "coração vermelho");  // variation selector
  EXPECT_EQ(heard(names.speechText("5 \xE2\x82\xAC")), "5 €");  // CP1252 holds it: the reading says it
  std::ofstream(file) << "<ldml><annotations><annotation";
  EXPECT_EQ(names.loadAnnotations({file.string()}).code(), StatusCode::Malformed);
  std::filesystem::remove(file);
}

TEST(CharacterNames, TheSystemAnnotationsNameEverySmileyWithoutAQuestionMark) {
  CharacterNames names;
  const std::vector<std::string> files = CharacterNames::systemAnnotationFiles();
  if (!std::filesystem::exists(files.front())) GTEST_SKIP() << "unicode-cldr-core is not installed";
  ASSERT_TRUE(names.loadAnnotations(files).ok());
  for (char32_t emoji = 0x1F600; emoji <= 0x1F64F; ++emoji) {
    std::string utf8;
    appendUtf8(utf8, emoji);
    const std::string spoken = heard(names.speechText(utf8));
    EXPECT_GE(spoken.size(), 4u) << std::hex << static_cast<uint32_t>(emoji);
    EXPECT_EQ(spoken.find('?'), std::string::npos) << spoken;
  }
  EXPECT_EQ(heard(names.speechText("\xF0\x9F\x87\xA7\xF0\x9F\x87\xB7")), "bandeira: Brasil");
}

}  // namespace
}  // namespace kaldro::platform
