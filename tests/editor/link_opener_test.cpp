// F12 in the editor: which program a word starts, and that a word is never read by a shell.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "support/speech_rig.h"
#include "platform/config.h"

namespace kaldro::speech {
namespace {

using testing::EditorRig;
using testing::Speaking;

TEST(LinkOpener, F12StartsTheConfiguredProgramOrTheDesktopOpenerWithTheWordAsOneArgument) {
  EditorRig rig(
      "key F12\nkey Enter\nkey F12\nkey Enter\nkey F12\nkey Enter\nkey F12\nkey Enter\n"
      "key F12\nkey Enter\nkey F12\nkey Enter\n",
      Speaking::No, "[KALDRO]\nPROG.HTM=navegador\nPROG.TXT=/usr/bin/leitor\n");
  const char* texts[] = {
      "http://ex.org/a?b=1;ls",
      "\"www.kaldro.org\".",
      "a;rm&touch$HOME.txt",
      "relat\xF3rio.doc",
      "prog.exe",
      "   ",
  };
  for (const char* value : texts) {
    std::string text = value;
    rig.editor.editLine(text, 1, 1, 60, 60, true);
  }
  const std::vector<Launch> expected = {
      {{"navegador", "http://ex.org/a?b=1;ls"}, true},
      {{"navegador", "www.kaldro.org"}, true},
      {{"/usr/bin/leitor", "a;rm&touch$HOME.txt"}, true},
      // A document that does not exist and a program file start nothing.
  };
  EXPECT_EQ(rig.launches, expected);
  EXPECT_EQ(rig.count("beep"), 1u);  // the blank field
}

TEST(LinkOpener, TheWordAroundTheCursorLosesItsLinkPunctuation) {
  EXPECT_EQ(linkWordAt("veja <www.a.br>. agora", 8), "www.a.br");
  EXPECT_EQ(linkWordAt("veja www.a.br   ", 14), "www.a.br");  // just after the word
  EXPECT_EQ(linkWordAt("veja www.a.br   ", 15), "");
  EXPECT_EQ(linkWordAt("--- x", 2), "");
}

// The real start: a program named in KALDRO.INI gets the word whole, shell characters and all.
TEST(LinkOpener, AStartedProgramReceivesTheWordUntouched) {
  kaldro::testing::ScratchFolder folder;
  const std::string program = folder.file("mostra.sh");
  const std::string output = folder.file("saida.txt");
  folder.write("mostra.sh", "#!/bin/sh\nprintf '%s|%s' \"$#\" \"$1\" > " + output + ".tmp && mv " + output + ".tmp " +
                                output + "\n");
  ::chmod(program.c_str(), 0755);
  folder.write("KALDRO.INI", "[KALDRO]\nPROG.TXT=" + program + "\n");
  platform::Configuration config(platform::ConfigLocations{{folder.path()}, folder.path(), folder.path()});
  LinkOpener opener(config);

  const std::string word = "x.txt;touch${IFS}" + folder.file("invadido") + "&&$(touch${IFS}" + folder.file("b") + ")";
  ASSERT_TRUE(opener.open(word));
  for (int i = 0; i < 500 && !folder.exists("saida.txt"); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(folder.read("saida.txt"), "1|" + word);
  EXPECT_FALSE(folder.exists("invadido"));
  EXPECT_FALSE(folder.exists("b"));
}

// Only web and mail addresses, existing files and folders, and the programs of the table: a word
// is never run as a program, and never reaches a program as an option or a command.
TEST(LinkOpener, NothingRunsThatTheUserDidNotName) {
  kaldro::testing::ScratchFolder folder;
  folder.write("carta.txt", "x");
  folder.write("-rf.txt", "x");
  folder.write("comando", "#!/bin/sh\ntouch invadido\n");
  ::chmod(folder.file("comando").c_str(), 0755);
  folder.write("prog.exe", "MZ");
  ::chmod(folder.file("prog.exe").c_str(), 0755);
  std::filesystem::create_directory(folder.file("pasta"));
  folder.write("KALDRO.INI", "[KALDRO]\nPROG.PDF=leitor-pdf\nPROG.LOG=less\n");
  platform::Configuration config(platform::ConfigLocations{{folder.path()}, folder.path(), folder.path()});
  LinkOpener opener(config);
  const std::string oldFolder = platform::currentDirectory();
  ASSERT_EQ(::chdir(folder.path().c_str()), 0);
  struct Case {
    std::string word;
    std::vector<std::string> argv;  // empty: nothing is started
  };
  const Case cases[] = {
      {"comando", {}},
      {"exemplo", {}},
      {"prog.exe", {}},
      {"coisa.com", {}},
      {"nada.txt", {}},
      {"+!sh.log", {}},
      {"+x", {}},
      {"https://kaldro.org", {"xdg-open", "https://kaldro.org"}},
      {"www.kaldro.org", {"xdg-open", "http://www.kaldro.org"}},
      {"ana@kaldro.com", {"xdg-open", "mailto:ana@kaldro.com"}},
      {"mailto:ana@kaldro.org", {"xdg-open", "mailto:ana@kaldro.org"}},
      {"carta.txt", {"xdg-open", "carta.txt"}},
      {"pasta", {"xdg-open", "pasta"}},
      {"-rf.txt", {"xdg-open", "./-rf.txt"}},
      {"relatorio.pdf", {"leitor-pdf", "relatorio.pdf"}},
  };
  for (const Case& c : cases) EXPECT_EQ(opener.launchFor(c.word).argv, c.argv) << c.word;
  EXPECT_FALSE(opener.open("comando"));
  ASSERT_EQ(::chdir(oldFolder.c_str()), 0);
  EXPECT_FALSE(folder.exists("invadido"));
}

}  // namespace
}  // namespace kaldro::speech
