// The system's words are written in UTF-8 and reach the programs as CP1252.
#include <gtest/gtest.h>

#include <string_view>

#include "platform/words.h"

namespace kaldro::platform {
namespace {

TEST(Words, UtfEightSourceBecomesCp1252) {
  constexpr Cp1252Words accented = "não é já saída ção";
  EXPECT_EQ(std::string_view("n\xE3o \xE9 j\xE1 sa\xED" "da \xE7\xE3o"), std::string_view(accented));
}

TEST(Words, NamesAndNumbersFillTheGapsInOrder) {
  struct Case {
    std::string_view expected;
    std::string got;
  };
  const Case cases[] = {
      {"biblioteca libx.so sem a fun\xE7\xE3o init_MBR", words::MbrolaLibraryLacksCall.with({"libx.so", "init_MBR"})},
      {"o programa mbrola terminou (estado 3)", words::MbrolaEnded.with({"3"})},
      // A value missing leaves its gap empty; one too many is not told.
      {"biblioteca  n\xE3o encontrada", words::MbrolaLibraryMissing.with({})},
      {"Arquivo n\xE3o existe", words::FileMissing.with({"a mais"})},
      // What fills a gap is not searched again.
      {"biblioteca {} n\xE3o encontrada", words::MbrolaLibraryMissing.with({"{}"})},
      // For standard error the words turn back into UTF-8 and a UTF-8 name goes in as it is.
      {"o modelo a\xC3\xA7\xC3\xA3o.txt n\xC3\xA3o existe ou n\xC3\xA3o pode ser lido",
       words::TemplateUnreadable.utf8({"a\xC3\xA7\xC3\xA3o.txt"})},
  };
  for (const Case& c : cases) EXPECT_EQ(c.expected, c.got);
}

}  // namespace
}  // namespace kaldro::platform
