// Screen review driven by key scripts over a prepared screen: position, reading, search, copy.
#include <gtest/gtest.h>

#include "support/speech_rig.h"

namespace kaldro::speech {
namespace {

using testing::EditorRig;
using testing::Speaking;

// Writes the sample screen and leaves the console cursor at column, row.
void prepareScreen(EditorRig& rig, int column, int row) {
  auto put = [&](int r, const std::string& text) {
    rig.console.moveCursor(1, r);
    rig.console.write(text);
  };
  put(2, "procurado");
  put(3, "um dois tres                 quatro cinco");
  put(4, "seis");
  put(5, "----------  fim");
  put(6, "BCD www");
  put(10, "abc xx abc");
  put(12, "abc");
  put(25, "fim da tela");
  rig.console.moveCursor(column, row);
}

void review(EditorRig& rig) { rig.editor.screenReview().screenReview(); }

// Key scripts over the sample screen: what is heard, in order (each list in its order, the lists
// one after another), and how many of some sounds. Every review starts with a beep at the console
// cursor and puts the cursor back where it was.
TEST(ScreenReview, KeyScriptsOverTheSampleScreen) {
  struct Case {
    const char* what;
    const char* script;
    int column, row;
    std::vector<std::vector<std::string>> heard;
    std::vector<std::pair<const char*, size_t>> counts = {};
    const char* searchText = "";  // what the review keeps for the next search
  };
  const Case cases[] = {
      {"starts at the console cursor", "key Ctrl+K\nkey Down\nkey Escape\n", 5, 10,
       {{"beep", "say 10 5", "click", "beep", "beep"}}},
      {"row reading keeps the position, screen reading ends on the last row",
       "type tl\nkey Ctrl+K\ntype TT\nkey Ctrl+K\nkey Escape\n", 4, 3,
       {{"say um", "say dois", "say tres", "say quatro", "say cinco", "click", "say 3 4"},
        {"say 3 4", "say procurado", "say fim", "say da", "say tela", "click", "say 25 12"}},
       {{"click", 1 + 25}}},  // one after each row read
      {"F1 reads runs of one symbol as three and spells abbreviations",
       "key F1\nkey Ctrl+K\nkey Down\nkey F1\nkey F1\nkey Escape\n", 1, 5,
       {{"say ---", "say 5 11"}, {"say 5 11", "char 66", "char 67", "char 68", "char 119", "char 119", "char 119"}}},
      {"F6 takes four digits and refuses other keys",
       "key F6\ntype 0340\nkey Ctrl+K\nkey F6\ntype 1x\nkey Ctrl+K\nkey Escape\n", 1, 1,
       {{"say Entre linha e coluna", "char 48", "char 51", "char 52", "char 48", "say 3 40"},
        {"say 3 40", "say Entre linha e coluna", "char 49", "beep", "beep", "say 3 40"}}},
      {"search looks only from the position downwards",
       "key F5\ntype procurado\nkey Enter\nkey Ctrl+K\nkey F5\ntype abc\nkey Enter\nkey Ctrl+K\nkey Ctrl+F5\n"
       "key Ctrl+K\nkey Ctrl+F5\nkey Ctrl+K\nkey Escape\n",
       1, 10,
       {{"say Qual texto", "char 112", "beep", "beep", "say 10 1"},
        {"say 10 1", "click", "say 10 8", "click", "say 12 1", "beep", "beep", "say 12 1"}},
       {},
       "abc"},
      {"leaving the grid beeps and stays at the edge", "key Left\nkey Ctrl+K\nkey Escape\n", 1, 3,
       {{"beep", "beep", "beep", "say 3 1"}},
       {{"beep", 5}}},  // entry, edge, correction, and two at the exit
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EditorRig rig(c.script);
    prepareScreen(rig, c.column, c.row);
    review(rig);
    EXPECT_EQ(rig.sounds().front(), "beep");
    for (const std::vector<std::string>& heard : c.heard) EXPECT_TRUE(rig.heardInOrder(heard)) << heard.front();
    for (const auto& [sound, count] : c.counts) EXPECT_EQ(rig.count(sound), count) << sound;
    EXPECT_EQ(rig.console.cursorColumn(), c.column);
    EXPECT_EQ(rig.console.cursorRow(), c.row);
    EXPECT_EQ(rig.editor.screenReview().searchText(), c.searchText);
  }
}

TEST(ScreenReview, WithAnExternalSynthesizerRowsAreSpokenWhole) {
  EditorRig rig("type ft\nkey Escape\n", Speaking::External);
  ASSERT_TRUE(rig.speech.externalActive());
  prepareScreen(rig, 30, 3);
  review(rig);
  std::vector<std::string> spoken;
  for (const std::string& call : rig.external.calls)
    if (call.starts_with("speak ")) spoken.push_back(call.substr(6));
  ASSERT_EQ(spoken.size(), 23u);
  EXPECT_EQ(spoken[0], rig.row(3).substr(29));
  EXPECT_EQ(spoken[1], rig.row(4));
  EXPECT_EQ(spoken[22], rig.row(25));
}

TEST(ScreenReview, CtrlCCopiesEveryRowWithALineEnd) {
  EditorRig rig("key Ctrl+C\nkey Escape\n");
  prepareScreen(rig, 1, 1);
  review(rig);
  const std::string copied = rig.clipboard();
  ASSERT_EQ(copied.size(), 25u * 82u);
  for (int row = 1; row <= 25; ++row) {
    EXPECT_EQ(copied.substr(static_cast<size_t>(row - 1) * 82, 82), rig.row(row) + "\r\n") << "row " << row;
  }
}

TEST(ScreenReview, FieldsEndAtDelimitersAndColourChanges) {
  EditorRig rig("key Ctrl+F1\nkey Tab\nkey Ctrl+K\nkey Tab\nkey Ctrl+F1\nkey Shift+Tab\nkey Ctrl+K\nkey Escape\n");
  rig.console.moveCursor(1, 7);
  rig.console.write("Nome: ");
  rig.console.setBackgroundColour(1);
  rig.console.write("Ana Lima");
  rig.console.setBackgroundColour(0);
  rig.console.write(" | INFORMA\xC7\xC3O X");
  rig.console.moveCursor(8, 7);
  review(rig);
  // Accented capitals are letters of the field, not frame characters (the trace is UTF-8).
  EXPECT_TRUE(rig.heardInOrder(
      {"say Ana", "say Lima", "click", "click", "say 7 16", "click", "say INFORMA\xC3\x87\xC3\x83O", "say X", "click", "say 7 15"}));
}

}  // namespace
}  // namespace kaldro::speech
