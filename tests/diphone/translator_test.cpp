// The translator: normalisation, words, exceptions, stress, spelling, rule contexts and hostile input.
#include "diphone/translator.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <random>

#include "diphone/rule_file.h"
#include "support/program_run.h"

namespace kaldro::diphone {
namespace {

using testing::writeFile;

template <typename Faults>
std::vector<size_t> faultLines(const Faults& faults) {
  std::vector<size_t> lines;
  for (const auto& fault : faults) lines.push_back(fault.line);
  return lines;
}

TEST(TranslatorNormalise, WYApostropheAccentsAndUnspeakableBytes) {
  const std::pair<const char*, const char*> cases[] = {
      {"Wagner", "uagner"}, {"www", "uuu"} /* each w sees the u before it */, {"w", "w"}, {"Yara", "iara"},
      {"a y b", "a i b"}, {"y", "i"}, {"y.", "y."}, {"d'\xE1gua", "da'gua"},
      {"o'\xE1", "o'a'"} /* only after d is the apostrophe dropped */, {"ma\xE7\xE3", "massa~"},
      {"\xC9\x87\xA4", "e'ssnh"} /* Latin-1 and DOS positions alike */, {"a\x07", "a \x01 "}, {"\xFF", " \x01 "},
  };
  for (const auto& [text, normal] : cases) EXPECT_EQ(Translator::normalise(text), normal) << text;
}

TEST(TranslatorSpelling, ConsonantsPunctuationAndUnknownMark) {
  Translator translator;
  EXPECT_EQ(translator.translateText("CPF"), "[ /_c][ /_p][ /_f]");
  EXPECT_EQ(translator.translateText(","), "[ /_,]");
  EXPECT_EQ(translator.translateText("\x07"), "[ /_\x01]");
  EXPECT_EQ(translator.translateText("   "), "");
}

TEST(TranslatorRules, CharacterWithoutRuleIsSpokenByName) {
  Translator translator;
  translator.setRules({{"", "A", "", "a"}});
  EXPECT_EQ(translator.translateText("ka"), "[ /_K/a]");
  EXPECT_EQ(translator.translateText("a-a"), "[a][ /_-][a]");
}

TEST(TranslatorStress, StateTableCases) {
  struct Case {
    const char* word;
    const char* marked;
  } cases[] = {
      {"aqui", "aquI"},         {"paraguai", "paraguAi"}, {"ela", "ela"},       {"isso", "isso"},
      {"casa", "cAsa"},         {"papel", "papEl"},       {"falam", "fAlam"},   {"batom", "batOm"},
      {"urubus", "urubUs"},     {"saudade", "saudAde"},   {"rainha", "raInha"}, {"juiz", "juIz"},
      {"caiu", "caIu"},         {"moinho", "moInho"},     {"sai", "sAi"},       {"ruas", "ruas"},
  };
  for (const Case& c : cases) {
    std::string word = c.word;
    Translator::markStress(word);
    EXPECT_EQ(word, c.marked) << c.word;
  }
}

TEST(TranslatorStress, RunsOnlyForUnaccentedWordsWithEnoughVowels) {
  Translator translator;
  translator.setRules({{"", "A", "", "a"}, {"", "E", "", "e"}, {"", "L", "", "l"}, {"", "'", "", ""},
                       {"", "C", "", "k"}, {"", "F", "", "f"}, {"", "M", "", "m"}, {"", "S", "", "s"}});
  EXPECT_EQ(translator.translateText("mesa"), "[m/E/s/a]");
  EXPECT_EQ(translator.translateText("caf\xE9"), "[k/a/f/e/]");  // acute accent: no automatic stress
  EXPECT_EQ(translator.translateText("mel"), "[m/E/l]");           // one vowel, ends in l
  EXPECT_EQ(translator.translateText("mas"), "[m/a/s]");           // one vowel: nothing to choose
}

TEST(TranslatorExceptions, PluralsSuffixesAndSilentWords) {
  Translator translator;
  translator.setExceptions({{"carro", "kaRRo"}, {"de", ""}, {"bo", "bO"}});
  EXPECT_EQ(translator.applyExceptions("carros"), "kaRRos");
  EXPECT_EQ(translator.applyExceptions("bom"), "bOm");
  EXPECT_EQ(translator.applyExceptions("carrinho"), "carrinho");
  EXPECT_EQ(translator.applyExceptions("sss"), "sss");  // every letter stripped, nothing found
  EXPECT_EQ(translator.translateText("de de"), "");
  EXPECT_EQ(translator.translateText("des"), "[ /_s]");
}

TEST(TranslatorExceptions, LoadsSortsAndRejectsBadLines) {
  testing::ScratchFolder folder;
  std::string longLine = std::string(260, 'x') + "=y";
  writeFile(folder.file("portug.exc"), "zebra=zEbra|nota\n\nsemigual\ncasa=kAza\r\n=nada\n" + longLine + "\n");
  Translator translator;
  ASSERT_TRUE(translator.loadExceptions(folder.file("portug.exc")).ok());
  EXPECT_EQ(translator.exceptionCount(), 2u);
  EXPECT_EQ(translator.applyExceptions("casas"), "kAzas");
  EXPECT_EQ(translator.applyExceptions("zebra"), "zEbra");
  EXPECT_EQ(faultLines(checkExceptions(folder.file("portug.exc"))), (std::vector<size_t>{3, 5, 6}));
  // A file that is not there or cannot be read is told with its name and why; a pipe is not waited on.
  ::mkfifo(folder.file("cano.exc").c_str(), 0644);
  struct Case {
    const char* file;
    platform::StatusCode code;
    const char* why;
  } cases[] = {{"missing.exc", platform::StatusCode::NotFound, "n\xE3o existe"},
               {"", platform::StatusCode::Unreadable, "\xE9 uma pasta"},
               {"cano.exc", platform::StatusCode::Unreadable, "n\xE3o \xE9 um arquivo comum"}};
  for (const Case& c : cases) {
    const std::string path = *c.file ? folder.file(c.file) : folder.path();
    for (const platform::Status& status : {translator.loadExceptions(path), translator.loadRules(path)}) {
      EXPECT_EQ(status.code(), c.code) << path;
      EXPECT_EQ(status.message(), "N\xE3o foi poss\xEDvel ler " + path + ": " + c.why);
    }
  }
}

TEST(TranslatorRules, ContextSymbols) {
  struct Case {
    Rule rule;
    const char* word;
    const char* expected;
  } cases[] = {
      {{"#", "S", "#", "z"}, "casa", "[ /_C/ /_A/z/ /_A]"},
      {{"#", "S", "#", "z"}, "sala", "[ /_S/ /_A/ /_L/ /_A]"},
      {{"%", "S", "", "S1"}, "sas", "[S1/ /_A/ /_S]"},
      {{"", "S", "%", "S2"}, "sas", "[ /_S/ /_A/S2]"},
      {{"]", "L", "", "w"}, "sol", "[ /_S/ /_O/w]"},
      {{"]", "L", "", "w"}, "o'l", "[ /_O/ /_'/w]"},
      {{"]", "L", "", "w"}, "mil", "[ /_M/ /_I/ /_L]"},
      {{"_", "R", "", "r"}, "ar", "[ /_A/r]"},
      {{"_", "R", "", "r"}, "ra", "[ /_R/ /_A]"},
      {{"|", "R", "", "R"}, "honra", "[ /_H/ /_O/ /_N/R/ /_A]"},
      {{"", "M", "&", "m~"}, "mna", "[m~/ /_N/ /_A]"},
      {{"", "X", "*", "s"}, "axt", "[ /_A/s/ /_T]"},
      {{"", "X", "*", "s"}, "axl", "[ /_A/ /_X/ /_L]"},
      {{"", "C", "+", "s"}, "ce'", "[s/ /_E/ /_']"},
      {{"", "C", "+A", "s"}, "ce'a", "[s/ /_E/ /_'/ /_A]"},
      {{"", "L", "[", "w"}, "al", "[ /_A/w]"},
      {{"", "L", "[", "w"}, "alt", "[ /_A/w/ /_T]"},
      {{"", "L", "[", "w"}, "alh", "[ /_A/ /_L/ /_H]"},
      {{"", "A", "\\%", "a."}, "as", "[a./ /_S]"},
      {{"", "A", "\\%", "a."}, "a", "[a.]"},
      {{"", "QU", "+", "k"}, "que", "[k/ /_E]"},
  };
  for (const Case& c : cases) {
    Translator translator;
    translator.setRules({c.rule});
    EXPECT_EQ(translator.translateText(c.word), c.expected) << c.rule.left << "(" << c.rule.match << ")" << c.rule.right
                                                            << " on " << c.word;
  }
}

TEST(TranslatorRules, FirstMatchingRuleWinsAndStressCarriesIntoUnit) {
  Translator translator;
  translator.setRules({{"", "QU", "", "kw"}, {"", "Q", "", "k"}, {"", "A", "", "a"}, {"", "I", "", "i"},
                       {"", "U", "", "u"}});
  EXPECT_EQ(translator.translateText("aqui"), "[a/kw/I]");
  EXPECT_EQ(translator.translateText("quA"), "[kw/a]");  // upper case in the text is not a stress mark
}

TEST(TranslatorRules, LoadSkipsMalformedLinesAndCheckNamesThem) {
  testing::ScratchFolder folder;
  // UTF-8 file: the accented letter in the comment makes it UTF-8.
  writeFile(folder.file("regras.rgr"),
            "; Regras de teste, versão 1\n"
            "(A)=a|vogal\n"
            "sem parentese\n"
            "()=x\n"
            "(a)=minúscula\n"
            "(B=b\n"
            "(C)k\n"
            "#(SSSSSSS)#=zzzzzzzzzzzzzzz\n"
            "\n");
  Translator translator;
  ASSERT_TRUE(translator.loadRules(folder.file("regras.rgr")).ok());
  EXPECT_EQ(translator.ruleCount(), 2u);
  EXPECT_EQ(translator.translateText("a"), "[a]");
  EXPECT_EQ(faultLines(checkRules(folder.file("regras.rgr"))), (std::vector<size_t>{3, 4, 5, 6, 7, 8}));
  EXPECT_FALSE(translator.loadRules(folder.file("nenhum.rgr")).ok());
  EXPECT_EQ(checkRules(folder.file("nenhum.rgr")).front().line, 0u);
}

TEST(TranslatorRobustness, LongWordsAndRandomBytes) {
  Translator translator;
  translator.setRules({{"#", "S", "#", "z"}, {"]", "L", "[", "w"}, {"_|", "R", "&\\", "r"}, {"%", "X", "*+", "x"},
                       {"", "A", "%", "a"}, {"", "E", "+", "e"}, {"", "'", "", ""}, {"", "~", "", "~"}});
  translator.setExceptions({{"a", ""}, {"ab", std::string(400, 'a')}});
  std::string longWord(1000, 'b');
  longWord += "a";
  std::string spelled = translator.translateText(longWord);
  EXPECT_EQ(spelled.size(), 256u * 6);  // cut to the word state's 256 consonants, each spelled
  EXPECT_FALSE(translator.translateText("abs").empty());

  std::mt19937 random(20240611);
  std::uniform_int_distribution<int> byte(0, 255);
  std::uniform_int_distribution<int> letterish(0, 9);
  const std::string alphabet = "aeiouslrx'~^ ";
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    size_t length = static_cast<size_t>(random() % 40);
    for (size_t i = 0; i < length; ++i)
      text += letterish(random) < 5 ? static_cast<char>(byte(random)) : alphabet[random() % alphabet.size()];
    std::string result = translator.translateText(text);
    if (!result.empty()) {
      EXPECT_EQ(result.front(), '[');
      EXPECT_EQ(result.back(), ']');
    }
  }
}

TEST(TranslatorRobustness, RandomFilesLoadWithoutHarm) {
  testing::ScratchFolder folder;
  std::mt19937 random(7);
  std::uniform_int_distribution<int> byte(0, 255);
  for (int round = 0; round < 50; ++round) {
    std::string bytes;
    for (int i = 0; i < 2000; ++i) bytes += static_cast<char>(round % 2 ? byte(random) : "()=|#%_\n"[random() % 8]);
    writeFile(folder.file("r"), bytes);
    Translator translator;
    EXPECT_TRUE(translator.loadRules(folder.file("r")).ok());
    EXPECT_TRUE(translator.loadExceptions(folder.file("r")).ok());
    checkRules(folder.file("r"));
    checkExceptions(folder.file("r"));
    translator.translateText("a casa do ser\xE1 que Paraguai fal\xE7");
  }
}

}  // namespace
}  // namespace kaldro::diphone
