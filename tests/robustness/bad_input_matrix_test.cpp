// Bad input end to end on the headless host, each checked by the letter (output), the screen and
// the trace: the outcome the programs define, or a clear Portuguese message and nothing lost.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "diphone/diphone_index.h"
#include "support/program_run.h"
#include "support/speech_rig.h"

namespace kaldro::testing {
namespace {

using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::Not;

const std::string kOutput = "type carta.txt\nkey Enter\n";

// A binary file as the template: lines of at most 255 characters, every byte of each kept line
// written back, and the letter complete.
TEST(BadInputMatrix, ABinaryTemplateGivesItsLetter) {
  std::string binary;
  for (int i = 0; i < 2048; ++i) binary.push_back(static_cast<char>((i * 37 + 11) % 256 == '{' ? 'x' : (i * 37 + 11) % 256));
  ScratchFolder folder;
  folder.write("modelo.bin", binary);
  ProgramResult result = runProgram("plumar", {"modelo.bin"}, kOutput, folder);
  EXPECT_EQ(result.status, 0);
  EXPECT_THAT(result.spokenLines(), Contains("Texto gerado"));
  EXPECT_FALSE(folder.read("carta.txt").empty());
}

// No name, blanks erased, a missing folder, a folder, one where nothing can be created; the
// template by its name, a symbolic and a hard link. An empty name is the user's cancellation (4);
// the others are failures (1), told in one line; the template is never touched.
TEST(BadInputMatrix, OutputsThatCannotBeCreatedSaySo) {
  std::vector<std::pair<std::string, int>> cases = {
      {"key Enter\n", 4},           {"type  \nkey Escape\nkey Enter\n", 4}, {"type falta/carta.txt\nkey Enter\n", 1},
      {"type .\nkey Enter\nkey S\n", 1},   {"type m.txt\nkey Enter\nkey S\n", 1},  {"type link.txt\nkey Enter\nkey S\n", 1},
      {"type duro.txt\nkey Enter\nkey S\n", 1}};
  ScratchFolder probe;
  // Root writes in any folder: as root the cases run as nobody, when that can be done.
  const std::optional<std::vector<std::string>> launcher = launcherBoundByPermissions(probe);
  cases.push_back({launcher ? "type somente-leitura/carta.txt\nkey Enter\n" : "type /proc/carta-kaldro.txt\nkey Enter\n", 1});
  const std::vector<std::string> runner = launcher.value_or(std::vector<std::string>{});
  for (const auto& [keys, status] : cases) {
    ScratchFolder folder;
    folder.write("m.txt", "precioso {X}\n");
    ASSERT_EQ(::symlink("m.txt", folder.file("link.txt").c_str()), 0);
    ASSERT_EQ(::link(folder.file("m.txt").c_str(), folder.file("duro.txt").c_str()), 0);
    std::filesystem::create_directory(folder.file("somente-leitura"));
    if (launcher) launcherBoundByPermissions(folder);
    ::chmod(folder.file("somente-leitura").c_str(), 0555);
    ProgramResult result = runProgram("plumar", {"m.txt"}, keys, folder, {}, runner);
    EXPECT_EQ(result.status, status) << keys;
    EXPECT_EQ(std::count(result.standardError.begin(), result.standardError.end(), '\n'), 1) << keys;
    EXPECT_THAT(result.spokenLines(), Contains("Arquivo n\xC3\xA3o pode ser criado")) << keys;
    EXPECT_THAT(result.spokenLines(), Contains("Programa cancelado")) << keys;
    EXPECT_THAT(result.spokenLines(), Not(Contains("Texto gerado"))) << keys;
    EXPECT_EQ(folder.read("m.txt"), "precioso {X}\n") << keys;
  }
  if (!launcher) GTEST_SKIP() << "running as root without a way to run as nobody: no read-only folder";
  ScratchFolder folder;
  folder.write("modelo.txt", "Oi\n");
  // An existing letter in a read-only folder is still replaced in place, as the user agreed.
  std::filesystem::create_directory(folder.file("somente-leitura"));
  folder.write("somente-leitura/carta.txt", "antiga\n");
  ::chmod(folder.file("somente-leitura").c_str(), 0555);
  ASSERT_TRUE(launcherBoundByPermissions(folder));  // the letter now belongs to the user too
  ProgramResult result =
      runProgram("plumar", {"modelo.txt"}, "type somente-leitura/carta.txt\nkey Enter\nkey S\n", folder, {}, runner);
  EXPECT_EQ(result.status, 0) << result.standardError;
  EXPECT_EQ(folder.read("somente-leitura/carta.txt"), "Oi\n");
  ::chmod(folder.file("somente-leitura").c_str(), 0755);
}

// KALDRO.INI with junk, duplicate sections and huge values around the build's own settings.
TEST(BadInputMatrix, AConfigurationWithJunkStillSpeaks) {
  ScratchFolder folder;
  const std::string shipped = readFile(std::string(KALDRO_BIN_DIR) + "/../etc/kaldro/KALDRO.INI");
  std::string junk = std::string("\x01\x02\xFF\xFE garbage\n[SINTETIZADOR\n=semchave\n[]\n", 40);
  junk += "[VIDEO]\nCORFUNDO=300000000\nLARGURALETRA=99999999999\nTABCORES=" + std::string(500, '9') + "\n";
  const std::string ini = junk + shipped + "\n[SINTETIZADOR]\nDIFONES3=OUTRO\nPAUSAPONTO3=2147483647\n" +
                          "[TRADUTOR]\nVELOCIDADE=99999999999999\n" + std::string(10000, 'x') + "\n";
  folder.write("KALDRO.INI", ini);
  folder.write("modelo.txt", "{*Diga. o nome.*}\nOi {NOME}\n");
  ProgramResult result = runProgram("plumar", {"modelo.txt"}, kOutput + "type Ana\nkey Enter\n", folder);
  EXPECT_EQ(result.status, 0) << result.standardError;
  EXPECT_EQ(folder.read("carta.txt"), "Oi Ana\n");
  EXPECT_THAT(result.spokenLines(), Contains("Texto gerado"));
  // The first DIFONES3 wins: the shipped voice speaks.
  EXPECT_THAT(result.trace, HasSubstr("phonemes "));
}

// The voice's own files broken: the program still ends normally, speaking what it can.
TEST(BadInputMatrix, BrokenVoiceFilesNeverCrashOrHang) {
  using speech::testing::Voice;
  struct Case {
    const char* what;
    std::function<void(Voice&)> breakIt;
    int status;
  };
  const Case cases[] = {
      {"an index pointing past its data",
       [](Voice& voice) {
         writeFile(voice.diphones + "TESTE.IND", diphone::encodeIndexRecord("$A", {65535, 4000000000u}) +
                                                      diphone::encodeIndexRecord("$BA", {300, 4294967000u}));
       },
       0},
      {"a data file cut short", [](Voice& voice) { writeFile(voice.diphones + "TESTE.DIF", "\x80"); }, 0},
      {"an index with a torn last record",
       [](Voice& voice) { writeFile(voice.diphones + "TESTE.IND", diphone::encodeIndexRecord("$A", {300, 0}) + "xyz"); },
       0},
      {"rules with lines of 10 000 characters",
       [](Voice& voice) {
         writeFile(voice.diphones + "regras.rgr", "(A)=" + std::string(10000, 'a') + "|\n(" + std::string(10000, 'B') +
                                                      ")=b|\n" + std::string(10000, ';') + "\n(B)=b|\n");
         writeFile(voice.diphones + "portug.exc", std::string(10000, 'x') + "=y\n");
       },
       0},
      {"letter recordings truncated and with lying chunk sizes",
       [](Voice& voice) {
         const std::string good = waveFile(100, 140);
         writeFile(voice.letters + "_98.wav", good.substr(0, 50));
         std::string lying = good;
         lying[40] = '\xFF';
         lying[41] = '\xFF';
         lying[42] = '\xFF';
         lying[43] = '\x7F';
         writeFile(voice.letters + "_97.wav", lying);
         writeFile(voice.letters + "_44.wav", waveFile(100, 140, std::string("LIST\xFF\xFF\xFF\xFF", 8)));
       },
       0},
  };
  for (const Case& c : cases) {
    Voice voice;
    c.breakIt(voice);
    ProgramResult result = runProgram("kaldro-fala", {"-w", "fala.wav", "ba, ab. a b"}, "", voice.folder);
    EXPECT_EQ(result.status, c.status) << c.what << ": " << result.standardError;
    EXPECT_THAT(result.traceLines(), Contains("exit " + std::to_string(c.status))) << c.what;
    const std::string wav = voice.folder.read("fala.wav");
    EXPECT_GE(wav.size(), 44u) << c.what;
  }
}

}  // namespace
}  // namespace kaldro::testing
