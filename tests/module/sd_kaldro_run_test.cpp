// sd_kaldro driven through its protocol on pipes, as Speech Dispatcher drives it: whole sessions,
// a stop in the middle of a long text, garbage, and the voices it falls back on.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "module/module_session.h"
#include "support/mbrola_rig.h"
#include "support/program_run.h"

namespace kaldro::testing {
namespace {

const std::string kModule = std::string(KALDRO_BIN_DIR) + "/sd_kaldro";
const std::string kStart = "INIT\nAUDIO\naudio_output_method=server\n.\n";

// The module with a configuration of the test's own: KALDRO.INI's [ORMIATTS] lines, an icon folder.
struct ModuleRun {
  explicit ModuleRun(const std::string& ormiaLines, const std::string& path = "/usr/bin:/bin") {
    folder.write("KALDRO.INI", "[ORMIATTS]\n" + ormiaLines);
    folder.write("kaldro.conf", "KaldroSoundIconFolder \"" + folder.file("icons") + "\"\n");
    std::filesystem::create_directories(folder.file("icons"));
    folder.write("icons/bell", "RIFF");
    module = std::make_unique<ModuleProcess>(
        kModule, std::vector<std::string>{folder.file("kaldro.conf")},
        std::map<std::string, std::string>{{"KALDRO_CONFIG_DIR", folder.path()}, {"HOME", folder.path()},
                                           {"XDG_CONFIG_HOME", folder.file("xdg")}, {"PATH", path}},
        folder.file("module.log"));
  }
  std::string log() const { return folder.read("module.log"); }
  ScratchFolder folder;
  std::unique_ptr<ModuleProcess> module;
};

// No MBROLA voice at all: only the built-in voice speaks.
const std::string kNoMbrolaVoice = "MBROLA_DB=/nenhuma/voz/br4\n";

std::vector<std::string> linesFrom(const ModuleOutput& output, size_t from, size_t to) {
  return {output.lines.begin() + static_cast<long>(from), output.lines.begin() + static_cast<long>(to)};
}

size_t indexOf(const ModuleOutput& output, const std::string& line, size_t from = 0) {
  for (size_t i = from; i < output.lines.size(); ++i)
    if (output.lines[i] == line) return i;
  return output.lines.size();
}

// Every kind of message in one session, each answered in order, with sound where sound belongs.
TEST(SdKaldro, SessionOfEveryMessage) {
  ModuleRun run(kNoMbrolaVoice);
  ASSERT_TRUE(run.module->running());
  ModuleProcess& module = *run.module;
  module.send(kStart + "LIST VOICES\nSET\nrate=40\nvolume=0\npunctuation_mode=some\ncap_let_recogn=spell\n.\n");
  ASSERT_TRUE(module.readUntil("203 OK SETTINGS RECEIVED")) << run.log();
  ModuleOutput output = module.output();
  EXPECT_TRUE(output.lines.front().starts_with(
      "299-kaldro pronto, vozes: kaldro-embutida; motor de português indisponível ("))
      << "the server's log tells why the engine is not offered: " << output.lines.front();
  EXPECT_EQ(linesFrom(output, 4, 6), (std::vector<std::string>{"200-kaldro-embutida\tpt-BR\tnone", "200 OK VOICE LIST SENT"}));

  struct Message {
    const char* command;
    const char* body;
    bool sound;  // speech samples expected (an icon found is the server's to play)
    const char* extra;  // a line expected among its events
  };
  const Message messages[] = {
      {"SPEAK", "<speak>Bom dia, <mark name=\"m1\"/>Maria. São 15 horas e 3 minutos.<mark name=\"m2\"/></speak>", true,
       "700-m1"},
      {"CHAR", "A", true, ""},
      {"CHAR", "space", true, ""},
      {"KEY", "control_c", true, ""},
      {"SOUND_ICON", "bell", false, ""},
      {"SOUND_ICON", "../../etc/passwd", true, ""},  // a path is never an icon: its name is said
      {"SOUND_ICON", "campainha", true, ""},
  };
  for (const Message& message : messages) {
    SCOPED_TRACE(std::string(message.command) + " " + message.body);
    const size_t from = module.output().lines.size();
    module.send(std::string(message.command) + "\n" + message.body + "\n.\n");
    ASSERT_TRUE(module.readUntil("702 END", from)) << run.log();
    output = module.output();
    const std::vector<std::string> events = linesFrom(output, from, output.lines.size());
    ASSERT_GE(events.size(), 4u);
    EXPECT_EQ(linesFrom(output, from, from + 3),
              (std::vector<std::string>{"202 OK RECEIVING MESSAGE", "200 OK SPEAKING", "701 BEGIN"}));
    EXPECT_EQ(events.back(), "702 END");
    const long audioEvents = std::count_if(events.begin(), events.end(), [](const std::string& line) {
      return line.starts_with("705 AUDIO ");
    });
    EXPECT_EQ(audioEvents > 0, message.sound);
    if (*message.extra) {
      // The mark stands between the sound before it and the sound after it.
      const size_t mark = indexOf(output, message.extra, from);
      ASSERT_LT(mark, output.lines.size());
      EXPECT_TRUE(output.lines[mark - 1].starts_with("705 AUDIO ")) << output.lines[mark - 1];
      EXPECT_TRUE(output.lines[mark + 2].starts_with("705 AUDIO ")) << output.lines[mark + 2];
      EXPECT_EQ(output.lines[output.lines.size() - 3], "700-m2");
    }
    if (std::string(message.body) == "bell")
      EXPECT_EQ(linesFrom(output, from + 3, from + 5),
                (std::vector<std::string>{"706-" + run.folder.file("icons/bell"), "706 ICON"}));
  }
  // The first message: well over a second of sound, at most half the full scale (volume 0 of -100..100).
  output = module.output();
  const size_t firstEnd = indexOf(output, "702 END");
  size_t samples = 0;
  int16_t peak = 0;
  for (size_t i = 0, counted = 0; i < firstEnd; ++i) {
    if (!output.lines[i].starts_with("705 AUDIO ")) continue;
    const size_t n = std::stoul(output.lines[i].substr(10));
    for (size_t k = counted; k < counted + n; ++k) peak = std::max<int16_t>(peak, std::abs(output.samples[k]));
    counted += n;
    samples = counted;
  }
  EXPECT_GT(samples, 16000u);
  EXPECT_GT(peak, 3000);
  EXPECT_LE(peak, 16384 + 1);

  module.send("QUIT\n");
  EXPECT_TRUE(module.readUntil("210 OK QUIT"));
  EXPECT_EQ(module.waitForEnd(), 0);
}

// The user's dictionary reaches the module's built-in voice, and a dictionary written while the
// module runs is taken by the next message: the acronym then takes the long reading the user gave.
TEST(SdKaldro, TheUsersDictionaryIsReadAgainWhenItChanges) {
  ModuleRun run(kNoMbrolaVoice);
  ASSERT_TRUE(run.module->running());
  ModuleProcess& module = *run.module;
  module.send(kStart);
  auto samplesOf = [&](const std::string& text) {
    const size_t from = module.output().lines.size();
    module.send("SPEAK\n" + text + "\n.\n");
    EXPECT_TRUE(module.readUntil("702 END", from)) << run.log();
    size_t samples = 0;
    const ModuleOutput output = module.output();
    for (size_t i = from; i < output.lines.size(); ++i)
      if (output.lines[i].starts_with("705 AUDIO ")) samples += std::stoul(output.lines[i].substr(10));
    return samples;
  };
  const size_t spelled = samplesOf("KLDR");
  run.folder.write("dicionario.txt", "KLDR = um dois três quatro cinco seis sete oito nove dez onze doze\n");
  const size_t given = samplesOf("KLDR");
  EXPECT_GT(spelled, 0u);
  EXPECT_GT(given, 2 * spelled) << "the dictionary's reading was not taken";
  module.send("QUIT\n");
  EXPECT_TRUE(module.readUntil("210 OK QUIT"));
}

// A stop in the middle of a long text: the stop event at once, no sound of that text after it, and
// the next message spoken whole.
TEST(SdKaldro, StopInTheMiddleOfALongText) {
  ModuleRun run(kNoMbrolaVoice);
  ModuleProcess& module = *run.module;
  std::string text;
  for (int i = 0; i < 80; ++i) text += "Esta é a frase número " + std::to_string(i) + " de um texto muito longo. ";
  module.send(kStart + "SPEAK\n<speak>" + text + "</speak>\n.\n");
  ASSERT_TRUE(module.readUntil("705 AUDIO 5000")) << run.log();
  module.send("STOP\n");
  ASSERT_TRUE(module.readUntil("703 STOP")) << run.log();
  const size_t stopAt = indexOf(module.output(), "703 STOP");
  module.send("CHAR\nb\n.\n");
  ASSERT_TRUE(module.readUntil("702 END")) << run.log();
  module.drain(300);
  const ModuleOutput output = module.output();
  // After the stop: only the next message's replies, its sound and its end.
  ASSERT_GT(output.lines.size(), stopAt + 5);
  EXPECT_EQ(linesFrom(output, stopAt + 1, stopAt + 4),
            (std::vector<std::string>{"202 OK RECEIVING MESSAGE", "200 OK SPEAKING", "701 BEGIN"}));
  EXPECT_EQ(output.lines.back(), "702 END");
  for (size_t i = stopAt + 4; i + 1 < output.lines.size(); ++i)
    EXPECT_TRUE(output.lines[i].starts_with("705 AUDIO ")) << output.lines[i];
  EXPECT_EQ(indexOf(output, "702 END"), output.lines.size() - 1) << "the stopped text never ends";
  // Far less than the whole text (80 sentences of about 3 s) was ever sent.
  EXPECT_LT(output.samples.size(), 80u * 16000u);
}

// Garbage, half commands, an endless line and a message cut by the server's end: refused or
// dropped, the module answering on, and ending cleanly when its input ends.
TEST(SdKaldro, GarbageAndHalfCommands) {
  ModuleRun run(kNoMbrolaVoice);
  ModuleProcess& module = *run.module;
  module.send(kStart);
  std::minstd_rand random(7);
  std::string garbage;
  for (int i = 0; i < 20000; ++i) garbage.push_back(static_cast<char>(random() % 256 == 0 ? '\n' : random() % 256));
  module.send(garbage + "\n");
  module.send(std::string(5 * 1024 * 1024, 'x') + "\n");  // a line past any message
  module.send("SET\nrate\n=1\nvolume=alto\n.\nSPEAK\n" + std::string(5 * 1024 * 1024, 'y') + "\n.\n");
  module.send("LIST VOICES\n");
  ASSERT_TRUE(module.readUntil("200 OK VOICE LIST SENT", 0, 60)) << run.log();
  const ModuleOutput output = module.output();
  const size_t list = indexOf(output, "200 OK VOICE LIST SENT");
  EXPECT_EQ(linesFrom(output, list - 6, list),
            (std::vector<std::string>{"300 ERR UNKNOWN COMMAND", "203 OK RECEIVING SETTINGS",
                                      "303 ERROR INVALID PARAMETER OR VALUE", "202 OK RECEIVING MESSAGE",
                                      "301 ERROR CANT SPEAK", "200-kaldro-embutida\tpt-BR\tnone"}));
  module.send("SPEAK\nmeia mensagem\n");
  module.closeInput();
  EXPECT_EQ(module.waitForEnd(), 0) << run.log();
}

// The configuration file Speech Dispatcher names may be anything: what is not a regular file of
// at most 1 MB is said on standard error and the module runs on its defaults, answering INIT at
// once (a FIFO nobody writes kept it from answering; /dev/zero was read until memory ran out).
TEST(SdKaldro, AnyConfigurationArgumentStillAnswersInit) {
  ScratchFolder folder;
  folder.write("KALDRO.INI", "[ORMIATTS]\n" + kNoMbrolaVoice);
  ASSERT_EQ(::mkfifo(folder.file("fifo").c_str(), 0600), 0);
  folder.write("grande.conf", std::string(2 << 20, '#'));
  for (const std::string& argument : {std::string("/dev/zero"), folder.file("fifo"), folder.path(), folder.file("grande.conf")}) {
    ModuleProcess module(kModule, {argument},
                         {{"KALDRO_CONFIG_DIR", folder.path()}, {"HOME", folder.path()}, {"XDG_CONFIG_HOME", folder.file("xdg")}},
                         folder.file("module.log"));
    module.send("INIT\n");
    EXPECT_TRUE(module.readUntil("299 OK LOADED SUCCESSFULLY", 0, 5)) << argument;
    module.send("QUIT\n");
    EXPECT_EQ(module.waitForEnd(5), 0) << argument;
    EXPECT_THAT(folder.read("module.log"), ::testing::HasSubstr("valem os valores de f\xC3\xA1" "brica")) << argument;
  }
}

// The Portuguese engine speaks when MBROLA runs; when it is missing or breaks, the built-in voice
// speaks every message whole. The MBROLA stand-in's sound is a tone of amplitude 8000, the
// built-in voice's recorded speech peaks far above it: the peak tells which voice spoke.
TEST(SdKaldro, EngineAndItsFallback) {
  struct Case {
    const char* name;
    const char* mbrolaProgram;  // "double", "none", or a script standing for a broken MBROLA
    bool engineListed;
    bool engineSpeaks;
    const char* logged;  // in the module's log
  };
  const Case cases[] = {
      {"MBROLA runs", "double", true, true, ""},
      {"no MBROLA", "none", false, false, ""},
      {"MBROLA ends at its first line", "#!/bin/sh\nread line\nexit 139\n", false, false, ""},
      // Answers the start's probe through the stand-in, then ends at the first line of speech.
      {"MBROLA ends once speech begins",
       "#!/bin/sh\nread a\nread b\nprintf '%s\\n%s\\n' \"$a\" \"$b\" | " KALDRO_MBROLA_DOUBLE_DIR
       "/mbrola \"$@\"\nread c\nexit 134\n",
       true, false, "o MBROLA falhou"},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    ScratchFolder programs;
    std::string path = programs.path();
    const std::string program = test.mbrolaProgram;
    if (program == "double") {
      path = kDoubleDir;
    } else if (program != "none") {
      programs.write("mbrola", program);
      std::filesystem::permissions(programs.file("mbrola"), std::filesystem::perms::owner_all);
    }
    ScratchFolder voice;
    voice.write("br4", doubleDatabase());
    ModuleRun run("MBROLA_DB=" + voice.file("br4") + "\nMBROLA_LIB=libmbrola-absent.so\n", path);
    ModuleProcess& module = *run.module;
    module.send(kStart + "LIST VOICES\nSPEAK\n<speak>Bom dia. <mark name=\"m\"/>Até amanhã.</speak>\n.\n");
    ASSERT_TRUE(module.readUntil("702 END")) << run.log();
    const ModuleOutput& output = module.output();
    EXPECT_EQ(indexOf(output, "200-kaldro-mbrola-br4\tpt-BR\tnone") < output.lines.size(), test.engineListed);
    EXPECT_LT(indexOf(output, "200-kaldro-embutida\tpt-BR\tnone"), output.lines.size());
    const size_t mark = indexOf(output, "700-m");
    ASSERT_LT(mark, output.lines.size());
    EXPECT_TRUE(output.lines[mark - 1].starts_with("705 AUDIO ")) << "sound before the mark";
    EXPECT_TRUE(output.lines[mark + 2].starts_with("705 AUDIO ")) << "sound after the mark";
    int peak = 0;
    for (const int16_t sample : output.samples) peak = std::max(peak, std::abs(static_cast<int>(sample)));
    EXPECT_EQ(peak <= 8000, test.engineSpeaks) << "peak " << peak << run.log();
    EXPECT_GT(output.samples.size(), 16000u);
    if (*test.logged) EXPECT_NE(run.log().find(test.logged), std::string::npos) << run.log();
    if (!test.engineSpeaks) {
      // An icon without a sound is said by name: by the built-in voice, alike whether it was chosen
      // or took over from a failing engine (after what the engine made before it failed).
      const auto iconSamples = [&](const std::string& voice) {
        const size_t before = module.output().samples.size(), from = module.output().lines.size();
        module.send("SET\nsynthesis_voice=" + voice + "\n.\nSOUND_ICON\nsino_de_porta\n.\n");
        EXPECT_TRUE(module.readUntil("702 END", from)) << run.log();
        return std::vector<int16_t>(module.output().samples.begin() + static_cast<long>(before),
                                    module.output().samples.end());
      };
      const std::vector<int16_t> byDefault = iconSamples("NULL");
      const std::vector<int16_t> byBuiltIn = iconSamples("kaldro-embutida");
      ASSERT_GE(byDefault.size(), byBuiltIn.size());
      EXPECT_TRUE(std::equal(byBuiltIn.rbegin(), byBuiltIn.rend(), byDefault.rbegin()));
    }
  }
}

// MBROLA failing under the module as under kaldro-fala: ended in the middle of a message, it is
// started again and the message goes on from where the listener was, sample for sample what a sound
// MBROLA gives, with no clause said twice and no built-in voice; hung, QUIT still ends the module at
// once, and MBROLA with it.
TEST(SdKaldro, MbrolaFailingInTheMiddleOfAMessage) {
  const std::string message = "SPEAK\n<speak>Bom dia. <mark name=\"m\"/>At\xC3\xA9 amanh\xC3\xA3.</speak>\n.\n";
  const auto moduleWith = [](ScratchFolder& voice, const std::string& fault) {
    voice.write("br4", doubleDatabase() + fault);
    return std::make_unique<ModuleRun>("MBROLA_DB=" + voice.file("br4") + "\nMBROLA_LIB=libmbrola-absent.so\n",
                                       kDoubleDir);
  };
  std::vector<int16_t> whole;
  for (const char* fault : {"", "fault: crash m once\n"}) {
    SCOPED_TRACE(fault);
    ScratchFolder voice;
    const std::unique_ptr<ModuleRun> run = moduleWith(voice, fault);
    run->module->send(kStart + message);
    ASSERT_TRUE(run->module->readUntil("702 END")) << run->log();
    EXPECT_EQ(run->log().find("o MBROLA falhou"), std::string::npos) << run->log();
    if (*fault == '\0') whole = run->module->output().samples;
    EXPECT_EQ(run->module->output().samples, whole);
  }
  ScratchFolder voice;
  const std::unique_ptr<ModuleRun> run = moduleWith(voice, "fault: quiet m\n");
  run->module->send(kStart + message);
  ASSERT_TRUE(run->module->readUntil("700-m")) << run->log();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // MBROLA now hangs in the second clause
  const auto quit = std::chrono::steady_clock::now();
  run->module->send("QUIT\n");
  EXPECT_EQ(run->module->waitForEnd(5), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - quit, std::chrono::milliseconds(1500));
  EXPECT_LT(indexOf(run->module->output(), "210 OK QUIT"), run->module->output().lines.size());
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  for (const auto& process : std::filesystem::directory_iterator("/proc")) {
    std::ifstream command(process.path() / "cmdline");
    const std::string line((std::istreambuf_iterator<char>(command)), std::istreambuf_iterator<char>());
    EXPECT_EQ(line.find(voice.file("br4")), std::string::npos) << "MBROLA outlived the module: " << process.path();
  }
}

// Every key name Speech Dispatcher may send with KEY (its list, with modifiers, the keypad and
// combinations) is heard in both voices, at once: the engine's (the MBROLA stand-in's tone, at
// most 8000) and the built-in one.
TEST(SdKaldro, EveryKeyNameIsSpokenByBothVoices) {
  std::vector<std::string> keys = {
      "space", "underscore", "double-quote", "alt", "control", "hyper", "meta", "shift", "super",
      "backspace", "break", "delete", "down", "end", "enter", "escape", "home", "insert", "kp-*", "kp-+",
      "kp--", "kp-.", "kp-/", "kp-enter", "left", "menu", "next", "num-lock", "pause", "print", "prior",
      "return", "right", "scroll-lock", "tab", "up", "window", "a", "A", "$", "_", "\xc3\xa7",
      "shift_a", "control_alt_delete", "shift_kp-enter", "control_c", "alt_f4", "super_kp-5"};
  for (int i = 1; i <= 24; ++i) keys.push_back("f" + std::to_string(i));
  for (int i = 0; i <= 9; ++i) keys.push_back("kp-" + std::to_string(i));
  ScratchFolder voice;
  voice.write("br4", doubleDatabase());
  ModuleRun run("MBROLA_DB=" + voice.file("br4") + "\nMBROLA_LIB=libmbrola-absent.so\n", kDoubleDir);
  ModuleProcess& module = *run.module;
  module.send(kStart);
  for (const std::string name : {"kaldro-mbrola-br4", "kaldro-embutida"}) {
    module.send("SET\nsynthesis_voice=" + name + "\n.\n");
    for (const std::string& key : keys) {
      SCOPED_TRACE(name + " " + key);
      const size_t from = module.output().lines.size(), before = module.output().samples.size();
      module.send("KEY\n" + key + "\n.\n");
      ASSERT_TRUE(module.readUntil("702 END", from)) << run.log();
      const std::vector<int16_t>& samples = module.output().samples;
      const long heard = std::count_if(samples.begin() + static_cast<long>(before), samples.end(),
                                       [](int16_t sample) { return std::abs(sample) > 64; });
      EXPECT_GT(heard, 800) << "less than 50 ms of sound";
      // The name sounds at once: its first audible sample within 20 ms of the message's first.
      const auto audible = std::find_if(samples.begin() + static_cast<long>(before), samples.end(),
                                        [](int16_t sample) { return std::abs(sample) > 64; });
      EXPECT_LT(audible - (samples.begin() + static_cast<long>(before)), 320);
      const int peak = samples.size() > before ? *std::max_element(samples.begin() + static_cast<long>(before), samples.end()) : 0;
      if (name == "kaldro-mbrola-br4") EXPECT_LE(peak, 8000) << "not the engine's voice";
    }
  }
}

}  // namespace
}  // namespace kaldro::testing
