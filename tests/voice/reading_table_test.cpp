// The reading table of letter items (tests/data/leitura.txt): the natural reading, the engine's
// normaliser, the built-in voice's run cutting and kaldro-fala --normal of either voice all say what
// a Brazilian reader says; LEITURA=LITERAL and --literal read sign by sign, as the voices always did.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "platform/text.h"
#include "support/program_run.h"
#include "support/speech_rig.h"
#include "tts/front_end.h"
#include "tts/latin1_text.h"
#include "tts/natural_reading.h"
#include "tts/normaliser.h"

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

  size_t agreed = 0, natural_rows = 0;
  for (const Row& row : rows) {
    const std::string text = platform::utf8ToCp1252(row.text), said = wordsOnly(row.said);
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

// Speaking through the program: the natural reading reaches the built-in voice, and --literal
// brings back the named signs and the recorded number words.
TEST(ReadingTable, TheBuiltInVoiceOfTheProgramReadsNaturallyUnlessToldLiteral) {
  speech::testing::Voice voice;
  // The rig's voice is read naturally here: its KALDRO.INI without the literal reading of the rigs.
  std::string ini = kaldro::testing::readFile(voice.folder.file("KALDRO.INI"));
  for (size_t at = ini.find("LEITURA=LITERAL\n"); at != std::string::npos; at = ini.find("LEITURA=LITERAL\n"))
    ini.erase(at, 16);
  voice.folder.write("KALDRO.INI", ini);
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
