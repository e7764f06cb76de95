// The text helpers every stage of the engine shares: Latin-1 case, the letters of words, blanks,
// lines, and how a data file is read.
#include "tts/latin1_text.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "support/program_run.h"

namespace kaldro::tts {
namespace {

TEST(Latin1Case, EveryLetterHasItsPairAndSignsStay) {
  for (int code = 0; code < 256; ++code) {
    const char c = static_cast<char>(code);
    const bool capital = (code >= 'A' && code <= 'Z') || (code >= 0xC0 && code <= 0xDE && code != 0xD7);
    const bool small = (code >= 'a' && code <= 'z') || (code >= 0xE0 && code <= 0xFE && code != 0xF7);
    EXPECT_EQ(static_cast<unsigned char>(lowerLatin1(c)), capital ? code + 0x20 : code) << code;
    EXPECT_EQ(static_cast<unsigned char>(upperLatin1(c)), small ? code - 0x20 : code) << code;
    if (capital) {
      EXPECT_EQ(upperLatin1(lowerLatin1(c)), c) << code;
    }
  }
  struct Case {
    std::string text, upper, lower;  // CP1252
  } cases[] = {
      {"a\xE7\xE3o", "A\xC7\xC3O", "a\xE7\xE3o"},                       // ação
      {"S\xC3O PAULO", "S\xC3O PAULO", "s\xE3o paulo"},                 // SÃO PAULO
      {"\xFF\xF7\xD7\xAA\xBA\xDF", "\xFF\xF7\xD7\xAA\xBA\xDF", "\xFF\xF7\xD7\xAA\xBA\xDF"},  // ÿ ÷ × ª º ß
      {"", "", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(upperLatin1(c.text), c.upper) << c.text;
    EXPECT_EQ(lowerLatin1(c.text), c.lower) << c.text;
  }
}

TEST(Latin1Letters, ThePortugueseLettersInBothCases) {
  for (const char* letters : {"AZaz\xC0\xC1\xC2\xC3\xC7\xC9\xCA\xCC\xCD\xD1\xD3\xD4\xD5\xD9\xDA\xDC",
                              "\xE0\xE1\xE2\xE3\xE7\xE9\xEA\xEC\xED\xF1\xF3\xF4\xF5\xF9\xFA\xFC"})
    for (const char* c = letters; *c; ++c) EXPECT_TRUE(isPortugueseLetter(*c)) << static_cast<int>(*c & 0xFF);
  // Signs, digits, and the Latin-1 letters Portuguese does not write.
  for (const char* c = "09 -.'\xAA\xBA\xC4\xC5\xC6\xD6\xD7\xD8\xDF\xE4\xF7\xFF"; *c; ++c)
    EXPECT_FALSE(isPortugueseLetter(*c)) << static_cast<int>(*c & 0xFF);
}

TEST(Latin1Lines, BlanksAndLineEnds) {
  EXPECT_EQ(trimBlanks(" \t\r\n x y \x01\n"), "x y");
  EXPECT_EQ(trimBlanks("   "), "");
  EXPECT_EQ(splitLines("a\r\nb\n\nc"), (std::vector<std::string_view>{"a", "b", "", "c"}));
  EXPECT_EQ(splitLines("a\n"), (std::vector<std::string_view>{"a"}));
  EXPECT_TRUE(splitLines("").empty());
}

TEST(DataFiles, MissingUnreadableAndBothEncodings) {
  testing::ScratchFolder folder;
  folder.write("utf8.txt", "\xEF\xBB\xBF" "a\xC3\xA7\xC3\xA3o\n");  // byte-order mark, "ação" in UTF-8
  folder.write("latin1.txt", "a\xE7\xE3o\n");
  ::mkdir(folder.file("pasta").c_str(), 0755);
  ::mkfifo(folder.file("cano").c_str(), 0644);
  struct Case {
    std::string path;
    bool read;
    const char* errorHas;  // nullptr: no read error (the file is missing)
  } cases[] = {
      {folder.file("utf8.txt"), true, nullptr},
      {folder.file("latin1.txt"), true, nullptr},
      {folder.file("nada.txt"), false, nullptr},
      {"", false, nullptr},
      {folder.file("pasta"), false, "pasta"},
      {folder.file("cano"), false, "arquivo comum"},  // a pipe would wait for a writer forever
      {"/dev/zero", false, "arquivo comum"},          // would never end
  };
  for (const Case& c : cases) {
    platform::Status status;
    const std::optional<std::string> text = readDataFile(c.path, status, "faltou");
    EXPECT_EQ(text.has_value(), c.read) << c.path;
    if (c.read) {
      EXPECT_EQ(*text, "a\xE7\xE3o\n") << c.path;
      EXPECT_TRUE(status.ok()) << c.path;
    } else if (c.errorHas) {
      EXPECT_EQ(status.code(), platform::StatusCode::Unreadable) << c.path;
      EXPECT_NE(status.message().find(c.errorHas), std::string::npos) << status.message();
      EXPECT_NE(status.message().find(c.path), std::string::npos) << status.message();
    } else {
      EXPECT_EQ(status.code(), platform::StatusCode::NotFound) << c.path;
      EXPECT_EQ(status.message(), "faltou") << c.path;
    }
  }
}

}  // namespace
}  // namespace kaldro::tts
