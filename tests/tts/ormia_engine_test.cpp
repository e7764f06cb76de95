// The Portuguese engine over the MBROLA stand-in: binding, voice lookup, samples to a sink, errors
// from MBROLA.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <dirent.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "support/mbrola_rig.h"
#include "platform/ending_signals.h"
#include "platform/run_options.h"
#include "platform/text.h"
#include "platform/wave_file_sink.h"
#include "tts/front_end.h"

namespace kaldro::testing {
namespace {

using ::testing::HasSubstr;

// The processes this test program started that still run (zombies excluded).
int runningChildren() {
  int count = 0;
  DIR* proc = opendir("/proc");
  while (dirent* entry = readdir(proc)) {
    std::ifstream stat(std::string("/proc/") + entry->d_name + "/stat");
    std::string pid, name, state;
    long parent = 0;
    if (stat >> pid >> name >> state >> parent && parent == getpid() && state != "Z") ++count;
  }
  closedir(proc);
  return count;
}

// A program that never answers is ended within its answer limit, SIGTERM ignored or not; dlopen is
// never handed a FIFO (it would block for ever), nor is a folder named mbrola taken for the program.
TEST(OrmiaEngine, BindsThroughALibraryOrTheProgramAndFailsCleanlyWithoutEither) {
  ScratchFolder odd;
  ASSERT_EQ(::mkfifo(odd.file("libmbrola-fifo.so").c_str(), 0600), 0);
  std::filesystem::create_directories(odd.file("mbrola"));
  tts::MbrolaPlaces hurried = programOnly();
  hurried.answerLimitMs = 300;
  struct Case {
    const char* what;
    tts::MbrolaPlaces places;
    bool starts;
    const char* described;  // description of the binding, or what was missing
    std::string voice = "";  // added to the stand-in's voice
  };
  const Case cases[] = {
      {"a FIFO named as the library", {{odd.file("libmbrola-fifo.so")}, {}}, false, "n\xE3o \xE9 um arquivo comum"},
      {"a FIFO found by its bare name in the library folders",
       {{"libmbrola-fifo.so"}, {}, tts::kMbrolaAnswerLimitMs, {"/nonexistent", odd.path()}},
       false,
       "n\xE3o \xE9 um arquivo comum"},
      {"a folder named mbrola before the program", {{}, {odd.path(), kDoubleDir}}, true, "programa "},
      {"a program that never answers", hurried, false, "o programa mbrola parou de responder (0.3 s", "fault: silent-start x"},
      {"nothing installed", nowhere(), false, "MBROLA n\xE3o encontrado"},
      {"a library lacking one call", libraryOnly(kPartialLibrary), false, "sem a fun\xE7\xE3o readtype_MBR"},
      {"a library lacking one call, then the program",
       {{kPartialLibrary}, {kDoubleDir}},
       true,
       "programa "},
      {"the whole library", libraryOnly(), true, "biblioteca "},
      {"the program", programOnly(), true, "programa "},
  };
  const int before = runningChildren();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EngineRig rig(c.places);
    rig.folder.write("voices/br4/br4", doubleDatabase() + c.voice + "\n");
    EXPECT_EQ(rig.start(), c.starts);
    EXPECT_EQ(runningChildren(), before + (std::string_view(c.described) == "programa "));
    EXPECT_EQ(rig.engine.bound(), c.starts);
    // A failed binding never reaches the data files: the start tells the binding's problem.
    EXPECT_EQ(rig.started.message(), c.starts ? "" : rig.engine.mbrolaMessage());
    if (!c.starts) {
      EXPECT_THAT(rig.engine.mbrolaMessage(), HasSubstr(c.described));
    }
    rig.speakLines({"_ 50", "a 100 50 120", "_ 50"});
    EXPECT_EQ(rig.speak("ol\xE1"), c.starts);
    rig.engine.shutdownEngine();
    EXPECT_EQ(rig.sink.samples.size(), c.starts ? 3200u : 0u);
  }
}

TEST(OrmiaEngine, FindsTheVoiceInTheVoiceFoldersOrTakesAPath) {
  struct Case {
    const char* what;
    std::string database;  // the start's argument ("@" stands for the scratch folder)
    std::string opened;    // what MBROLA is asked to open
    bool starts;
    bool installed = true;  // br4 is in the voice folders
  };
  const Case cases[] = {
      {"empty: br4, found among the installed voices", "", "@/voices/br4/br4", true},
      {"empty, no voice installed: MBROLA is asked for br4", "", "br4", false, false},
      {"a name in capitals finds its lower-case folder", "BR4", "@/voices/br4/br4", true},
      {"a name with no voice folder goes to MBROLA as it is", "pt1", "pt1", false},
      {"a path is used as it is", "@/outra.db", "@/outra.db", true},
      {"a path to nothing", "@/nada/br4", "@/nada/br4", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EngineRig rig;
    rig.folder.write("outra.db", doubleDatabase());
    if (!c.installed) std::filesystem::remove_all(rig.folder.file("voices"));
    auto expand = [&](std::string text) {
      if (!text.empty() && text[0] == '@') text = rig.folder.path() + text.substr(1);
      return text;
    };
    EXPECT_EQ(rig.start(expand(c.database)), c.starts);
    EXPECT_EQ(rig.engine.databaseOpened(), expand(c.opened));
    if (!c.starts) {
      EXPECT_THAT(rig.engine.mbrolaMessage(), HasSubstr("cannot find file"));
    }
  }
}

TEST(OrmiaEngine, VoiceRecordLookupReadsOnlyAVoiceKeysDefaultValue) {
  EngineRig rig;
  const std::string found = rig.folder.path() + "/voices/br4/br4";
  struct Case {
    std::string path;
    bool found;
  };
  const Case cases[] = {
      {"SOFTWARE\\TCTS\\Mbrola\\databases\\br4\\", true},
      {"SOFTWARE\\TCTS\\Mbrola\\databases\\BR4\\", true},
      {"SOFTWARE\\TCTS\\Mbrola\\databases\\br4\\Path", false},  // only the default value exists
      {"SOFTWARE\\TCTS\\Mbrola\\databases\\pt1\\", false},
      {"SOFTWARE\\TCTS\\Mbrola\\databases\\..\\", false},
      {"SOFTWARE\\Outra\\br4\\", false},
      {"sem barra", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    std::string out = "antes";
    EXPECT_EQ(rig.engine.readRegistryString(c.path, out), c.found);
    EXPECT_EQ(out, c.found ? found : "antes");
  }
}

// Every utterance hands the sink exactly the samples its lines ask for, between one begin and one
// end, for both ways of reaching MBROLA; a sink that refuses gets nothing more of that utterance,
// which then fails, and the next utterance is whole again.
TEST(OrmiaEngine, TheSinkGetsExactlyWhatTheLinesAskFor) {
  struct RefusingSink : RecordingSink {
    size_t refuseAfter = 0;
    bool takeSamples(std::span<const int16_t> given) override {
      RecordingSink::takeSamples(given);
      return samples.size() < refuseAfter;
    }
  };
  const std::vector<std::string> lines = {"_ 20", "a 77.5 0 110 100 130", "b 40", "_ 31", "#"};
  std::vector<std::string> longLines = {"_ 30"};
  for (int i = 0; i < 40; ++i) longLines.push_back("a " + std::to_string(37 + i * 3) + " 0 " + std::to_string(90 + i * 5));
  longLines.push_back("#");
  for (const tts::MbrolaPlaces& places : {programOnly(), libraryOnly()}) {
    EngineRig rig(places);
    ASSERT_TRUE(rig.start());
    rig.speakLines(lines);
    EXPECT_TRUE(rig.speak("um"));
    EXPECT_TRUE(rig.speak("dois"));
    EXPECT_EQ(static_cast<long>(rig.sink.samples.size()), 2 * expectedSamples(lines));
    EXPECT_EQ(rig.sink.utterances, 2);
    EXPECT_EQ(rig.sink.rate, 16000);

    RefusingSink refusing;
    refusing.refuseAfter = 1000;
    rig.speakLines(longLines);
    EXPECT_FALSE(rig.engine.speakUtterance("longo", refusing));
    EXPECT_GE(refusing.samples.size(), 1000u);
    EXPECT_LT(static_cast<long>(refusing.samples.size()), expectedSamples(longLines));
    EXPECT_EQ(refusing.utterances, 1);
    rig.sink.samples.clear();
    EXPECT_TRUE(rig.speak("de novo"));
    EXPECT_EQ(static_cast<long>(rig.sink.samples.size()), expectedSamples(longLines));
  }
  // A program asked to end (SIGTERM during -w) stops before the next piece of a long text, not after
  // the whole of it; the next utterance is whole again.
  EngineRig rig;
  ASSERT_TRUE(rig.start());
  std::string longText;
  for (int i = 0; i < 200; ++i) longText += "Bom dia, Maria. ";
  {
    platform::EndingSignals signals;
    ::raise(SIGTERM);
    EXPECT_FALSE(rig.speak(longText));
  }
  EXPECT_TRUE(rig.sink.samples.empty());
  EXPECT_TRUE(rig.speak("Bom dia."));
  EXPECT_FALSE(rig.sink.samples.empty());
}

// Data that cannot be loaded fails the start with the engine's own text, in CP1252 like the rest.
// Files the loaders would take without a word though words would vanish (empty rules, a binary file
// in any place) are refused at the start, with the file's name.
TEST(OrmiaEngine, DataThatCannotBeLoadedFailsTheStartWithItsText) {
  struct Case {
    const char* what;
    const char* rules;    // in the engine's data; "@" + text: a file of that text in the scratch folder
    const char* prosody;  // the same; empty: a folder
    std::string text;
  };
  const Case cases[] = {
      {"no rules", "nada.nrl", "portug.pro", "Erro na base de dados de portugu\xEAs"},
      {"no prosody", "portug.nrl", "nada.pro", "Erro no arquivo de pros\xF3" "dia"},
      {"prosody is a folder", "portug.nrl", "", "N\xE3o foi poss\xEDvel ler "},
      {"empty rules", "@", "portug.pro", "Erro na base de dados de portugu\xEAs: @ est\xE1 vazio"},
      {"binary rules", "@\x7F" "ELF\x02\x01\x01", "portug.pro", "Erro na base de dados de portugu\xEAs: @ n\xE3o \xE9 um arquivo de texto"},
      {"binary prosody", "portug.nrl", "@a 1\n\x01\x02", "Erro no arquivo de pros\xF3" "dia: @ n\xE3o \xE9 um arquivo de texto"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EngineRig rig;
    // The NUL bytes of the binary files are added here: a C string cannot hold them.
    auto place = [&](const char* name, const char* file) -> std::string {
      if (!*name) return rig.folder.path();
      if (*name != '@') return kEngineData + name;
      std::string bytes = name + 1;
      if (!bytes.empty()) bytes += std::string(3, '\0');
      rig.folder.write(file, bytes);
      return rig.folder.file(file);
    };
    const std::string rules = place(c.rules, "regras.nrl"), prosody = place(c.prosody, "prosodia.pro");
    const platform::Status started = rig.engine.startEngine("", rules, kEngineData + "portug.exc",
                                                            kEngineData + "portug.abr", prosody, kEngineData + "portug.dfn");
    EXPECT_FALSE(started.ok());
    std::string text = c.text;
    if (const size_t at = text.find('@'); at != std::string::npos)
      text.replace(at, 1, *c.rules == '@' ? rules : prosody);
    EXPECT_EQ(started.message().substr(0, text.size()), text);
  }
}

TEST(OrmiaEngine, BlanksSpeakNothingAndAnswerTrue) {
  for (const char* text : {"", " ", "   \t  "}) {
    EngineRig rig;
    ASSERT_TRUE(rig.start());
    bool asked = false;
    rig.engine.setLineMaker([&](std::string_view, double, double) {
      asked = true;
      return std::vector<std::string>{"a 100", "#"};
    });
    EXPECT_TRUE(rig.speak(text));
    EXPECT_FALSE(asked);
    EXPECT_TRUE(rig.sink.blocks.empty());
    EXPECT_EQ(rig.sink.utterances, 0);
  }
}

// MBROLA's own errors fail the utterance. A synthesizer that fails in the middle (a crash, an end
// without a word, silence, deafness to SIGTERM, a SIGSTOP) is started again and the utterance heard whole, once;
// one that fails every time (a damaged voice, a flood of samples) loses the utterance with its
// cause, never holding more than its lines ask for plus the margin. The next utterance is whole and
// no process is left behind.
TEST(OrmiaEngine, MbrolaErrorsAndSynthesizerFaults) {
  tts::MbrolaPlaces program = programOnly();
  program.answerLimitMs = 300;
  const std::vector<std::string> lines = {"_ 10", "a 100", "b 100 50 140", "a 50", "_ 10", "#"};
  struct Case {
    const char* what;
    tts::MbrolaPlaces places;
    std::string fault;  // the voice's fault line
    std::vector<std::string> lines;
    bool result;
    const char* message;  // in what MBROLA last said
    const char* lost;     // in why the utterance was lost; empty: it was heard whole
  };
  const Case cases[] = {
      {"program: unknown diphone is a warning", program, "", {"a 50", "zz 50", "#"}, true, "unknown, replaced with _-_", ""},
      {"library: unknown diphone is a warning", libraryOnly(), "", {"a 50", "zz 50", "#"}, true, "unknown, replaced with _-_", ""},
      {"library: a bad line", libraryOnly(), "", {"a 50", "b dez", "#"}, false, "Fatal error in line:b dez", ""},
      {"program: a crash, once", program, "fault: crash b once", lines, true, "", ""},
      {"program: an end without a word, once", program, "fault: exit b once", lines, true, "", ""},
      {"program: silence, once", program, "fault: quiet b once", lines, true, "", ""},
      {"program: deaf to SIGTERM, once", program, "fault: deaf b once", lines, true, "", ""},
      {"program: stopped (SIGSTOP), once", program, "fault: stop b once", lines, true, "", ""},
      {"program: a bad line ends it every time", program, "", {"a 50", "b dez", "#"}, false, "", "Fatal error in line:b dez"},
      {"program: a damaged voice", program, "fault: panic b", lines, false, "", "PANIC when reading phone b-_"},
      {"program: deaf every time", program, "fault: deaf b", lines, false, "", "parou de responder (0.3 s"},
      {"program: a flood", program, "fault: flood b", lines, false, "", "muito mais som"},
      {"library: a flood", libraryOnly(), "fault: flood b", lines, false, "", "muito mais som"},
      {"library: more samples than asked", libraryOnly(), "fault: overcount b", lines, false, "", "amostras onde cabiam"},
  };
  const int before = runningChildren();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    {
      EngineRig rig(c.places);
      rig.folder.write("voices/br4/br4", doubleDatabase("_ a b") + c.fault + "\n");
      ASSERT_TRUE(rig.start());
      rig.speakLines(c.lines);
      EXPECT_EQ(rig.speak("texto"), c.result);
      EXPECT_THAT(rig.engine.mbrolaMessage(), HasSubstr(c.message));
      EXPECT_THAT(platform::cp1252ToUtf8(rig.engine.lostUtterance().message()), HasSubstr(c.lost));
      const long asked = expectedSamples(c.lines);
      if (c.result && *c.message == '\0') {
        EXPECT_EQ(static_cast<long>(rig.sink.samples.size()), asked);
      }
      EXPECT_LE(static_cast<long long>(rig.sink.samples.size()), 2 * tts::mbrolaSampleLimit(static_cast<double>(asked)));
      // The next utterance is whole again.
      const size_t heard = rig.sink.samples.size();
      rig.speakLines({"_ 10", "a 100", "a 100", "_ 10", "#"});
      EXPECT_TRUE(rig.speak("de novo"));
      EXPECT_EQ(rig.sink.samples.size() - heard, 3520u);
    }
    EXPECT_EQ(runningChildren(), before);
  }
}

TEST(OrmiaEngine, ShutDownEndsTheProgram) {
  const int before = runningChildren();
  {
    EngineRig rig;
    ASSERT_TRUE(rig.start());
    EXPECT_EQ(runningChildren(), before + 1);
    rig.engine.shutdownEngine();
    EXPECT_EQ(runningChildren(), before);
    // Starting again after a shut-down works.
    ASSERT_TRUE(rig.start());
    EXPECT_EQ(runningChildren(), before + 1);
  }
  // The engine going away ends it too.
  EXPECT_EQ(runningChildren(), before);
}

// Through the distribution's MBROLA where it is installed (Debian: mbrola in contrib, mbrola-br4 in
// non-free): the model letter is said without a missing diphone, and the engine's file holds, sample
// for sample, what MBROLA makes of the same lines run on its own with the end phone after each
// utterance (MBROLA carries a remainder of a pitch period from one utterance to the next, so only
// the same stream gives the same samples; the end phone itself adds none).
TEST(InstalledMbrola, SaysTheModelLetterWithoutAWarningAndLosesNoSound) {
  const std::string voice = "/usr/share/mbrola/br4/br4";
  const std::vector<std::string> path = platform::RunOptions::fromEnvironment().programFolders;
  const std::string program = tts::findProgram("mbrola", path);
  if (program.empty() || !std::filesystem::exists(voice)) GTEST_SKIP() << "MBROLA or its br4 voice is not installed";
  EngineRig rig(tts::MbrolaPlaces{{}, path});
  platform::WaveFileSink file(rig.folder.file("carta.wav"), tts::OrmiaEngine::SampleRate);
  ASSERT_TRUE(rig.start(voice)) << platform::cp1252ToUtf8(rig.started.message());
  tts::FrontEnd frontEnd;
  ASSERT_TRUE(frontEnd.load(tts::dataFilesIn(kEngineData)).ok());
  const std::string endPhone = "kaldro-fim 0\n#\n";
  std::string stream = endPhone;  // the start-up probe
  rig.engine.setLineMaker([&](std::string_view text, double durationFactor, double pitchFactor) {
    std::vector<std::string> lines = frontEnd.mbrolaLines(text, durationFactor, pitchFactor);
    for (const std::string& line : lines) stream += line + "\n";
    stream += "#\n" + endPhone;
    return lines;
  });
  for (const std::string& line : splitLines(readFile(std::string(KALDRO_SOURCE_DIR) + "/examples/carta-modelo.txt"))) {
    EXPECT_TRUE(rig.engine.speakUtterance(platform::utf8ToCp1252(line), file)) << line;
    EXPECT_EQ(rig.engine.mbrolaMessage(), "") << line;
  }
  rig.engine.shutdownEngine();
  ASSERT_TRUE(file.close().ok());
  rig.folder.write("direto.pho", stream);
  const std::string command = program + " -e " + voice + " " + rig.folder.file("direto.pho") + " " +
                              rig.folder.file("direto.raw") + " 2>" + rig.folder.file("avisos.txt");
  ASSERT_EQ(std::system(command.c_str()), 0);
  for (const std::string& warning : splitLines(rig.folder.read("avisos.txt")))
    EXPECT_THAT(warning, HasSubstr("kaldro-fim"));
  const std::string direct = rig.folder.read("direto.raw");
  EXPECT_GT(direct.size(), 2u * 16000 * 20);
  EXPECT_TRUE(rig.folder.read("carta.wav").substr(44) == direct)
      << rig.folder.read("carta.wav").size() - 44 << " bytes against " << direct.size();
}

}  // namespace
}  // namespace kaldro::testing
