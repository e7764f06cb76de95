// The talking line editor driven by key scripts: typing, exits, proposed values, selection, clipboard, words.
#include <gtest/gtest.h>

#include "editor_rig.h"

namespace kaldro::speech {
namespace {

using rig::EditorRig;
using rig::Voice;

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

TEST(LineEditor, AFullTextDropsItsLastCharacterAndTypingPastTheEndBeeps) {
  EditorRig rig("key Right\nkey Right\ntype X\nkey End\ntype Y\nkey Enter\n");
  std::string text = "abcde";
  rig.editor.editLine(text, 1, 1, 5, 5, true);
  EXPECT_EQ(text, "abXcd");
  EXPECT_TRUE(rig.heardInOrder({"char 88", "beep"}));
  EXPECT_EQ(rig.count("char 89"), 0u);
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

TEST(LineEditor, LengthsAboveTheLargestAreCut) {
  EditorRig rig("key End\ntype b\nkey Enter\n");
  std::string text(3000, 'a');
  rig.editor.editLine(text, 1, 1, 5000, 70, true);
  EXPECT_EQ(text, std::string(2048, 'a'));
  EXPECT_EQ(rig.count("beep"), 1u);  // the end is position 2049: nothing more fits
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

TEST(LineEditor, PasteTakesTheFirstLineAndReplacesAProposedValue) {
  EditorRig rig("clip um\\r\\ndois\nkey Ctrl+V\nkey Enter\n");
  std::string text = "velho";
  rig.editor.editLine(text, 1, 1, 20, 20, true);
  EXPECT_EQ(text, "um");
  EXPECT_EQ(rig.count("click"), 2u);
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

TEST(LineEditor, WordMovesStopAtWordsAndSoundAtTheEnds) {
  EditorRig rig(
      "key Ctrl+Right\nkey Ctrl+K\nkey Ctrl+Right\nkey Ctrl+K\n"
      "key Ctrl+Left\nkey Ctrl+Left\nkey Ctrl+Left\nkey Ctrl+K\nkey Enter\n");
  std::string text = "ab  cdef";
  rig.editor.editLine(text, 1, 1, 20, 20, true);
  EXPECT_TRUE(rig.heardInOrder({"click", "say 5", "beep", "say 9", "click", "click", "beep", "say 1"}));
}

TEST(LineEditor, CtrlBackspaceDeletesTheWordAndItsBlanks) {
  EditorRig rig("key Ctrl+Right\nkey Right\nkey Ctrl+Backspace\nkey Enter\n");
  std::string text = "um dois tres";
  rig.editor.editLine(text, 1, 1, 20, 20, true);
  EXPECT_EQ(text, "um tres");
  EXPECT_EQ(rig.count("word _DEL"), 1u);
}

TEST(LineEditor, F1SpellsAbbreviationsAndReadsNumbers) {
  EditorRig rig("key F1\nkey F1\nkey F1\nkey F1\nkey F1\nkey Enter\n");
  std::string text = "o BCD 123x casa";
  rig.editor.editLine(text, 1, 1, 20, 20, true);
  EXPECT_TRUE(rig.heardInOrder({"say o", "char 66", "char 67", "char 68", "say 123", "char 120", "say casa"}));
  EXPECT_EQ(rig.count("beep"), 0u);
}

TEST(LineEditor, ErasingKeysAndUndo) {
  EditorRig rig(
      "key Right\nkey Right\nkey Ctrl+S\nkey Right\nkey Right\nkey Ctrl+D\nkey Enter\n"
      "key End\ntype s\nkey Home\nkey Delete\nkey Ctrl+Y\nkey Ctrl+U\nkey Ctrl+K\nkey Enter\n");
  std::string text = "abcdef";
  rig.editor.editLine(text, 1, 1, 20, 20, true);
  EXPECT_EQ(text, "cd");
  EXPECT_TRUE(rig.heardInOrder({"word _APICPO", "word _APFCPO"}));

  text = "casa";
  rig.editor.editLine(text, 1, 1, 20, 20, true);
  EXPECT_EQ(text, "casa");
  EXPECT_TRUE(rig.heardInOrder({"word _DEL", "char 99", "word _CPOAPA", "beep", "beep", "beep", "say 1"}));
}

TEST(LineEditor, ANonEditableFieldOnlyMovesAndSpeaks) {
  EditorRig rig("type x\nkey Ctrl+Y\nkey Backspace\nkey Right\nkey Alt+Right\nkey Enter\n");
  std::string text = "casa";
  rig.editor.editLine(text, 1, 1, 20, 20, false);
  EXPECT_EQ(text, "casa");
  EXPECT_TRUE(rig.heardInOrder({"click", "click", "char 99", "word _FON97"}));
  EXPECT_EQ(rig.count("char 120"), 0u);
}

TEST(LineEditor, F4SwitchesTheEcho) {
  EditorRig rig("key F4\ntype a\nkey F4\ntype b\nkey Enter\n");
  std::string text;
  rig.editor.editLine(text, 1, 1, 20, 20, true);
  EXPECT_EQ(text, "ab");
  EXPECT_EQ(rig.sounds(), (std::vector<std::string>{"word _FALDLG", "word _FALACI", "char 98"}));
}

TEST(LineEditor, AltCtrlF9ReviewsTheScreenAndComesBack) {
  EditorRig rig("key Ctrl+Alt+F9\nkey Escape\nkey End\ntype d\nkey Ctrl+F9\n");
  std::string text = "abc";
  EXPECT_EQ(rig.editor.editLine(text, 5, 10, 20, 20, true), 102);
  EXPECT_EQ(text, "abcd");
  EXPECT_TRUE(rig.heardInOrder({"beep", "beep", "beep", "char 100"}));
}

TEST(LineEditor, CtrlF4RestartsSpeechAtTheLevelTyped) {
  EditorRig rig("key Ctrl+F4\ntype 2\nkey Enter\n", Voice::BuiltIn);
  ASSERT_EQ(rig.speech.speedLevel(), 3);
  std::string text;
  rig.editor.editLine(text, 1, 1, 20, 20, true);
  EXPECT_EQ(rig.speech.speedLevel(), 2);
  EXPECT_TRUE(rig.heardInOrder({"word _VELOC", "char 50"}));
}

}  // namespace
}  // namespace kaldro::speech
