// Whole runs through the desktop's engines: kaldro-fala --engine (eSpeak NG speaking and writing WAV
// files, Speech Dispatcher speaking and refusing files), and the letter generator with TIPOSAPI 4 and 5.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <csignal>
#include <map>
#include <thread>
#include <string>
#include <utility>

#include "engine_rig.h"
#include "speech_daemon.h"
#include "engines/speechd_adapter.h"
#include "support/program_run.h"

namespace kaldro::engines {
namespace {

using kaldro::testing::runProgram;
using kaldro::testing::ScratchFolder;

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(FalaEngine, EspeakWritesTheWavFileItself) {
  ScratchFolder folder;
  const auto result = runProgram("kaldro-fala", {"--engine", "espeak", "-w", "fala.wav", "Bom dia, tudo bem?", "  ", "7"}, "",
                                 folder);
  ASSERT_EQ(result.status, 0) << result.standardError;
  const testing::WaveFacts sound = testing::readWave(folder.read("fala.wav"));
  std::printf("kaldro-fala --engine espeak: %zu samples at %u Hz, rms %.0f\n", sound.samples, sound.rate, sound.rms);
  EXPECT_TRUE(sound.wellFormed);
  EXPECT_GT(sound.samples, 22050u * 6 / 5);
  EXPECT_GT(sound.rms, 500);
}

TEST(FalaEngine, CommandLineFaults) {
  ScratchFolder folder;
  const struct {
    std::vector<std::string> arguments;
    int status;
    const char* message;
  } cases[] = {
      {{"--engine", "speechd", "-w", "fala.wav", "oi"}, 1, "n\xC3\xA3o grava arquivos"},
      {{"--engine"}, 2, "falta o valor de --engine"},
      {{"--engine", "espeak", "-w", "pasta/que/falta/fala.wav", "oi"}, 1, "o motor espeak n\xC3\xA3o come\xC3\xA7ou"},
  };
  for (const auto& c : cases) {
    const auto result = runProgram("kaldro-fala", c.arguments, "", folder);
    EXPECT_EQ(result.status, c.status) << c.arguments[1];
    EXPECT_TRUE(contains(result.standardError, c.message)) << result.standardError;
  }
  EXPECT_FALSE(folder.exists("fala.wav"));
}

TEST(FalaEngine, EspeakHeardThroughTheSoundDevice) {
  ScratchFolder folder;
  const auto result = runProgram("kaldro-fala", {"--engine", "espeak", "Um teste."}, "", folder);
  ASSERT_EQ(result.status, 0) << result.standardError;
  EXPECT_TRUE(contains(result.trace, "play - 22050 16 1 ")) << result.trace;
}

// Speaks, lists its voices (Brazilian Portuguese first, with the number VOZ takes), or says it is missing.
TEST(FalaEngine, SpeechDispatcherSpeaksListsItsVoicesOrSaysItIsMissing) {
  testing::SpeechDaemon daemon;
  if (!daemon.failure.empty()) GTEST_SKIP() << daemon.failure;
  ScratchFolder folder;
  const std::map<std::string, std::string> reach{{"SPEECHD_ADDRESS", daemon.address()}};
  const auto spoken = runProgram("kaldro-fala", {"--engine", "speechd", "Bom dia.", "Outra frase."}, "", folder, reach);
  EXPECT_EQ(spoken.status, 0) << spoken.standardError;

  // MBROLA's Brazilian voice comes from Debian's contrib: without it the listing says so and fails.
  const bool br4Installed = std::filesystem::exists("/usr/share/mbrola/br4") ||
                            std::filesystem::exists("/usr/local/share/mbrola/br4/br4");
  const auto listed = runProgram("kaldro-fala", {"--voices"}, "", folder, reach);
  ASSERT_EQ(listed.status, br4Installed ? 0 : 1) << listed.standardError;
  if (!br4Installed) {
    std::printf("MBROLA's br4 voice is not installed: the Portuguese engine's line is not checked\n");
    EXPECT_TRUE(contains(listed.standardError, "mbrola-br4")) << listed.standardError;
  }
  const std::vector<std::string> lines = kaldro::testing::splitLines(listed.standardOutput);
  // Each engine's header, then its first voice: Brazilian Portuguese.
  std::map<std::string, std::string> firstVoice;
  for (size_t i = 0; i + 1 < lines.size(); ++i)
    for (const char* engine : {"speechd", "espeak", "ormia"})
      if (contains(lines[i], std::string("(--engine ") + engine)) firstVoice[engine] = lines[i + 1];
  ASSERT_EQ(firstVoice.size(), br4Installed ? 3u : 2u) << listed.standardOutput.substr(0, 400);
  EXPECT_TRUE(contains(firstVoice["speechd"], "\tPortuguese (Brazil)\tpt-BR")) << firstVoice["speechd"];
  EXPECT_TRUE(contains(firstVoice["espeak"], "\tPortuguese (Brazil)\tpt-br\troa/pt-BR")) << firstVoice["espeak"];
  if (br4Installed) EXPECT_EQ(firstVoice["ormia"].rfind("br4\t", 0), 0u) << firstVoice["ormia"];
  // The number listed is the one the adapter takes for that voice.
  const int number = std::atoi(firstVoice["speechd"].c_str());
  {
    kaldro::testing::ScopedEnvironment addressed("SPEECHD_ADDRESS", daemon.address().c_str());
    testing::EngineRig rig;
    SpeechdAdapter adapter(rig.console, "kaldro-teste", makeSpeechdClient);
    ASSERT_TRUE(adapter.start(number, 0, 0, "").ok());
    EXPECT_EQ(adapter.chosenVoice(), "Portuguese (Brazil)");
    adapter.finish();
  }
  const auto espeakOnly = runProgram("kaldro-fala", {"--voices", "--engine", "espeak"}, "", folder, reach);
  EXPECT_EQ(espeakOnly.status, 0);
  EXPECT_FALSE(contains(espeakOnly.standardOutput, "Speech Dispatcher"));

  // A socket nobody listens on, and no starting of the desktop's own service.
  const std::map<std::string, std::string> nowhere{{"SPEECHD_ADDRESS", "unix_socket:" + folder.file("nada.sock")},
                                                   {"SPEECHD_CMD", "/bin/false"}};
  const auto missing = runProgram("kaldro-fala", {"--engine", "speechd", "oi"}, "", folder, nowhere);
  EXPECT_EQ(missing.status, 1);
  EXPECT_TRUE(contains(missing.standardError, "o motor speechd n\xC3\xA3o come\xC3\xA7ou"))
      << missing.standardError;
  const auto notListed = runProgram("kaldro-fala", {"--voices", "--engine", "speechd"}, "", folder, nowhere);
  EXPECT_EQ(notListed.status, 1);
  EXPECT_TRUE(contains(notListed.standardError, "o Speech Dispatcher n\xC3\xA3o respondeu")) << notListed.standardError;
}

// The build's KALDRO.INI with an external synthesizer of the kind given.
void writeConfig(const ScratchFolder& folder, int kind) {
  std::string ini = kaldro::testing::readFile(std::string(KALDRO_BIN_DIR) + "/../etc/kaldro/KALDRO.INI");
  for (auto [from, to] : {std::pair<std::string, std::string>{"\nSAPI=N", "\nSAPI=S"},
                          {"\nTIPOSAPI=3", "\nTIPOSAPI=" + std::to_string(kind)}}) {
    const size_t at = ini.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    ini.replace(at, from.size(), to);
  }
  folder.write("KALDRO.INI", ini);
}

struct LetterRun {
  int status = -1;
  int external = 0;  // texts handed to the external synthesizer
  int phonemes = 0;  // texts spoken by the built-in voice
  int engineSound = 0;  // blocks of eSpeak NG's sound played
  bool lost = false;    // the external synthesizer was lost on the way
  std::string letter;
};

LetterRun writeLetter(int kind, const std::map<std::string, std::string>& environment) {
  ScratchFolder folder;
  writeConfig(folder, kind);
  folder.write("modelo.txt", "Caro {NOME},\nAbra\xE7os.\n");
  const auto result = runProgram("plumar", {"modelo.txt"}, "type carta.txt\nkey Enter\ntype Ana\nkey Enter\n",
                                 folder, environment);
  LetterRun run;
  run.status = result.status;
  for (const std::string& line : result.traceLines()) {
    run.external += line.rfind("external ", 0) == 0;
    run.phonemes += line.rfind("phonemes ", 0) == 0;
    run.engineSound += line.rfind("play - 22050 16 1 ", 0) == 0;
    run.lost = run.lost || line.rfind("external-lost ", 0) == 0;
  }
  if (folder.exists("carta.txt")) run.letter = folder.read("carta.txt");
  return run;
}

TEST(DesktopEngines, LetterGeneratorSpeaksThroughEspeakNg) {
  const LetterRun run = writeLetter(4, {});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.letter, "Caro Ana,\nAbra\xE7os.\n");
  EXPECT_GT(run.external, 2);
  EXPECT_GE(run.engineSound, run.external);
  EXPECT_EQ(run.phonemes, 0);  // no text went to the built-in voice
}

TEST(DesktopEngines, LetterGeneratorThroughSpeechDispatcherOrItsOwnVoiceWithout) {
  ScratchFolder nowhere;
  const LetterRun without = writeLetter(5, {{"SPEECHD_ADDRESS", "unix_socket:" + nowhere.file("nada.sock")}});
  EXPECT_EQ(without.status, 0);
  EXPECT_EQ(without.letter, "Caro Ana,\nAbra\xE7os.\n");
  EXPECT_EQ(without.external, 0);
  EXPECT_GT(without.phonemes, 0);

  testing::SpeechDaemon daemon;
  if (!daemon.failure.empty()) GTEST_SKIP() << daemon.failure;
  const LetterRun with = writeLetter(5, {{"SPEECHD_ADDRESS", daemon.address()}});
  EXPECT_EQ(with.status, 0);
  EXPECT_EQ(with.letter, "Caro Ana,\nAbra\xE7os.\n");
  EXPECT_GT(with.external, 2);
  EXPECT_EQ(with.phonemes, 0);
}

}  // namespace
}  // namespace kaldro::engines

namespace kaldro::engines {
namespace {

// Speech Dispatcher killed while it speaks, and never started again: kaldro-fala ends with 1 and
// says why; the letter generator goes on in its own voice and writes the letter.
TEST(DesktopEngines, SpeechDispatcherKilledWhileSpeaking) {
  for (const bool letter : {false, true}) {
    testing::SpeechDaemon daemon({}, 4);
    if (!daemon.failure.empty()) GTEST_SKIP() << daemon.failure;
    // No service of the desktop's own is started in its place.
    const std::map<std::string, std::string> environment{{"SPEECHD_ADDRESS", daemon.address()},
                                                         {"SPEECHD_CMD", "/bin/false"}};
    std::thread killer([&] {
      if (daemon.waitUntilSpeaking()) daemon.signal(SIGKILL);
    });
    if (letter) {
      const LetterRun run = writeLetter(5, environment);
      killer.join();
      EXPECT_EQ(run.status, 0);
      EXPECT_EQ(run.letter, "Caro Ana,\nAbra\xE7os.\n");
      EXPECT_TRUE(run.lost);
      EXPECT_GT(run.external, 0);
      EXPECT_GT(run.phonemes, 0);
    } else {
      std::string text;
      for (int i = 0; i < 60; ++i) text += "Esta \xC3\xA9 uma frase longa para o teste da fala. ";
      ScratchFolder folder;
      const auto spoken = runProgram("kaldro-fala", {"--engine", "speechd", text, "Outra."}, "", folder, environment);
      killer.join();
      EXPECT_EQ(spoken.status, 1);
      EXPECT_TRUE(contains(spoken.standardError, "o motor speechd falhou: o Speech Dispatcher fechou a conex\xC3\xA3o"))
          << spoken.standardError;
    }
  }
}

}  // namespace
}  // namespace kaldro::engines
