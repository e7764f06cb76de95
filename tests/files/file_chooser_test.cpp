// The talking file chooser driven by key scripts on the headless host.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <memory>

#include "files/file_chooser.h"
#include "files/file_list.h"
#include "support/speech_rig.h"

namespace kaldro::files {
namespace {

using ::testing::ElementsAre;
using speech::testing::EditorRig;

// A chooser on the headless host, working in a scratch folder that becomes the current folder.
class ChooserTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(::chdir(folder_.path().c_str()), 0); }
  void TearDown() override { ASSERT_EQ(::chdir(previousFolder_.c_str()), 0); }

  void makeFiles(std::initializer_list<const char*> names) {
    for (const char* name : names) folder_.write(name, "x");
  }
  // A fresh console, editor and chooser reading the key script.
  void start(const std::string& script) {
    chooser_.reset();
    rig_ = std::make_unique<EditorRig>(script);
    chooser_ = std::make_unique<FileChooser>(rig_->speech, rig_->editor);
  }
  std::string ask(const std::string& script, int rows = 5) {
    start(script);
    rig_->console.moveCursor(1, 3);
    return chooser_->askFileName(rows);
  }
  std::vector<std::string> spokenNames() const {
    std::vector<std::string> names;
    for (const auto& line : rig_->sounds())
      if (line.rfind("say ", 0) == 0) names.push_back(line.substr(4));
    return names;
  }

  testing::ScratchFolder folder_;
  const std::string previousFolder_ = platform::currentDirectory();
  std::unique_ptr<EditorRig> rig_;
  std::unique_ptr<FileChooser> chooser_;
};

// Names typed, patterns listed, list keys: the name chosen, the names spoken, counts of sounds;
// the current folder stays as it was. "@" stands for the folder the names are in.
TEST_F(ChooserTest, TypedNamesPatternsAndListKeys) {
  struct Case {
    std::vector<const char*> files;
    const char* script;
    const char* chosen;
    std::vector<std::string> spoken = {};
    std::vector<std::pair<const char*, size_t>> counts = {};
  };
  const std::vector<const char*> twoTexts = {"a.txt", "b.txt"}, withSub = {"a.txt", "b.txt", "c.doc", "sub/dentro.txt"},
                                 radio = {"alfa", "Beta", "bravo", "charlie"};
  const Case cases[] = {
      // A plain name returns at once, with its folder part; Enter alone or Escape give nothing.
      {{"carta.txt"}, "type outro.txt\nkey Enter\n", "outro.txt"},
      {{"carta.txt"}, "type sub/outro.txt\nkey Enter\n", "sub/outro.txt"},
      {{"carta.txt"}, "key Enter\n", ""},
      {{"carta.txt"}, "type abc\nkey Escape\n", ""},
      // A prefix ended by another key lists the matching names, sorted without regard to case;
      // "Casa" has no dot but matches "ca*.*".
      {{"carta.txt", "Casa", "cabo.doc", "outro.txt"}, "type ca\nkey Down\nkey Down\nkey Enter\n", "carta.txt",
       {"cabo.doc", "carta.txt"}},
      // Patterns with a folder part; a folder name alone gets its "/" and lists what is inside.
      {withSub, "type *.txt\nkey Enter\nkey Down\nkey Enter\n", "b.txt"},
      {withSub, "type sub/*\nkey Enter\nkey Enter\n", "@/sub/dentro.txt"},
      {withSub, "type sub\nkey Down\nkey Enter\n", "@/sub/dentro.txt"},
      // Tab goes back to an empty editor, after two clicks.
      {{"a.txt"}, "type *\nkey Enter\nkey Tab\nkey Escape\n", "", {}, {{"click", 2}}},
      // Down past the end beeps (moving past, then leaving there) and Enter gives nothing; Up comes back.
      {twoTexts, "type *\nkey Enter\nkey Down\nkey Down\nkey Enter\n", "", {}, {{"beep", 2}}},
      {twoTexts, "type *\nkey Enter\nkey Down\nkey Down\nkey Up\nkey Enter\n", "b.txt"},
      // F5 finds the next name with the letter, without wrapping round.
      {radio, "type *\nkey Enter\nkey F5\ntype b\nkey Enter\n", "Beta"},
      {radio, "type *\nkey Enter\nkey F5\ntype b\nkey Ctrl+F5\nkey Enter\n", "bravo"},
      {radio, "type *\nkey Enter\nkey F5\ntype a\nkey Enter\n", ""},
      // Names outside CP1252 are spoken with question marks and returned as on disk.
      {{"seta\xE2\x86\x92.txt"}, "type *\nkey Enter\nkey Enter\n", "seta\xE2\x86\x92.txt", {"seta?.txt"}},
      // A missing folder or no match gives the typed folder part.
      {{"a.txt"}, "type nada/*\nkey Enter\n", "nada/"},
      {{"a.txt"}, "type zz*\nkey Enter\n", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    testing::ScratchFolder here;
    for (const char* name : c.files) {
      std::filesystem::create_directories(std::filesystem::path(here.file(name)).parent_path());
      here.write(name, "x");
    }
    ASSERT_EQ(::chdir(here.path().c_str()), 0);
    const std::string chosen = *c.chosen == '@' ? here.path() + (c.chosen + 1) : c.chosen;
    EXPECT_EQ(ask(c.script), chosen);
    if (!c.spoken.empty()) {
      EXPECT_EQ(spokenNames(), c.spoken);
    }
    for (const auto& [sound, count] : c.counts) EXPECT_EQ(rig_->count(sound), count) << sound;
    EXPECT_EQ(platform::currentDirectory(), here.path());
  }
}

TEST_F(ChooserTest, ParkedCursorStandsAtTheWindowsCorner) {
  makeFiles({"a.txt"});
  start("type *\nkey Enter\nkey Down\n");
  rig_->console.moveCursor(10, 20);
  EXPECT_THROW(chooser_->askFileName(3), platform::ProgramExit);  // the script runs out in the list
  // The screen is put back on the way out; what was seen while parked is in the trace.
  EXPECT_EQ(rig_->console.cursorColumn(), 10);
  EXPECT_EQ(rig_->console.cursorRow(), 20);
  EXPECT_EQ(platform::currentDirectory(), folder_.path());
}

TEST_F(ChooserTest, ShiftDownTwiceSelectsThreeItemsAndAnnouncesThem) {
  makeFiles({"a.txt", "b.txt", "c.txt", "d.txt"});
  start("type *\nkey Enter\nkey Shift+Down\nkey Shift+Down\nkey Escape\n");
  rig_->console.moveCursor(1, 3);
  chooser_->askFileName(5);
  std::vector<std::string> sounds;
  for (const auto& line : rig_->sounds())
    if (line == "beep" || line.rfind("say ", 0) == 0) sounds.push_back(line);
  EXPECT_THAT(sounds, ElementsAre("say a.txt", "beep", "beep", "say b.txt", "beep", "say c.txt"));
}

TEST_F(ChooserTest, OneRowWindowDrawsNamesWithoutTheLeadingBlank) {
  makeFiles({"a.txt", "b.txt"});
  start("type *\nkey Enter\nkey Down\n");
  rig_->console.moveCursor(1, 10);
  EXPECT_THROW(chooser_->askFileName(1), platform::ProgramExit);
  // Exhausted while the list was shown: check what the one row showed through the trace's speech,
  // and that the drawing never touched the row below.
  EXPECT_EQ(rig_->console.screenChar(1, 11), ' ');
}

TEST(FileList, SortKeysFoldAccentsOfBothCodePages) {
  // a, é, the DOS code page's ç, æ, ÷, ª.
  const std::pair<uint8_t, int> keys[] = {{'a', 'A'}, {0xE9, 'E'}, {0x87, 'C'}, {0xE6, 145}, {0xF7, 'X'}, {0xAA, 254}};
  for (const auto& [byte, key] : keys) EXPECT_EQ(nameSortKey(byte), key) << int{byte};
}

TEST(FileList, SortOrders) {
  auto entry = [](const char* name, int64_t size, int64_t time) {
    FileEntry e;
    e.name = e.displayName = name;
    e.size = size;
    e.modified = time;
    return e;
  };
  std::vector<FileEntry> files{entry("\xC9gua.txt", 30, 1), entry("beta.doc", 10, 3), entry("alfa.txt", 20, 2)};
  auto names = [&] {
    std::vector<std::string> out;
    for (auto& f : files) out.push_back(f.name);
    return out;
  };
  sortFiles(files, SortOrder::Name);
  EXPECT_THAT(names(), ElementsAre("alfa.txt", "beta.doc", "\xC9gua.txt"));
  sortFiles(files, SortOrder::Extension);
  EXPECT_THAT(names(), ElementsAre("beta.doc", "alfa.txt", "\xC9gua.txt"));
  sortFiles(files, SortOrder::Size);
  EXPECT_THAT(names(), ElementsAre("beta.doc", "alfa.txt", "\xC9gua.txt"));
  sortFiles(files, SortOrder::Time);
  EXPECT_THAT(names(), ElementsAre("\xC9gua.txt", "alfa.txt", "beta.doc"));
}

TEST(FileList, WildcardsFollowTheOriginalPlatform) {
  const std::tuple<const char*, const char*, bool> cases[] = {
      {"LEIAME", "*.*", true},       {"carta.txt", "CA*.*", true}, {"carta.txt.bak", "*.txt*", true},
      {"carta.doc", "*.txt*", false}, {"a1.txt", "a?.txt*", true},  {"b1.txt", "a*", false}};
  for (const auto& [name, pattern, matches] : cases)
    EXPECT_EQ(matchesPattern(name, pattern), matches) << name << " " << pattern;
}

}  // namespace
}  // namespace kaldro::files
