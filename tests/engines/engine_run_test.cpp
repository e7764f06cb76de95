// Whole runs through the Portuguese engine and the MBROLA stand-in program: kaldro-fala writing a
// WAV file, and the letter generator speaking its prompts.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>

#include "platform/wave_file.h"
#include "support/mbrola_rig.h"

namespace kaldro::testing {
namespace {

using ::testing::HasSubstr;

// The stand-in first, or no MBROLA at all (the machine's own may be installed).
std::string pathWithDouble(bool withDouble) {
  const char* path = std::getenv("PATH");
  const std::string system = path ? path : "/usr/bin:/bin";
  return withDouble ? kDoubleDir + ":" + system : "/nonexistent";
}

// The build's KALDRO.INI with speech through the engine (or not), naming the stand-in's voice by path
// (or a voice that is not there).
void writeConfig(const ScratchFolder& folder, bool voicePresent, bool sapi = false,
                 const std::string& voice = doubleDatabase()) {
  folder.write("br4.db", voice);
  std::string ini = readFile(std::string(KALDRO_BIN_DIR) + "/../etc/kaldro/KALDRO.INI");
  auto replace = [&](const std::string& from, const std::string& to) {
    const size_t at = ini.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    ini.replace(at, from.size(), to);
  };
  replace("[ORMIATTS]\n", "[ORMIATTS]\nMBROLA_DB=" + folder.file(voicePresent ? "br4.db" : "falta.db") + "\n");
  if (sapi) replace("\nSAPI=N", "\nSAPI=S");
  folder.write("KALDRO.INI", ini);
}

// The samples of the lines kaldro-fala --pho shows for the texts that are not blank, at a speed.
long samplesShown(const std::vector<std::string>& speed, const std::vector<std::string>& texts,
                  const ScratchFolder& folder) {
  std::vector<std::string> arguments = {"--engine", "ormia", "--pho"};
  arguments.insert(arguments.end(), speed.begin(), speed.end());
  for (const std::string& text : texts)
    if (text.find_first_not_of(' ') != std::string::npos) arguments.push_back(text);
  const ProgramResult shown = runProgram("kaldro-fala", arguments, "", folder);
  EXPECT_EQ(shown.status, 0) << shown.standardError;
  return expectedSamples(splitLines(shown.standardOutput));
}

// Where the first sample that can be heard is, in a WAV file of 16-bit samples; npos: none.
size_t firstAudibleSample(const std::string& wav) {
  for (size_t at = 44; at + 1 < wav.size(); at += 2) {
    const auto sample = static_cast<int16_t>(static_cast<uint8_t>(wav[at]) | static_cast<uint8_t>(wav[at + 1]) << 8);
    if (sample > 64 || sample < -64) return (at - 44) / 2;
  }
  return std::string::npos;
}

// The WAV file holds exactly the samples of the lines --pho shows, at every speed level, and its
// first word sounds at once (within 20 ms): no pause before it. Whatever goes
// wrong, kaldro-fala says why in one line and ends with 1; a synthesizer that fails once in the
// middle is started again and nothing is lost.
TEST(EngineRun, KaldroFalaWritesExactlyTheSamplesTheLinesAskFor) {
  struct Case {
    const char* what;
    bool doubleOnPath, voicePresent;
    std::vector<std::string> speed;
    std::string fault;  // the stand-in voice's fault line
    int status;
    const char* error;
  };
  const Case cases[] = {
      {"MBROLA and its voice", true, true, {}, "", 0, ""},
      {"the slowest level", true, true, {"-v", "1"}, "", 0, ""},
      {"the fastest level", true, true, {"-v", "5"}, "", 0, ""},
      {"no MBROLA", false, true, {}, "", 1,
       "o motor ormia n\xC3\xA3o come\xC3\xA7ou: MBROLA n\xC3\xA3o encontrado (nem a biblioteca nem o programa mbrola)\n"},
      {"MBROLA without the voice", true, false, {}, "", 1,
       "o motor ormia n\xC3\xA3o come\xC3\xA7ou: o MBROLA n\xC3\xA3o abriu a voz "},
      {"MBROLA crashing once in the middle", true, true, {}, "fault: crash d once", 0, ""},
      {"MBROLA ending without a word once", true, true, {}, "fault: exit d once", 0, ""},
      {"MBROLA crashing every time", true, true, {}, "fault: crash d", 1,
       "kaldro-fala: o motor ormia falhou: a fala se perdeu: o programa mbrola terminou (estado 134)"},
      {"MBROLA on a damaged voice", true, true, {}, "fault: panic d", 1,
       "kaldro-fala: o motor ormia falhou: a fala se perdeu: PANIC when reading phone d-_"},
  };
  const std::vector<std::string> texts = {"Bom dia, como vai?", "   ", "O Brasil tem 27 unidades federativas."};
  std::vector<long> written;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchFolder folder;
    writeConfig(folder, c.voicePresent, false, doubleDatabase() + c.fault + "\n");
    std::vector<std::string> arguments = {"--engine", "ormia", "-w", folder.file("out.wav")};
    arguments.insert(arguments.end(), c.speed.begin(), c.speed.end());
    arguments.insert(arguments.end(), texts.begin(), texts.end());
    const ProgramResult result = runProgram("kaldro-fala", arguments, "", folder, {{"PATH", pathWithDouble(c.doubleOnPath)}});
    EXPECT_EQ(result.status, c.status) << result.standardError;
    EXPECT_THAT(result.standardError, HasSubstr(c.error));
    EXPECT_EQ(std::count(result.standardError.begin(), result.standardError.end(), '\n'), c.status != 0)
        << result.standardError;
    if (c.status != 0) continue;
    const std::string wav = folder.read("out.wav");
    ASSERT_GE(wav.size(), 44u);
    written.push_back(static_cast<long>(wav.size() - 44) / 2);
    EXPECT_EQ(written.back(), samplesShown(c.speed, texts, folder));
    EXPECT_EQ(wav.substr(36, 4), "data");
    EXPECT_LT(firstAudibleSample(wav), 320u);
  }
  // Normal, slowest, fastest.
  ASSERT_GE(written.size(), 3u);
  EXPECT_GT(written[1], written[0]);
  EXPECT_LT(written[2], written[0]);
}

// An install under a folder with an accent, its KALDRO.INI (UTF-8, as the installer writes it) naming
// the data folder the Windows way and the base name in capitals: the text views and the voice both
// find the data.
TEST(EngineRun, AnAccentedDataFolderServesTheViewsAndTheVoiceAlike) {
  ScratchFolder folder;
  writeConfig(folder, true);
  const std::string data = folder.file("Jo\xC3\xA3o/A\xC3\xA7\xC3\xA3o/motor");
  std::filesystem::create_directories(data);
  for (const char* extension : {".nrl", ".exc", ".abr", ".pro", ".dfn"})
    std::filesystem::copy_file(kEngineData + "portug" + extension, data + "/portug" + extension);
  std::string windowsData = data;
  std::replace(windowsData.begin(), windowsData.end(), '/', '\\');
  std::string ini = folder.read("KALDRO.INI");
  const size_t dir = ini.find("\nDIR=");
  ASSERT_NE(dir, std::string::npos);
  ini.replace(dir + 1, ini.find('\n', dir + 1) - dir - 1, "DIR=" + windowsData + "\nBASE=PORTUG");
  folder.write("KALDRO.INI", ini);
  const std::map<std::string, std::string> environment = {{"PATH", pathWithDouble(true)}};
  const ProgramResult views = runProgram("kaldro-fala", {"--engine", "ormia", "--pho", "Bom dia"}, "", folder, environment);
  EXPECT_EQ(views.status, 0) << views.standardError;
  EXPECT_THAT(views.standardOutput, HasSubstr("\n#\n"));
  const ProgramResult spoken =
      runProgram("kaldro-fala", {"--engine", "ormia", "-w", folder.file("out.wav"), "Bom dia"}, "", folder, environment);
  EXPECT_EQ(spoken.status, 0) << spoken.standardError;
  // The file holds exactly the samples of the lines the view showed.
  EXPECT_EQ(static_cast<long>(folder.read("out.wav").size() - 44), 2 * expectedSamples(splitLines(views.standardOutput)));
  // Without the data there, both say so.
  std::filesystem::remove_all(folder.file("Jo\xC3\xA3o"));
  EXPECT_EQ(runProgram("kaldro-fala", {"--engine", "ormia", "--pho", "Bom dia"}, "", folder, environment).status, 1);
  EXPECT_EQ(runProgram("kaldro-fala", {"--engine", "ormia", "-w", folder.file("out.wav"), "Bom dia"}, "", folder,
                       environment).status, 1);
}

// Each writer of -w on a disk that fills up: status 1 with the cause, and a file whose header states
// exactly the whole samples it holds.
TEST(EngineRun, AFullDiskEndsEveryWriterWithItsCauseAndATruthfulFile) {
  for (const char* engine : {"", "ormia", "espeak"}) {
    SCOPED_TRACE(*engine ? engine : "the built-in voice");
    ScratchFolder folder;
    writeConfig(folder, true);
    std::vector<std::string> arguments = {"-w", folder.file("out.wav"),
                                          "Bom dia, como vai? Hoje o dia est\xC3\xA1 bonito e o sol brilha no jardim."};
    if (*engine) arguments.insert(arguments.begin(), {"--engine", engine});
    // The file may not grow past 20 000 bytes, as on a disk that is full (the limit is inherited).
    struct sigaction ignore {}, previous {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &previous);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 20000;
    setrlimit(RLIMIT_FSIZE, &small);
    const ProgramResult result = runProgram("kaldro-fala", arguments, "", folder, {{"PATH", pathWithDouble(true)}});
    setrlimit(RLIMIT_FSIZE, &old);
    sigaction(SIGXFSZ, &previous, nullptr);
    EXPECT_EQ(result.status, 1);
    EXPECT_THAT(result.standardError, HasSubstr("falhou: File too large")) << result.standardError;
    const std::string wav = folder.read("out.wav");
    ASSERT_GE(wav.size(), 44u);
    EXPECT_GT(wav.size(), 10000u);
    EXPECT_EQ(platform::readLe32(reinterpret_cast<const uint8_t*>(wav.data()) + 40), wav.size() - 44);
  }
}

// The letter is written whatever becomes of the engine; the listener hears the built-in voice from
// the moment the engine fails, and standard error says why.
TEST(EngineRun, PlumarSpeaksThroughTheEngineOrFallsBackToItsOwnVoice) {
  struct Case {
    const char* what;
    bool withMbrola;
    std::string fault;
    const char* error;
  };
  const Case cases[] = {
      {"with MBROLA", true, "", ""},
      {"without MBROLA", false, "", "a voz externa n\xC3\xA3o come\xC3\xA7ou; fala a voz embutida: MBROLA n\xC3\xA3o encontrado"},
      {"MBROLA crashing at the first n", true, "fault: crash n",
       "a voz externa falhou; fala a voz embutida at\xC3\xA9 o fim: a fala se perdeu: o programa mbrola terminou"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const bool withMbrola = c.withMbrola;
    ScratchFolder folder;
    writeConfig(folder, true, true, doubleDatabase() + c.fault + "\n");
    folder.write("modelo.txt", "Caro {NOME},\nAbra\xE7os.\n");
    const ProgramResult result = runProgram("plumar", {"modelo.txt"}, "type carta.txt\nkey Enter\ntype Ana\nkey Enter\n",
                                            folder, {{"PATH", pathWithDouble(withMbrola)}});
    EXPECT_EQ(result.status, 0) << result.standardError;
    EXPECT_THAT(result.standardError, HasSubstr(c.error));
    EXPECT_EQ(folder.read("carta.txt"), "Caro Ana,\nAbra\xE7os.\n");
    int external = 0, phonemes = 0;
    bool askedName = false;
    for (const std::string& line : result.traceLines()) {
      external += line.rfind("external ", 0) == 0;
      phonemes += line.rfind("phonemes ", 0) == 0;
      askedName = askedName || line == "external NOME:";
    }
    if (!c.fault.empty()) {
      // Handed to the engine until it failed, to the built-in voice from then on.
      EXPECT_GE(external, 1);
      EXPECT_GT(phonemes, 0);
    } else if (withMbrola) {
      EXPECT_GT(external, 2);
      EXPECT_TRUE(askedName);
      EXPECT_EQ(phonemes, 0);  // no text went to the built-in voice
    } else {
      EXPECT_EQ(external, 0);
      EXPECT_GT(phonemes, 0);
    }
  }
}

// A key in the middle of a long instruction spoken through the engine silences it, and the engine
// stops within one block: after the stop, no more than one block of that text reaches the player,
// however much of it was left to say.
TEST(EngineRun, AKeyStopsTheEngineWithinOneBlock) {
  ScratchFolder folder;
  writeConfig(folder, true, true);
  const std::string instruction =
      "{* Esta instru\xE7\xE3o \xE9 longa: o programa a fala antes de perguntar o nome, com muitas palavras "
      "para ocupar alguns segundos de fala, e continua falando at\xE9 que algu\xE9m aperte uma tecla. *}\n";
  std::string model;
  for (int i = 0; i < 6; ++i) model += instruction;
  folder.write("modelo.txt", model + "Caro {NOME},\nFim.\n");
  const ProgramResult result = runProgram("plumar", {"modelo.txt"}, "type carta.txt\nkey Enter\nwait 3000\ntype Ana\nkey Enter\n",
                                          folder, {{"PATH", pathWithDouble(true)}});
  EXPECT_EQ(result.status, 0) << result.standardError;
  EXPECT_EQ(folder.read("carta.txt"), "Caro Ana,\nFim.\n");
  const std::vector<std::string> trace = result.traceLines();
  const auto stop = std::find(trace.begin(), trace.end(), "stop");
  ASSERT_NE(stop, trace.end()) << "the key did not stop the sound";
  int blocksBefore = 0, blocksAfter = 0;
  for (auto line = trace.begin(); line != stop; ++line) blocksBefore += line->rfind("play - 16000", 0) == 0;
  for (auto line = stop + 1; line != trace.end() && line->rfind("play - 16000", 0) == 0; ++line) ++blocksAfter;
  EXPECT_GE(blocksBefore, 2);  // the key came while the text was being spoken
  EXPECT_LE(blocksAfter, 1);
}

}  // namespace
}  // namespace kaldro::testing
