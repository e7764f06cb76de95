// The engine's own data: where KALDRO.INI says it is, the prosody file shipped for br4, and the
// diphone-list tool run against a stand-in of the mbrola program.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/program_run.h"
#include "platform/text.h"
#include "tts/engine_settings.h"
#include "tts/prosody.h"

namespace kaldro::tts {
namespace {

using testing::ScratchFolder;

const std::string kSource = KALDRO_SOURCE_DIR;
const char* const kBr4Phones[] = {"@", "a", "an", "b", "d", "e", "ee", "en", "f", "g", "h", "i", "in",
                                  "j", "k", "l", "lh", "m", "m2", "n", "nh", "o", "on", "oo", "p", "r",
                                  "r2", "rr", "s", "s2", "t", "u", "un", "v", "w", "x", "y", "z"};

struct ShippedProsody {
  std::vector<std::string> messages;
  Prosody prosody{[this](const std::string& message) { messages.push_back(message); }};
  bool loaded = prosody.loadProsody(kSource + "/data/ormiatts/portug.pro").ok();

  // The pattern of the index-th word of a text (CP1252), counting words only.
  std::string patternOfWord(const std::string& text, size_t index) const {
    size_t seen = 0;
    for (const std::string& line : prosody.assignPatterns(prosody.tokenise(text), true)) {
      const char first = line.size() > 4 ? line[4] : ' ';
      const bool word = (first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z') ||
                        static_cast<unsigned char>(first) >= 0xC0;
      if (word && seen++ == index) return line.substr(0, 3);
    }
    return "";
  }
};

// Every path of [ORMIATTS] leaves KALDRO.INI's CP1252 as the file system's UTF-8, "\\" as "/", "@" as
// the program folder; the data files are found whatever the case of BASE and of the names on disk.
TEST(EngineSettings, PathsFromTheConfigurationAsTheFileSystemNamesThem) {
  ScratchFolder folder;
  const std::string accented = folder.file("A\xC3\xA7\xC3\xA3o");  // "Ação" in UTF-8, as on disk
  std::filesystem::create_directories(accented + "/motor");
  for (const char* name : {"portug.nrl", "PORTUG.EXC", "Portug.abr", "portug.pro", "portug.dfn"})
    testing::writeFile(accented + "/motor/" + name, "");
  // What the configuration holds, in CP1252: the same folder written the Windows way.
  const std::string cp1252Folder = platform::utf8ToCp1252(accented);
  std::string windowsFolder = cp1252Folder;
  std::replace(windowsFolder.begin(), windowsFolder.end(), '/', '\\');
  struct Case {
    std::string ini;
    std::string database, library, rules, exceptions, abbreviations;
  };
  const std::string motor = accented + "/motor/";
  const Case cases[] = {
      {"", "br4", "", "/opt/kaldro/share/kaldro/ormiatts/portug.nrl", "/opt/kaldro/share/kaldro/ormiatts/portug.exc",
       "/opt/kaldro/share/kaldro/ormiatts/portug.abr"},
      {"[ORMIATTS]\nDIR=" + windowsFolder + "\\motor\nBASE=PORTUG\nMBROLA_DB=" + windowsFolder + "\\br4\nMBROLA_LIB=" +
           cp1252Folder + "/libmbrola.so\n",
       accented + "/br4", accented + "/libmbrola.so", motor + "portug.nrl", motor + "PORTUG.EXC", motor + "Portug.abr"},
      {"[KALDRO]\nPGMKALDRO=" + cp1252Folder + "\n[ormiatts]\ndir=@\\motor\\\nbase=Portug\nmbrola_db=pt1\n", "pt1", "",
       motor + "portug.nrl", motor + "PORTUG.EXC", motor + "Portug.abr"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ini);
    folder.write("KALDRO.INI", c.ini);
    const platform::Configuration config(platform::ConfigLocations{{folder.path()}, folder.path(), "/opt/kaldro"});
    const EngineSettings settings = readEngineSettings(config);
    EXPECT_EQ(settings.databaseName, c.database);
    EXPECT_EQ(settings.mbrolaLibrary, c.library);
    const DataFiles files = settings.files();
    EXPECT_EQ(files.rules, c.rules);
    EXPECT_EQ(files.exceptions, c.exceptions);
    EXPECT_EQ(files.abbreviations, c.abbreviations);
    EXPECT_EQ(files.prosody.substr(0, files.prosody.size() - 3), c.rules.substr(0, c.rules.size() - 3));
  }
}

TEST(ShippedProsody, LoadsCleanlyAndTimesEveryPhone) {
  ShippedProsody shipped;
  ASSERT_TRUE(shipped.loaded);
  EXPECT_TRUE(shipped.messages.empty()) << shipped.messages.front();
  // The file lists no phone at the default of 100 ms, so 100 means a phone is missing.
  for (const char* phone : kBr4Phones) EXPECT_NE(shipped.prosody.durationOf(phone), 100) << phone;
  for (const char* pause : {"__", "_,", "_.", "_?", "_!", "_:", "_;"})
    EXPECT_NE(shipped.prosody.durationOf(pause), 100) << pause;
  EXPECT_LT(shipped.prosody.durationOf("_,"), shipped.prosody.durationOf("_."));
  const auto& steps = shipped.prosody.tabHertz();
  EXPECT_EQ(steps[0], 0);  // the digit of "no target"
  for (size_t digit = 2; digit < steps.size(); ++digit) EXPECT_GT(steps[digit], steps[digit - 1]) << digit;
  for (const char* word : {"o", "de", "\xE0s", "e", "voc\xEA", "quem", "ONDE"})
    EXPECT_FALSE(shipped.prosody.classOf(word).empty()) << word;
}

TEST(ShippedProsody, IntonationOfStatementsQuestionsAndCommas) {
  ShippedProsody shipped;
  ASSERT_TRUE(shipped.loaded);
  // Digits: start of the word, stressed vowel, end of the word.
  auto digit = [](const std::string& pattern, size_t i) { return pattern.size() > i ? pattern[i] - '0' : -1; };
  struct Case {
    const char* name;
    std::string text;
    size_t word;
    bool (*holds)(int start, int stressed, int end);
  };
  const Case cases[] = {
      {"a statement falls at its end", "A casa dele \xE9 bonita.", 4,
       [](int start, int stressed, int end) { return end < start && end < stressed && end <= 2; }},
      {"a text without a full stop falls too", "A casa \xE9 bonita", 3,
       [](int start, int stressed, int end) { return end < start && end <= 2; }},
      {"a yes/no question rises", "Voc\xEA vem amanh\xE3?", 2,
       [](int start, int stressed, int end) { return stressed > start && end > start && end >= 7; }},
      {"a question word starts high", "Onde fica a casa?", 0,
       [](int start, int stressed, int end) { return start >= 8; }},
      {"a lone question word falls", "Quem?", 0, [](int start, int stressed, int end) { return end < start; }},
      {"the word before a comma stays up", "Quando chove, fico em casa.", 1,
       [](int start, int stressed, int end) { return end >= 6 && end > start; }},
      {"the first part of a compound does not fall as a sentence end", "O guarda-chuva est\xE1 no carro.", 1,
       [](int start, int stressed, int end) { return end > 2; }},
      {"nor does a verb before its pronoun", "Disse-me que vinha.", 0,
       [](int start, int stressed, int end) { return end > 2; }},
      {"a function word stays low", "A casa do lago.", 2,
       [](int start, int stressed, int end) { return stressed <= 5; }},
  };
  for (const Case& c : cases) {
    const std::string pattern = shipped.patternOfWord(c.text, c.word);
    EXPECT_TRUE(c.holds(digit(pattern, 0), digit(pattern, 1), digit(pattern, 2))) << c.name << ": " << pattern;
  }
}

// Runs tools/lista-difones with the arguments, in folder; the exit status.
int runListTool(const ScratchFolder& folder, const std::string& arguments) {
  const std::string command = "cd '" + folder.path() + "' && sh '" + kSource + "/tools/lista-difones' " +
                              arguments + " >saida.txt 2>erros.txt";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<std::string> diphonesOf(const std::string& text) {
  std::vector<std::string> pairs;
  for (const std::string& line : testing::splitLines(text))
    if (!line.empty() && line[0] != ';') pairs.push_back(line);
  return pairs;
}

// A stand-in for mbrola: wants -e before the database, fails as mbrola does on a missing database
// (here: a database file saying "quebrada"),
// writes the output file, and warns for the diphones listed in missing.txt beside it.
const char* const kFakeMbrola =
    "#!/bin/sh\n"
    "[ \"$1\" = -e ] || { echo 'Fatal error: Unknown recovery for a-k segment' >&2; exit 193; }\n"
    "grep -q quebrada \"$2\" && { echo \"FATAL ERROR : cannot find file $2 !\" >&2; exit 216; }\n"
    "awk -v list=\"$(dirname \"$0\")/missing.txt\" '\n"
    "  BEGIN { while ((getline d < list) > 0) missing[d] = 1 }\n"
    "  $1 == \"#\" { prev = \"\"; next }\n"
    "  prev != \"\" && ((prev \"-\" $1) in missing) { print \"Warning: \" prev \"-\" $1 \" unknown, replaced with _-_\" > \"/dev/stderr\" }\n"
    "  { prev = $1 }' \"$3\"\n"
    ": > \"$4\"\n";

TEST(DiphoneListTool, WritesEveryPairButThoseTheVoiceLacks) {
  struct Case {
    const char* name;
    std::string arguments;
    int status;
    size_t pairs;  // in the list written; 0: no list
    std::vector<std::string> absent;
  };
  const Case cases[] = {
      {"every pair", "--todos lista.dfn", 0, 39 * 39, {}},
      {"three missing", "--mbrola ./mbrola voz lista.dfn", 0, 39 * 39 - 3, {"_-m2", "lh-_", "a-k"}},
      {"a smaller phone set", "--mbrola ./mbrola --fones '_ a k' voz lista.dfn", 0, 9 - 1, {"a-k"}},
      {"database missing", "--mbrola ./mbrola nenhuma lista.dfn", 1, 0, {}},
      {"mbrola fails", "--mbrola ./mbrola quebrada lista.dfn", 1, 0, {}},
      {"mbrola missing", "--mbrola ./nada voz lista.dfn", 1, 0, {}},
      {"no output named", "--todos", 2, 0, {}},
  };
  for (const Case& c : cases) {
    ScratchFolder folder;
    folder.write("mbrola", kFakeMbrola);
    folder.write("missing.txt", "_-m2\nlh-_\na-k\n");
    folder.write("voz", "");
    folder.write("quebrada", "quebrada");
    ASSERT_EQ(std::system(("chmod +x '" + folder.file("mbrola") + "'").c_str()), 0);
    EXPECT_EQ(runListTool(folder, c.arguments), c.status) << c.name << ": " << folder.read("erros.txt");
    if (c.pairs == 0) {
      EXPECT_FALSE(folder.exists("lista.dfn")) << c.name;
      EXPECT_FALSE(folder.read("erros.txt").empty()) << c.name;
      continue;
    }
    const std::vector<std::string> pairs = diphonesOf(folder.read("lista.dfn"));
    EXPECT_EQ(pairs.size(), c.pairs) << c.name;
    // The engine reads the list as written and finds in it exactly what the voice has.
    Prosody prosody;
    ASSERT_TRUE(prosody.loadDiphones(folder.file("lista.dfn")).ok()) << c.name;
    for (const std::string& absent : c.absent) {
      const size_t dash = absent.find('-');
      EXPECT_FALSE(prosody.hasDiphone(absent.substr(0, dash), absent.substr(dash + 1))) << c.name << " " << absent;
    }
    EXPECT_TRUE(prosody.hasDiphone("k", "a")) << c.name;
  }
}

}  // namespace
}  // namespace kaldro::tts
