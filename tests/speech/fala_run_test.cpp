// kaldro-fala end to end: speaking into a WAV file, standard input, playing files, bad command lines.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "support/speech_rig.h"

namespace kaldro::speech::testing {
namespace {

using ::testing::Contains;
using kaldro::testing::runProgram;

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

TEST(KaldroFala, PlaysFilesAndReportsTheUnreadable) {
  Voice voice;
  auto played = runProgram("kaldro-fala", {"--play", voice.letters + "_65.wav"}, "", voice.folder);
  EXPECT_EQ(played.status, 0) << played.standardError;
  EXPECT_THAT(played.traceLines(), Contains("play _65.wav 11025 8 1 100"));
  auto missing = runProgram("kaldro-fala", {"--play", "nada.wav"}, "", voice.folder);
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.standardError.find("nada.wav"), std::string::npos);
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

TEST(KaldroFala, CommandLinesAndAMissingVoice) {
  Voice voice;
  EXPECT_EQ(runProgram("kaldro-fala", {}, "", voice.folder).status, 0);  // reads the empty standard input
  EXPECT_EQ(runProgram("kaldro-fala", {"-v", "9", "oi"}, "", voice.folder).status, 2);
  EXPECT_EQ(runProgram("kaldro-fala", {"--desconhecida"}, "", voice.folder).status, 2);
  writeFile(voice.folder.file("KALDRO.INI"), "[SINTETIZADOR]\nDIFONES3=NADA\n");
  auto result = runProgram("kaldro-fala", {"oi"}, "", voice.folder);
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.standardError.find("Banco de dados de voz: NADA"), std::string::npos);
}

}  // namespace
}  // namespace kaldro::speech::testing
