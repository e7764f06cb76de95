// kaldro-fala end to end: speaking into a WAV file, standard input, playing files, bad command lines.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "support/speech_rig.h"

namespace kaldro::speech::testing {
namespace {

using ::testing::Contains;
using kaldro::testing::runProgram;
using kaldro::testing::waveHeader;

uint32_t le32At(const std::string& bytes, size_t at) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<uint8_t>(bytes[at + i]);
  return value;
}

TEST(KaldroFala, WritesTheSpokenTextToAWavFile) {
  Voice voice;
  auto result = runProgram("kaldro-fala", {"-w", "fala.wav", "Ol\xC3\xA1, 21"}, "", voice.folder);
  ASSERT_EQ(result.status, 0) << result.standardError;
  const auto lines = result.traceLines();
  EXPECT_THAT(lines, Contains("say Ol\xC3\xA1, 21"));
  EXPECT_THAT(lines, Contains("char 44"));
  EXPECT_THAT(lines, Contains("word _vinte"));
  EXPECT_EQ(lines.back(), "exit 0");
  const std::string wav = voice.folder.read("fala.wav");
  ASSERT_GT(wav.size(), 44u);
  EXPECT_EQ(wav.substr(0, 4), "RIFF");
  EXPECT_EQ(le32At(wav, 24), 16000u);
  EXPECT_EQ(le32At(wav, 40), wav.size() - 44);
}

// The file keeps the timing a listener hears: the pause after a comma and a blank (150 ms by
// default) is there as silence, 16-bit mono at 16000 Hz.
TEST(KaldroFala, PausesBecomeSilenceInTheWavFile) {
  Voice voice;
  std::map<std::string, std::string> wav;
  for (const char* text : {"a, b", "a,b"}) {
    auto result = runProgram("kaldro-fala", {"-w", "fala.wav", text}, "", voice.folder);
    ASSERT_EQ(result.status, 0) << result.standardError;
    wav[text] = voice.folder.read("fala.wav");
  }
  const long longer = static_cast<long>(wav["a, b"].size()) - static_cast<long>(wav["a,b"].size());
  EXPECT_NEAR(longer, 150 * 16 * 2, 64);
  // The pause itself is silence: a run of zero samples at least that long.
  const std::string& paused = wav["a, b"];
  size_t longestRun = 0, run = 0;
  for (size_t i = 44; i + 1 < paused.size(); i += 2) {
    run = paused[i] == 0 && paused[i + 1] == 0 ? run + 1 : 0;
    longestRun = std::max(longestRun, run);
  }
  EXPECT_GE(longestRun, 150u * 16 - 16);
}

// (The files it cannot play are among the failures below.)
TEST(KaldroFala, PlaysFiles) {
  Voice voice;
  auto played = runProgram("kaldro-fala", {"--play", voice.letters + "_65.wav"}, "", voice.folder);
  EXPECT_EQ(played.status, 0) << played.standardError;
  EXPECT_THAT(played.traceLines(), Contains("play _65.wav 11025 8 1 100"));
}

// The built tree (program, voice and the configuration naming its folders) copied under a folder
// whose name alone is longer than any fixed buffer a folder name might have been cut to.
TEST(KaldroFala, SpeaksFromATreeInAVeryLongFolder) {
  namespace fs = std::filesystem;
  ScratchFolder scratch;
  std::string tree = scratch.path() + "/";
  while (tree.size() < 150) tree += "pasta-com-nome-comprido/";
  tree += "kaldro";
  ASSERT_GE(tree.size(), 120u);
  const fs::path built = fs::path(KALDRO_BIN_DIR).parent_path();
  fs::create_directories(tree + "/bin");
  fs::create_directories(tree + "/etc/kaldro");
  fs::copy_file(built / "bin" / "kaldro-fala", tree + "/bin/kaldro-fala");
  fs::copy(built / "share", tree + "/share", fs::copy_options::recursive);
  std::string ini = readFile((built / "etc" / "kaldro" / "KALDRO.INI").string());
  ASSERT_FALSE(ini.empty());
  for (size_t at = ini.find(built.string()); at != std::string::npos; at = ini.find(built.string(), at + tree.size()))
    ini.replace(at, built.string().size(), tree);
  writeFile(tree + "/etc/kaldro/KALDRO.INI", ini);

  const std::string wav = tree + "/fala.wav";
  auto result = kaldro::testing::runProgram(tree + "/bin/kaldro-fala", {"-w", wav, "bom dia"}, "", scratch,
                                            {{"KALDRO_CONFIG_DIR", tree + "/etc/kaldro"}});
  ASSERT_EQ(result.status, 0) << result.standardError;
  EXPECT_GT(readFile(wav).size(), 44u + 16000u / 4);  // at least a quarter second of speech
}

// Every failure ends with status 1 and one line on standard error; --help states the statuses.
TEST(KaldroFala, FailuresAreNeverReportedAsSuccess) {
  Voice voice;
  // A 16-bit file whose format chunk claims no channel at all.
  std::string noChannel = waveHeader(4);
  noChannel[22] = 0;
  voice.folder.write("sem-canais.wav", noChannel + "abcd");
  const std::vector<std::vector<std::string>> failures = {
      {"--play", "sem-canais.wav"}, {"--play", "nada.wav"}, {"-w", "sem/pasta/fala.wav", "oi"}};
  for (const auto& arguments : failures) {
    auto result = runProgram("kaldro-fala", arguments, "", voice.folder);
    EXPECT_EQ(result.status, 1) << arguments[1];
    EXPECT_EQ(std::count(result.standardError.begin(), result.standardError.end(), '\n'), 1) << arguments[1];
    EXPECT_NE(result.standardError.find(arguments[1]), std::string::npos) << result.standardError;
  }
  auto help = runProgram("kaldro-fala", {"--help"}, "", voice.folder);
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.standardOutput.find("C\xC3\xB3" "digo de sa\xC3\xAD" "da"), std::string::npos);
}

TEST(KaldroFala, CommandLinesAndAMissingVoice) {
  Voice voice;
  EXPECT_EQ(runProgram("kaldro-fala", {}, "", voice.folder).status, 0);  // reads the empty standard input
  EXPECT_EQ(runProgram("kaldro-fala", {"-v", "9", "oi"}, "", voice.folder).status, 2);
  writeFile(voice.folder.file("KALDRO.INI"), "[SINTETIZADOR]\nDIFONES3=NADA\n");
  auto result = runProgram("kaldro-fala", {"oi"}, "", voice.folder);
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.standardError.find("banco de dados de voz: NADA"), std::string::npos);
}

}  // namespace
}  // namespace kaldro::speech::testing
