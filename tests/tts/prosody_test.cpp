// Prosody of the Portuguese engine: the prosody file's reader and its faults, tokens, classes,
// patterns, durations, pitch targets and diphone fillers.
#include "tts/prosody.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/program_run.h"

namespace kaldro::tts {
namespace {

using testing::ScratchFolder;
using Lines = std::vector<std::string>;

// A small prosody file (UTF-8, as the data sources are written).
const char* const kSmallProsody =
    "; durations\n"
    "[DURAÇÃO]\n"
    "a=70\n"
    "k=90\n"
    "s=100\n"
    "__=200\n"
    "_,=150\n"
    "\n"
    "[CHAVES]\n"
    "o=AR\n"
    "não=NG\n"
    "que=QU\n"
    "*comment\n"
    "[PROSÓDIA]\n"
    "HERTZ=200\n"
    "TABHERTZ=0,10,20,30,40,100,60,70,80,90\n"
    "--|QU|=247\n"
    "|QU|=?35\n"
    "|XX|..=541\n";

struct Loaded {
  ScratchFolder folder;
  std::vector<std::string> messages;
  Prosody prosody{[this](const std::string& message) { messages.push_back(message); }};
  bool result = false;

  explicit Loaded(const std::string& prosodyText, const std::string& diphones = "") {
    folder.write("portug.pro", prosodyText);
    result = prosody.loadProsody(folder.file("portug.pro")).ok();
    if (!diphones.empty()) {
      folder.write("portug.dfn", diphones);
      prosody.loadDiphones(folder.file("portug.dfn"));
    }
  }
};

TEST(ProsodyFile, MalformedFilesAreReportedAndNeverCrash) {
  const std::string durations = "[DURAÇÃO]\na=70\n";
  const std::string keywords = "[CHAVES]\no=AR\n";
  const std::string patterns = "[PROSÓDIA]\n|XX|=555\n";
  struct Case {
    const char* name;
    std::string text;
    bool result;
    Lines messages;
  };
  const Case cases[] = {
      {"sections in any order", patterns + keywords + durations, true, {}},
      {"empty file", "", false, {"Duração dos difones errada ou ausente"}},
      {"no durations", keywords + patterns, false, {"Duração dos difones errada ou ausente"}},
      {"duration without =", "[DURAÇÃO]\na 70\n" + keywords + patterns, false,
       {"Configuração da prosódia: fonema errado: a 70"}},
      {"duration not a number: reported, read as 100", "[DURAÇÃO]\na=setenta\n" + keywords + patterns, true,
       {"Configuração da prosódia: fonema errado: a=setenta"}},
      {"negative duration", "[DURAÇÃO]\na=-5\n" + keywords + patterns, true,
       {"Configuração da prosódia: fonema errado: a=-5"}},
      {"no keywords", durations + patterns, false, {"Prosódia: palavras chaves ausentes"}},
      {"keyword without =", durations + "[CHAVES]\npara PR\n" + patterns, false,
       {"Configuração da prosódia: chave errada: para PR"}},
      {"no patterns", durations + keywords, false, {"Prosódia: especificações ausentes"}},
      {"pattern without =", durations + keywords + "[PROSÓDIA]\n|XX|555\n", false,
       {"Configuração da prosódia: chave errada: |XX|555"}},
      {"pattern of two characters", durations + keywords + "[PROSÓDIA]\n|XX|=55\n", false,
       {"Configuração da prosódia: chave errada: |XX|=55"}},
      {"hertz not a number", durations + keywords + "[PROSÓDIA]\nHERTZ=alto\n", true,
       {"Configuração da prosódia: chave errada: HERTZ=alto"}},
      {"eleven pitch steps", durations + keywords + "[PROSÓDIA]\nTABHERTZ=1,2,3,4,5,6,7,8,9,10,11\n", true,
       {"Configuração da prosódia: chave errada: TABHERTZ=1,2,3,4,5,6,7,8,9,10,11"}},
      {"binary bytes", std::string("\0\xFF\x01[\xA8\n=\n", 8), false, {"Duração dos difones errada ou ausente"}},
      {"byte-order mark", "\xEF\xBB\xBF" + durations + keywords + patterns, true, {}},
      {"sections without a body", "[DURAÇÃO]\n[CHAVES]\n[PROSÓDIA]", true, {}},
      {"Latin-1 file", "[DURA\xC7\xC3O]\na=70\n[CHAVES]\nn\xE3o=NG\n[PROS\xD3" "DIA]\n", true, {}},
  };
  for (const Case& c : cases) {
    Loaded loaded(c.text);
    EXPECT_EQ(loaded.result, c.result) << c.name;
    EXPECT_EQ(loaded.messages, c.messages) << c.name;
  }
}

TEST(ProsodyFile, ReadsDurationsHertzAndKeepsPitchStepsAcrossReloads) {
  Loaded loaded(kSmallProsody);
  ASSERT_TRUE(loaded.result);
  EXPECT_EQ(loaded.prosody.durationOf("a"), 70);
  EXPECT_EQ(loaded.prosody.durationOf("__"), 200);
  EXPECT_EQ(loaded.prosody.durationOf("m"), 100);  // not listed
  EXPECT_EQ(loaded.prosody.hertz(), 200);
  EXPECT_EQ(loaded.prosody.tabHertz()[5], 100);
  // A file with fewer steps and no HERTZ: the base goes back to 230, the steps not given stay.
  loaded.folder.write("outro.pro", "[DURAÇÃO]\n[CHAVES]\n[PROSÓDIA]\nTABHERTZ=7, 8\n");
  ASSERT_TRUE(loaded.prosody.loadProsody(loaded.folder.file("outro.pro")).ok());
  EXPECT_EQ(loaded.prosody.hertz(), 230);
  EXPECT_EQ(loaded.prosody.tabHertz()[0], 7);
  EXPECT_EQ(loaded.prosody.tabHertz()[1], 8);
  EXPECT_EQ(loaded.prosody.tabHertz()[5], 100);
}

TEST(Tokens, LinesClassesAndSentenceBreaks) {
  Loaded loaded(kSmallProsody);
  struct Case {
    std::string text;  // CP1252
    Lines tokens;
  };
  const Case cases[] = {
      {"Sim. N\xE3o", {"[--]", "[XX]Sim", "[..].", "[--]", "[NG]N\xE3o"}},
      {"O  gato, que?", {"[--]", "[AR]O", "[XX]gato", "[,,],", "[QU]que", "[??]?", "[--]"}},
      {"Bem... \xE0 toa!", {"[--]", "[XX]Bem", "[.-].", "[--]", "[XX]\xE0", "[XX]toa", "[!!]!", "[--]"}},
      // A hyphen separates the words of a compound and is no sentence break.
      {"cora\xE7\xE3o-x", {"[--]", "[XX]cora\xE7\xE3o", "[XX]x"}},
      {"disse-me - ", {"[--]", "[XX]disse", "[XX]me"}},
      {"   ", {"[--]"}},
      {"", {"[--]"}},
  };
  for (const Case& c : cases) EXPECT_EQ(loaded.prosody.tokenise(c.text), c.tokens) << c.text;
  EXPECT_EQ(loaded.prosody.classOf("N\xC3O"), "NG");
  EXPECT_EQ(loaded.prosody.classOf("nada"), "");
}

TEST(Patterns, TableFallbackAndCarry) {
  Loaded loaded(kSmallProsody);
  struct Case {
    const char* name;
    Lines tokens;
    bool useTable;
    Lines lines;
  };
  const Case cases[] = {
      {"?35 after 247 becomes 735", {"[--]", "[QU]que", "[QU]que"}, true, {"555|", "247|que", "735|que"}},
      {"no table: 555", {"[--]", "[QU]que"}, false, {"555|", "555|que"}},
      {"no entry matches: 555", {"[--]", "[XX]casa"}, true, {"555|", "555|casa"}},
      {"? at the start carries 5", {"[XX]a", "[QU]que"}, true, {"555|a", "535|que"}},
      {"next context", {"[XX]fim", "[..]."}, true, {"541|fim", "555|."}},
      {"one-letter class matches nothing", {"[--]", "[Q]que"}, true, {"555|", "555|que"}},
  };
  for (const Case& c : cases) EXPECT_EQ(loaded.prosody.assignPatterns(c.tokens, c.useTable), c.lines) << c.name;
}

TEST(Durations, ShorteningLengtheningMarksAndSilences) {
  Loaded loaded(kSmallProsody);
  struct Case {
    const char* name;
    Lines phones;
    double durationFactor;
    Lines lines;
  };
  const char soft = '\xA8';
  const Case cases[] = {
      {"70 ms, stressed 101", {";000|ca", "k", ">a", ""}, 1.0, {";ca", "k 90", "a 101", ""}},
      {"13 letters: 80 % before the stress",
       {";000|abcdefghijklm", "k", "a", ">a", "s", ""}, 1.0,
       {";abcdefghijklm", "k 72", "a 56", "a 101", "s 145", ""}},
      {"12 letters: 90 %", {";000|abcdefghijkl", "k", ">a", ""}, 1.0, {";abcdefghijkl", "k 81", "a 101", ""}},
      {"9 letters: 90 %", {";000|abcdefghi", "k", ">a", ""}, 1.0, {";abcdefghi", "k 81", "a 101", ""}},
      {"8 letters: whole", {";000|abcdefgh", "k", ">a", ""}, 1.0, {";abcdefgh", "k 90", "a 101", ""}},
      {"the soft mark ends the lengthening",
       {";000|casas", "k", ">a", "s", std::string(1, soft) + "a", "s", ""}, 1.0,
       {";casas", "k 90", "a 101", "s 145", "a 70", "s 100", ""}},
      {"stress mark before a soft mark", {";000|a", ">" + std::string(1, soft) + "a", ""}, 1.0, {";a", "a 101", ""}},
      {"silences", {";000|", "_", "_ 40", "__", "_,", "_?"}, 1.0, {";", "_ 100", "_ 40", "_ 200", "_ 150", "_ 100"}},
      {"duration factor", {";000|ca", "k", ">a", ""}, 0.5, {";ca", "k 45", "a 50", ""}},
      {"no duration below 1 ms", {";000|ca", "k", "_ 30"}, -0.2, {";ca", "k 1", "_ 1"}},
      {"empty line ends the lengthening", {";000|a", ">a", "", "a"}, 1.0, {";a", "a 101", "", "a 70"}},
  };
  for (const Case& c : cases) EXPECT_EQ(loaded.prosody.buildProsody(c.phones, c.durationFactor, 1.0), c.lines) << c.name;
}

TEST(PitchTargets, PositionsDigitsAndFactors) {
  Loaded loaded(kSmallProsody);  // HERTZ 200, digit 5 = 100 %, digit 1 = 10 %, digit 0 = none
  struct Case {
    const char* name;
    Lines phones;
    double pitchFactor;
    Lines lines;
  };
  const Case cases[] = {
      {"555: first phone at 200 Hz", {";555|sa", "s", "a", ""}, 1.0, {";sa", "s 100 50 200", "a 70", ""}},
      {"stressed at 80 %, word end at 50 %", {";531|casa", "k", ">a", "s", "a", ""}, 1.0,
       {";casa", "k 90 50 200", "a 101 80 60", "s 145", "a 101 50 20", ""}},
      {"stressed last phone", {";513|ca", "k", ">a", ""}, 1.0, {";ca", "k 90 50 200", "a 101 80 20", ""}},
      {"digit 0 and other characters: no target", {";0x5|ca", "k", ">a", ""}, 1.0, {";ca", "k 90", "a 101", ""}},
      {"pitch factor", {";555|a", "a", ""}, 1.5, {";a", "a 70 50 300", ""}},
      {"pitch factor 0: no target", {";555|a", "a", ""}, 0.0, {";a", "a 70", ""}},
      {"each word starts again", {";155|a", "a", "", ";555|a", "a", ""}, 1.0,
       {";a", "a 70 50 20", "", ";a", "a 70 50 200", ""}},
  };
  for (const Case& c : cases) EXPECT_EQ(loaded.prosody.buildProsody(c.phones, 1.0, c.pitchFactor), c.lines) << c.name;
}

// The prosody file may hold any value an int holds: the lines stay whole numbers in range, and no
// pitch goes past half the voice's 16000 Hz.
TEST(PitchTargets, HugeValuesOfTheFileStayInRange) {
  const std::string huge = "2147483647";
  std::string table;
  for (int digit = 0; digit < 10; ++digit) table += (digit ? "," : "") + huge;
  struct Case {
    const char* name;
    std::string file;
    Lines phones;
    double pitchFactor;
    Lines lines;
  };
  const Case cases[] = {
      {"the longest duration, shortened before the stress", "[DURAÇÃO]\nk=" + huge + "\n[CHAVES]\n[PROSÓDIA]\n",
       {";000|abcdefghijklmn", "k", ">a", ""}, 1.0, {";abcdefghijklmn", "k 1717986917", "a 145", ""}},
      {"the highest base and percentages", "[DURAÇÃO]\n[CHAVES]\n[PROSÓDIA]\nHERTZ=" + huge + "\nTABHERTZ=" + table + "\n",
       {";555|ca", "k", ">a", ""}, 10.0, {";ca", "k 100 50 8000", "a 145 80 8000", ""}},
      {"a high pitch factor on the usual base", kSmallProsody, {";555|sa", "s", "a", ""}, 92.0,
       {";sa", "s 100 50 8000", "a 70", ""}},
  };
  for (const Case& c : cases) {
    Loaded loaded(c.file);
    ASSERT_TRUE(loaded.result) << c.name;
    EXPECT_EQ(loaded.prosody.buildProsody(c.phones, 1.0, c.pitchFactor), c.lines) << c.name;
  }
}

TEST(Diphones, FillersWhereTheVoiceLacksADiphone) {
  // "_-_ ..." with extra columns, comments and upper-case names, as voice lists come.
  const std::string list =
      "; the voice's diphones\n! also a comment\n* and this\n"
      "_-_ 100 50\n_ k\nk-a\nA-_\na y\ny-k\nr2-_\n_-a\ns-_\n\n   \n";
  Loaded loaded(kSmallProsody, list);
  struct Case {
    const char* name;
    Lines phones;
    Lines lines;
  };
  const Case cases[] = {
      {"every diphone known", {";000|", "__", "", ";000|ca", "k", "a", "", ";000|", "__"},
       {";", "_ 200", "", ";ca", "k 90", "a 70", "", ";", "_ 200"}},
      {"a-k missing: y filler, as a-y exists", {";000|aca", "a", "k", "a", ""},
       {";aca", "a 70", "y 50", "k 90", "a 70", ""}},
      {"r2 before a missing diphone: silence", {";000|", "r2", "k", ""}, {";", "_ 50", "r2 100", "_ 50", "k 90", ""}},
      {"no y: silence", {";000|", "s", "k", ""}, {";", "_ 50", "s 100", "_ 50", "k 90", ""}},
      {"the check spans words", {";000|a", "a", "", ";000|ca", "k", "a", ""},
       {";a", "a 70", "", ";ca", "y 50", "k 90", "a 70", ""}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> lines = loaded.prosody.buildProsody(c.phones, 1.0, 0.0);
    EXPECT_EQ(lines, c.lines) << c.name;
  }
  EXPECT_TRUE(loaded.prosody.hasDiphone("K", "A"));
  EXPECT_TRUE(loaded.prosody.hasDiphone("_", "K"));
  EXPECT_FALSE(loaded.prosody.hasDiphone("k", "_"));
  EXPECT_FALSE(loaded.prosody.loadDiphones(loaded.folder.file("nada.dfn")).ok());
  // Without a list (none loaded, or one that lists nothing) every diphone counts as known: no
  // filler before every phone.
  EXPECT_TRUE(loaded.prosody.hasDiphone("k", "_"));
  loaded.folder.write("vazia.dfn", "; nothing listed\n");
  ASSERT_TRUE(loaded.prosody.loadDiphones(loaded.folder.file("vazia.dfn")).ok());
  EXPECT_EQ(loaded.prosody.buildProsody({";000|ka", "k", "a", ""}, 1.0, 0.0), (Lines{";ka", "k 90", "a 70", ""}));
}

}  // namespace
}  // namespace kaldro::tts
