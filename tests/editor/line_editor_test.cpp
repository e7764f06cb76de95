// The talking line editor driven by key scripts: typing, exits, proposed values, selection, clipboard, words.
#include <gtest/gtest.h>

#include "support/speech_rig.h"

namespace kaldro::speech {
namespace {

using testing::EditorRig;
using testing::Speaking;

TEST(LineEditor, ReadLineEchoesEachLetterAndEndsTheLine) {
  EditorRig rig("type abc\nkey Enter\n");
  rig.console.moveCursor(5, 3);
  EXPECT_EQ(rig.editor.readLine(), "abc");
  EXPECT_TRUE(rig.heardInOrder({"char 97", "char 98", "char 99"}));
  EXPECT_EQ(rig.row(3).substr(4, 4), "abc ");
  EXPECT_EQ(rig.console.cursorColumn(), 1);
  EXPECT_EQ(rig.console.cursorRow(), 4);
}

TEST(LineEditor, ReadLineEscapeBlanksWhatWasTyped) {
  EditorRig rig("type abc\nkey Escape\n");
  rig.console.moveCursor(5, 3);
  EXPECT_EQ(rig.editor.readLine(), "");
  EXPECT_EQ(rig.row(3), std::string(80, ' '));
  EXPECT_EQ(rig.console.cursorRow(), 4);
}

TEST(LineEditor, FirstTypedCharacterReplacesAProposedValue) {
  EditorRig rig("type x\nkey Enter\nkey Right\nkey Enter\n");
  std::string text = "casa";
  EXPECT_EQ(rig.editor.editLine(text, 1, 2, 20, 20, true), 13);
  EXPECT_EQ(text, "x");
  EXPECT_EQ(rig.sounds(), (std::vector<std::string>{"click", "click", "char 120"}));
  EXPECT_EQ(rig.row(2).substr(0, 5), "x    ");

  // Moving first keeps the value for editing.
  text = "casa";
  EXPECT_EQ(rig.editor.editLine(text, 1, 2, 20, 20, true), 13);
  EXPECT_EQ(text, "casa");
  EXPECT_EQ(rig.sounds().back(), "char 99");
  EXPECT_EQ(rig.count("click"), 2u);
}

TEST(LineEditor, UpDownAndOtherExitKeysReturnTheTextEditedSoFar) {
  EditorRig rig("key End\ntype d\nkey Up\nkey Down\nkey Tab\nkey F2\n");
  std::string text = "abc";
  EXPECT_EQ(rig.editor.editLine(text, 1, 1, 20, 20, true), 72);
  EXPECT_EQ(text, "abcd");
  EXPECT_EQ(rig.editor.editLine(text, 1, 1, 20, 20, true), 80);
  EXPECT_EQ(rig.editor.editLine(text, 1, 1, 20, 20, true), 9);
  EXPECT_EQ(rig.editor.editLine(text, 1, 1, 20, 20, true), 60);
  EXPECT_EQ(text, "abcd");
}

TEST(LineEditor, TypingInAScrolledFieldEchoesWhereTheCursorStands) {
  EditorRig rig("type abcdefg\nkey Enter\n");
  std::string text;
  rig.editor.editLine(text, 10, 5, 30, 5, true);
  EXPECT_EQ(text, "abcdefg");
  std::vector<int> columns;
  for (const auto& cell : rig.host.singleCells)
    if (cell.row == 5) columns.push_back(cell.column);
  // a..e fill the field; f and g stand just after it while the field scrolls.
  EXPECT_EQ(columns, (std::vector<int>{10, 11, 12, 13, 14, 15, 15}));
  EXPECT_EQ(rig.row(5).substr(9, 6), "abcde ");  // the end shows the field's beginning
}

TEST(LineEditor, FieldOnTheLastRowNeverTouchesTheLastCell) {
  EditorRig rig("type 01234567890123456789012345678901234567890123456789012345678901234567890123456789\n"
                "key Enter\n");
  std::string text;
  rig.editor.editLine(text, 1, 25, 100, 80, true);
  EXPECT_EQ(rig.row(25).back(), ' ');
  EXPECT_EQ(rig.row(24), std::string(80, ' '));  // the screen did not scroll
}

TEST(LineEditor, CopyTakesTheSelectionOrTheTextWithALineEnd) {
  EditorRig rig(
      "key Ctrl+Insert\nkey Enter\n"
      "key Ctrl+Insert\nkey Enter\n"
      "key End\nkey Shift+Left\nkey Shift+Left\nkey Ctrl+Insert\nkey Enter\n");
  std::string text = "abc";
  rig.editor.editLine(text, 1, 1, 20, 20, true);
  EXPECT_EQ(rig.clipboard(), "abc\r\n");
  text = "abcde";
  rig.editor.editLine(text, 1, 1, 5, 5, true);
  EXPECT_EQ(rig.clipboard(), "abcde\r\n");
  text = "abc";
  rig.editor.editLine(text, 1, 1, 20, 20, true);
  EXPECT_EQ(rig.clipboard(), "bc");
  EXPECT_EQ(text, "abc");
}

TEST(LineEditor, PasteOverALeftwardSelectionReplacesItAndStaysHighlighted) {
  EditorRig rig("clip XYZ\nkey Home\nkey Right\nkey Right\nkey Right\nkey Right\n"
                "key Shift+Left\nkey Shift+Left\nkey Shift+Insert\n");
  std::string text = "abcdef";
  EXPECT_EQ(rig.runOut([&] { rig.editor.editLine(text, 1, 1, 20, 20, true); }), 3);
  EXPECT_EQ(rig.row(1).substr(0, 8), "abXYZef ");
  for (int column = 1; column <= 7; ++column) {
    const bool selected = column >= 3 && column <= 5;
    EXPECT_EQ(rig.console.screenAttribute(column, 1) >> 4, selected ? 8 : 0) << "column " << column;
  }
  EXPECT_EQ(rig.console.cursorColumn(), 3);  // at the pasted characters' start
}

// Ctrl+Alt+Shift+F9 stands in for Ctrl+Alt+F9: like it, it clears a selection (the copy then takes
// the whole text) instead of extending it as Shift with other extended keys does.
TEST(LineEditor, TheSecondReviewChordClearsTheSelectionLikeTheFirst) {
  for (const char* chord : {"Ctrl+Alt+F9", "Ctrl+Alt+Shift+F9"}) {
    EditorRig rig(std::string("key Shift+Right\nkey Shift+Right\nkey ") + chord + "\nkey Escape\nkey Ctrl+C\nkey Enter\n");
    std::string text = "abc";
    rig.editor.editLine(text, 1, 1, 20, 20, true);
    EXPECT_EQ(rig.clipboard(), "abc\r\n") << chord;
  }
}

// One field at column 1 of row 1: its text before and after the keys, the key that ended it, and
// every sound on the way.
struct EditCase {
  const char* what;
  const char* script;
  std::string before;
  int maxLen, width;
  bool editable;
  std::string after;
  int exitCode;
  std::vector<std::string> sounds;
};

TEST(LineEditor, KeysEditTheTextAndSoundAsTheyGo) {
  const EditCase cases[] = {
      {"a full text drops its last character, typing past the end beeps",
       "key Right\nkey Right\ntype X\nkey End\ntype Y\nkey Enter\n", "abcde", 5, 5, true, "abXcd", 13,
       {"char 97", "char 98", "char 88", "beep"}},
      // The end is position 2049: nothing more fits.
      {"lengths above the largest are cut", "key End\ntype b\nkey Enter\n", std::string(3000, 'a'), 5000, 70, true,
       std::string(2048, 'a'), 13, {"beep"}},
      {"a paste takes the first line and replaces a proposed value", "clip um\\r\\ndois\nkey Ctrl+V\nkey Enter\n",
       "velho", 20, 20, true, "um", 13, {"click", "click"}},
      {"word moves stop at words and sound at the ends",
       "key Ctrl+Right\nkey Ctrl+K\nkey Ctrl+Right\nkey Ctrl+K\nkey Ctrl+Left\nkey Ctrl+Left\nkey Ctrl+Left\nkey Ctrl+K\n"
       "key Enter\n",
       "ab  cdef", 20, 20, true, "ab  cdef", 13,
       {"click", "say 5", "word _cinco", "beep", "say 9", "word _nove", "click", "click", "beep", "say 1", "word _um"}},
      {"Ctrl+Backspace deletes the word and its blanks", "key Ctrl+Right\nkey Right\nkey Ctrl+Backspace\nkey Enter\n",
       "um dois tres", 20, 20, true, "um tres", 13,
       {"click", "char 100", "word _DEL", "char 100", "char 111", "char 105", "char 115", "char 32"}},
      {"F1 spells abbreviations and reads numbers", "key F1\nkey F1\nkey F1\nkey F1\nkey F1\nkey Enter\n",
       "o BCD 123x casa", 20, 20, true, "o BCD 123x casa", 13,
       {"say o", "char 66", "char 67", "char 68", "say 123", "word _cento", "word _e", "word _vinte", "word _e",
        "word _tres", "char 120", "say casa"}},
      {"Ctrl+S and Ctrl+D erase to the start and to the end",
       "key Right\nkey Right\nkey Ctrl+S\nkey Right\nkey Right\nkey Ctrl+D\nkey Enter\n", "abcdef", 20, 20, true, "cd",
       13, {"char 97", "char 98", "word _APICPO", "char 99", "char 100", "word _APFCPO"}},
      {"Ctrl+U undoes every change, then beeps",
       "key End\ntype s\nkey Home\nkey Delete\nkey Ctrl+Y\nkey Ctrl+U\nkey Ctrl+K\nkey Enter\n", "casa", 20, 20, true,
       "casa", 13,
       {"char 115", "word _DEL", "char 99", "word _CPOAPA", "beep", "beep", "beep", "say 1", "word _um"}},
      {"a field that cannot be edited only moves and speaks",
       "type x\nkey Ctrl+Y\nkey Backspace\nkey Right\nkey Alt+Right\nkey Enter\n", "casa", 20, 20, false, "casa", 13,
       {"click", "click", "char 99", "word _FON97"}},
      {"F4 switches the echo", "key F4\ntype a\nkey F4\ntype b\nkey Enter\n", "", 20, 20, true, "ab", 13,
       {"word _FALDLG", "word _FALACI", "char 98"}},
      {"Alt+Ctrl+F9 reviews the screen and comes back", "key Ctrl+Alt+F9\nkey Escape\nkey End\ntype d\nkey Ctrl+F9\n",
       "abc", 20, 20, true, "abcd", 102, {"beep", "beep", "beep", "char 100"}},
      {"Ctrl+Alt+Shift+F9, the chord that reaches Linux programs, does the same",
       "key Ctrl+Alt+Shift+F9\nkey Escape\nkey End\ntype d\nkey Ctrl+F9\n", "abc", 20, 20, true, "abcd", 102,
       {"beep", "beep", "beep", "char 100"}},
      {"Ctrl+Alt+Q with no character after it waits for the next key", "type a\nkey Ctrl+Alt+Q\ntype b\nkey Enter\n",
       "", 20, 20, true, "ab", 13, {"char 97", "char 98"}},
      {"Ctrl+Alt+W then an extended key ends the field with the chord's code",
       "type a\nkey Ctrl+Alt+W\nkey Up\ntype z\nkey Enter\n", "", 20, 20, true, "a", 17, {"char 97"}},
  };
  for (const EditCase& c : cases) {
    EditorRig rig(c.script);
    std::string text = c.before;
    EXPECT_EQ(rig.editor.editLine(text, 1, 1, c.maxLen, c.width, c.editable), c.exitCode) << c.what;
    EXPECT_EQ(text, c.after) << c.what;
    EXPECT_EQ(rig.sounds(), c.sounds) << c.what;
  }
}

TEST(LineEditor, CtrlF4RestartsSpeechAtTheLevelTyped) {
  EditorRig rig("key Ctrl+F4\ntype 2\nkey Enter\n", Speaking::BuiltIn);
  ASSERT_EQ(rig.speech.speedLevel(), 3);
  std::string text;
  rig.editor.editLine(text, 1, 1, 20, 20, true);
  EXPECT_EQ(rig.speech.speedLevel(), 2);
  EXPECT_TRUE(rig.heardInOrder({"word _VELOC", "char 50"}));
}

}  // namespace
}  // namespace kaldro::speech
