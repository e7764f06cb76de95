// The reading table of letter items (tests/data/leitura.txt): the natural reading, the engine's
// normaliser, the built-in voice's run cutting and kaldro-fala --normal of either voice all say what
// a Brazilian reader says; LEITURA=LITERAL and --literal read sign by sign, as the voices always did.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/character_names.h"
#include "platform/text.h"
#include "support/program_run.h"
#include "support/speech_rig.h"
#include "tts/front_end.h"
#include "tts/latin1_text.h"
#include "tts/natural_reading.h"
#include "tts/normaliser.h"
#include "tts/user_dictionary.h"

namespace kaldro::tts {
namespace {

using kaldro::testing::kEngineData;
using kaldro::testing::ProgramResult;
using kaldro::testing::runProgram;
using kaldro::testing::ScratchFolder;

struct Row {
  bool literal = false;
  std::string text, said;  // UTF-8
  size_t line = 0;
};

std::vector<Row> readingTable() {
  std::ifstream file(std::string(KALDRO_TEST_DATA) + "/leitura.txt");
  std::vector<Row> rows;
  size_t number = 0;
  for (std::string line; std::getline(file, line);) {
    ++number;
    if (line.empty() || line[0] == '#') continue;
    Row row;
    row.line = number;
    if (line.rfind("literal\t", 0) == 0) {
      row.literal = true;
      line.erase(0, 8);
    }
    const size_t tab = line.find('\t');
    if (tab == std::string::npos) {
      ADD_FAILURE() << "leitura.txt:" << number << ": falta a tabulação";
      continue;
    }
    row.text = line.substr(0, tab);
    row.said = line.substr(tab + 1);
    rows.push_back(row);
  }
  return rows;
}

// The words of a reading, for comparing: small letters, no pause marks or hyphens, ü as u, single blanks.
std::string wordsOnly(std::string_view utf8) {
  std::string text = lowerLatin1(platform::utf8ToCp1252(utf8)), out;
  for (char c : text) {
    if (c == '\xFC') c = 'u';
    if (std::string_view(",.;:!?()-").find(c) != std::string_view::npos) c = ' ';  // decreto-lei as two words
    if (c == ' ' && (out.empty() || out.back() == ' ')) continue;
    out += c;
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return platform::cp1252ToUtf8(out);
}

std::string linesOf(const std::vector<Row>& rows, bool literal) {
  std::string lines;
  for (const Row& row : rows)
    if (row.literal == literal) lines += row.text + "\n";
  return lines;
}

TEST(ReadingTable, TheStageTheEngineAndTheBuiltInVoiceSayWhatAReaderSays) {
  const std::vector<Row> rows = readingTable();
  ASSERT_GE(rows.size(), 150u);
  Normaliser names;
  ASSERT_TRUE(names.loadAbbreviations(kEngineData + "portug.abr").ok());
  const NaturalReading natural(names);
  FrontEnd engine;
  ASSERT_TRUE(engine.load(dataFilesIn(kEngineData)).ok());
  FrontEnd literalEngine;
  ASSERT_TRUE(literalEngine.load(dataFilesIn(kEngineData)).ok());
  literalEngine.setReading(Reading::Literal);
  // The built-in voice as the programs make it: the natural reading before its run cutting.
  speech::testing::SpeechRig rig;
  rig.speech.setTextReader([&](std::string_view text) { return natural.read(text); });
  rig.start();

  const platform::CharacterNames signNames;
  size_t agreed = 0, natural_rows = 0;
  for (const Row& row : rows) {
    // The text as the programs hand it to a voice: signs CP1252 lacks by their names.
    const std::string text = signNames.speechTextFromUtf8(row.text), said = wordsOnly(row.said);
    const std::string where = "leitura.txt:" + std::to_string(row.line) + ": " + row.text;
    if (row.literal) {
      std::string spoken;
      for (const std::string& line : literalEngine.mbrolaLines(text, 1.0, 1.0))
        if (line.size() > 1 && line[0] == ';') spoken += line.substr(1) + " ";
      EXPECT_EQ(wordsOnly(platform::cp1252ToUtf8(spoken)), said) << where;
      continue;
    }
    ++natural_rows;
    const std::string stage = wordsOnly(platform::cp1252ToUtf8(natural.read(text)));
    EXPECT_EQ(stage, said) << where;
    // The engine's words as it speaks them: the word of each group of MBROLA lines.
    std::string spoken;
    for (const std::string& line : engine.mbrolaLines(text, 1.0, 1.0))
      if (line.size() > 1 && line[0] == ';') spoken += line.substr(1) + " ";
    EXPECT_EQ(wordsOnly(platform::cp1252ToUtf8(spoken)), said) << where;
    // The built-in voice reads the same words: every run is a word run for its synthesizer, with
    // no recorded number word and no symbol named (pause marks only pause).
    rig.speech.speakText(text);
    std::string heard = row.text;
    for (const std::string& line : rig.newTrace()) {
      if (line.rfind("read ", 0) == 0) heard = line.substr(5);
      EXPECT_FALSE(line.rfind("char ", 0) == 0 || line.rfind("word ", 0) == 0) << where << ": " << line;
    }
    EXPECT_EQ(wordsOnly(heard), said) << where;
    agreed += stage == said;
  }
  std::printf("leitura natural: %zu de %zu itens como o leitor diz\n", agreed, natural_rows);
}

// kaldro-fala --normal prints each voice's reading, one line per line of standard input; the key
// LEITURA and the option --literal turn the natural reading off for both voices.
TEST(ReadingTable, KaldroFalaPrintsTheReadingOfEitherVoiceAndTheLiteralOneOnRequest) {
  const std::vector<Row> rows = readingTable();
  auto printed = [](const std::vector<std::string>& arguments, const std::string& input, const std::string& ini) {
    ScratchFolder folder;
    if (!ini.empty()) folder.write("KALDRO.INI", ini);
    folder.write("entrada.txt", input);
    std::vector<std::string> command = {"-c", std::string(KALDRO_BIN_DIR) + "/kaldro-fala \"$@\" < entrada.txt", "fala"};
    command.insert(command.end(), arguments.begin(), arguments.end());
    const ProgramResult result = runProgram("/bin/sh", command, "", folder);
    EXPECT_EQ(result.status, 0) << result.standardError;
    return kaldro::testing::splitLines(result.standardOutput);
  };
  auto compare = [&](const std::vector<std::string>& lines, bool literal, bool asWritten, const std::string& how) {
    size_t at = 0;
    for (const Row& row : rows) {
      if (row.literal != literal) continue;
      ASSERT_LT(at, lines.size()) << how;
      EXPECT_EQ(wordsOnly(lines[at++]), wordsOnly(asWritten ? row.text : row.said)) << how << ": " << row.text;
    }
    EXPECT_EQ(at, lines.size()) << how;
  };
  const std::string naturalLines = linesOf(rows, false), literalLines = linesOf(rows, true);
  compare(printed({"--normal"}, naturalLines, ""), false, false, "voz embutida");
  compare(printed({"--engine", "ormia", "--normal"}, naturalLines, ""), false, false, "motor");
  const std::string literalIni = "[TRADUTOR]\nLEITURA=LITERAL\n";
  compare(printed({"--engine", "ormia", "--normal"}, literalLines, literalIni), true, false, "motor, LEITURA=LITERAL");
  compare(printed({"--engine", "ormia", "--normal", "--literal"}, literalLines, ""), true, false, "motor, --literal");
  compare(printed({"--normal"}, literalLines, literalIni), true, true, "voz embutida, LEITURA=LITERAL");
  compare(printed({"--normal", "--literal"}, literalLines, ""), true, true, "voz embutida, --literal");
}

// The words of a text (CP1252) that no reading may change: small letters only, with a vowel, not
// ending in a point (an abbreviation's) and not the words of a number repeated in brackets.
std::vector<std::string> ordinaryWords(const std::string& text) {
  std::vector<std::string> words;
  bool afterNumber = false, inBrackets = false;
  for (std::string token : platform::splitWords(text)) {
    const bool opens = token.front() == '(';
    if (opens) inBrackets = afterNumber;
    while (!token.empty() && std::string_view("(\"'\x93\x91\xAB").find(token.front()) != std::string_view::npos) token.erase(0, 1);
    const bool closes = token.find(')') != std::string::npos;
    while (!token.empty() && std::string_view(",;:!?)\"'\x94\x92\xBB").find(token.back()) != std::string_view::npos) token.pop_back();
    afterNumber = token.find_first_of("0123456789") != std::string::npos;
    bool plain = token.size() >= 2 && token.back() != '.' && !inBrackets;
    bool vowel = false;
    for (char c : token) {
      plain = plain && (c == '-' || (isPortugueseLetter(c) && lowerLatin1(c) == c));
      vowel = vowel || std::string_view("aeiou\xE1\xE9\xED\xF3\xFA\xE2\xEA\xF4\xE3\xF5\xE0").find(c) != std::string_view::npos;
    }
    if (plain && vowel && token.front() != '-' && token.back() != '-')
      for (const std::string& part : platform::splitWords(std::string(token) + ' '))
        for (size_t from = 0; from < part.size();) {  // decreto-lei is compared as two words
          const size_t to = std::min(part.find('-', from), part.size());
          if (to > from) words.push_back(part.substr(from, to - from));
          from = to + 1;
        }
    if (closes) inBrackets = false;
  }
  return words;
}

// Ordinary prose keeps its words: over the manual, the README and sentences of ordinary Portuguese,
// every ordinary word of a line is read, in its order, and none is said twice in a row unless the
// line says it twice.
TEST(ReadingTable, OrdinaryProseNeitherLosesNorRepeatsAWord) {
  Normaliser names;
  ASSERT_TRUE(names.loadAbbreviations(kEngineData + "portug.abr").ok());
  const NaturalReading natural(names);
  size_t lines = 0;
  for (const std::string path : {std::string(KALDRO_SOURCE_DIR) + "/docs/manual.md", std::string(KALDRO_SOURCE_DIR) + "/README.md",
                                 std::string(KALDRO_TEST_DATA) + "/prosa.txt"}) {
    std::ifstream file(path);
    ASSERT_TRUE(file) << path;
    for (std::string line; std::getline(file, line);) {
      if (line.empty() || line[0] == '#') continue;
      ++lines;
      const std::string text = platform::utf8ToCp1252(line);
      const std::vector<std::string> given = ordinaryWords(text);
      const std::vector<std::string> read = platform::splitWords(wordsOnly(platform::cp1252ToUtf8(natural.read(text))));
      size_t next = 0;
      for (const std::string& word : given) {
        const std::string wanted = platform::cp1252ToUtf8(word);
        while (next < read.size() && read[next] != wanted) ++next;
        EXPECT_LT(next, read.size()) << path << ": \"" << wanted << "\" se perdeu em: " << line;
        if (next == read.size()) break;
        ++next;
      }
      // A word said twice in a row must be written twice in a row, or be the manual's "reading" of
      // the sign before it (século V "quinto").
      std::vector<std::string> written = platform::splitWords(wordsOnly(line));
      for (std::string& word : written) std::erase_if(word, [](char c) { return c == '{' || c == '}' || c == '`' || c == '"'; });
      for (size_t i = 1; i < read.size(); ++i) {
        if (read[i] != read[i - 1]) continue;
        const bool ordinary = std::find(given.begin(), given.end(), platform::utf8ToCp1252(read[i])) != given.end();
        bool twiceInText = line.find("\"" + read[i]) != std::string::npos;
        for (size_t j = 1; j < written.size(); ++j) twiceInText = twiceInText || (written[j] == read[i] && written[j - 1] == read[i]);
        EXPECT_TRUE(!ordinary || twiceInText) << path << ": \"" << read[i] << "\" repetida em: " << line;
      }
    }
  }
  EXPECT_GE(lines, 3000u);
}

// The user's dictionary (dicionario.txt in the folders KALDRO.INI is searched in) comes before
// either reading, in both voices: the user's file wins over one further down the search, a bad
// line is told once with its file and line and skipped, words are matched whole, and a line with
// "==" keeps its case.
TEST(ReadingTable, TheUsersDictionaryComesFirstInBothVoicesAndBothReadings) {
  ScratchFolder folder;
  folder.write("dicionario.txt", "# sobrenomes e siglas da empresa\nWolff = Vólfi\nACME == Ácme\nsem sinal de igual\n");
  std::filesystem::create_directories(folder.file(".config/kaldro"));
  folder.write(".config/kaldro/dicionario.txt", "Wolff = Uolfe\nBoituva = Boitúva\n");
  folder.write("entrada.txt", "O Sr. Wolff e a ACME.\nWolffs, acme e Boituva em 15/08.\n");
  struct Case {
    std::vector<std::string> options;
    const char* first;
    const char* second;
  };
  const Case cases[] = {
      {{"--normal"}, "o senhor vólfi e a ácme", "wolffs acme e boitúva em quinze de agosto"},
      {{"--engine", "ormia", "--normal"}, "o senhor vólfi e a ácme", "wolffs acme e boitúva em quinze de agosto"},
      {{"--normal", "--literal"}, "o sr vólfi e a ácme", "wolffs acme e boitúva em 15/08"},
      {{"--engine", "ormia", "--normal", "--literal"}, "o senhor vólfi e a ácme",
       "wolffs acme e boitúva em quinze barra zero oito"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> command = {"-c", std::string(KALDRO_BIN_DIR) + "/kaldro-fala \"$@\" < entrada.txt", "fala"};
    command.insert(command.end(), c.options.begin(), c.options.end());
    const ProgramResult result = runProgram("/bin/sh", command, "", folder);
    const std::string how = c.options.back() + " " + c.options.front();
    ASSERT_EQ(result.status, 0) << how << ": " << result.standardError;
    const std::vector<std::string> lines = kaldro::testing::splitLines(result.standardOutput);
    ASSERT_EQ(lines.size(), 2u) << how;
    EXPECT_EQ(wordsOnly(lines[0]), c.first) << how;
    EXPECT_EQ(wordsOnly(lines[1]), c.second) << how;
    const std::string told = "dicionario.txt:4: a linha \"sem sinal de igual\"";
    const size_t at = result.standardError.find(told);
    EXPECT_NE(at, std::string::npos) << how << ": " << result.standardError;
    EXPECT_EQ(result.standardError.find(told, at + 1), std::string::npos) << how << ": told twice";
  }
}

// A dictionary file written again while the program runs is read again before the next text.
TEST(ReadingTable, TheUsersDictionaryFollowsItsFile) {
  ScratchFolder folder;
  folder.write("dicionario.txt", "Wolff = Vólfi\n");
  std::vector<std::string> told;
  const UserDictionary dictionary({folder.file("dicionario.txt"), folder.file("nada/dicionario.txt")},
                                  [&](const std::string& fault) { told.push_back(fault); });
  EXPECT_EQ(dictionary.apply("Sr. Wolff"), platform::utf8ToCp1252("Sr. Vólfi"));
  folder.write("dicionario.txt", "Wolff = Uolfe\n=\n");
  EXPECT_EQ(dictionary.apply("Sr. Wolff"), "Sr. Uolfe");
  EXPECT_EQ(dictionary.apply("Sr. Wolff"), "Sr. Uolfe");
  ASSERT_EQ(told.size(), 1u);  // the bad line of the new file, once
  EXPECT_NE(told[0].find("dicionario.txt:2:"), std::string::npos) << told[0];
}

// Speaking through the program: the natural reading reaches the built-in voice, and --literal
// brings back the named signs and the recorded number words; the --phonemes and --phones views
// follow the same reading.
TEST(ReadingTable, TheBuiltInVoiceOfTheProgramReadsNaturallyUnlessToldLiteral) {
  speech::testing::Voice voice;
  // The rig's voice is read naturally here: its KALDRO.INI without the literal reading of the rigs.
  std::string ini = kaldro::testing::readFile(voice.folder.file("KALDRO.INI"));
  for (size_t at = ini.find("LEITURA=LITERAL\n"); at != std::string::npos; at = ini.find("LEITURA=LITERAL\n"))
    ini.erase(at, 16);
  voice.folder.write("KALDRO.INI", ini);
  // The --phonemes view shows what the voice says: the date's words, or with --literal the signs
  // (--phones takes the same reading; the rig's voice has no phone inventory).
  const char* const date = "07/12/2026";
  const char* const dateSaid = "sete de dezembro de dois mil e vinte e seis";
  const ProgramResult shown = runProgram("kaldro-fala", {"--phonemes", date, dateSaid}, "", voice.folder);
  ASSERT_EQ(shown.status, 0) << shown.standardError;
  const std::vector<std::string> phonemes = kaldro::testing::splitLines(shown.standardOutput);
  ASSERT_EQ(phonemes.size(), 2u);
  EXPECT_EQ(phonemes[0], phonemes[1]);
  const ProgramResult literalShown = runProgram("kaldro-fala", {"--literal", "--phonemes", date, dateSaid}, "", voice.folder);
  const std::vector<std::string> literalPhonemes = kaldro::testing::splitLines(literalShown.standardOutput);
  ASSERT_EQ(literalPhonemes.size(), 2u);
  EXPECT_NE(literalPhonemes[0], literalPhonemes[1]);
  const ProgramResult natural = runProgram("kaldro-fala", {"-w", "fala.wav", "Paguei R$ 10,50 em 15/08."}, "", voice.folder);
  ASSERT_EQ(natural.status, 0) << natural.standardError;
  const auto lines = natural.traceLines();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "read Paguei dez reais e cinq\xC3\xBC" "enta centavos em quinze de agosto."),
            lines.end());
  for (const std::string& line : lines) EXPECT_NE(line.rfind("char ", 0), 0u) << line;
  const ProgramResult literal =
      runProgram("kaldro-fala", {"--literal", "-w", "fala.wav", "Paguei R$ 10,50 em 15/08."}, "", voice.folder);
  ASSERT_EQ(literal.status, 0) << literal.standardError;
  const auto literalLines = literal.traceLines();
  for (const char* expected : {"char 36", "char 44", "char 47", "word _quinze"})
    EXPECT_NE(std::find(literalLines.begin(), literalLines.end(), expected), literalLines.end()) << expected;
  for (const std::string& line : literalLines) EXPECT_NE(line.rfind("read ", 0), 0u) << line;
}

}  // namespace
}  // namespace kaldro::tts
