// The six-key braille keyboard: chords, the sign rules of mode 2, and the mode's signal tones.
#include <gtest/gtest.h>

#include "console/fake_host.h"

namespace kaldro::console::testing {
namespace {

using Codes = std::vector<uint8_t>;

int key(char c) { return c == ' ' ? vk::Space : vk::LetterA + (c - 'A'); }

// Presses the keys of one cell together (as keys and their characters) and releases them.
void cell(FakeHost& host, std::string keys) {
  for (char c : keys) {
    host.keyDown(key(c));
    host.character(c == ' ' ? ' ' : static_cast<uint8_t>(c - 'A' + 'a'));
  }
  for (char c : keys) host.keyUp(key(c));
}

// Dots as the keys F D S J K L press them: "1" is F, "12" is F and D.
void dots(FakeHost& host, std::string numbers) {
  static constexpr char kKeys[] = "FDSJKL";
  std::string keys;
  for (char n : numbers) keys.push_back(kKeys[n - '1']);
  cell(host, keys);
}

Codes typed(ConsoleBench& bench) {
  bench.console.pumpAllMessages();
  return bench.readAll();
}

TEST(ConsoleBraille, ModeOneChords) {
  ConsoleBench bench("[BRAILLE]\nMODO=3\n");
  bench.console.ensureConsoleWindow();
  EXPECT_EQ(bench.console.brailleMode(), 1);
  EXPECT_EQ(bench.traceText(), "tone 800\ntone off\ntone 1600\ntone off\n");
  cell(bench.host, "FD");
  cell(bench.host, " ");
  cell(bench.host, " F");
  bench.host.keyUp(key('Q'));  // a letter that is no chord key ends an empty cell: a blank
  EXPECT_EQ(typed(bench), (Codes{'b', ' ', 1, ' '}));

  // A chord stays open while one of its keys is down.
  bench.host.keyDown(key('F'));
  bench.host.keyDown(key('D'));
  bench.host.keyUp(key('F'));
  EXPECT_EQ(typed(bench), Codes{});
  bench.host.keyUp(key('D'));
  EXPECT_EQ(typed(bench), Codes{'b'});

  // Other keys keep working: digits type, Ctrl letters are not chords.
  bench.host.character('7');
  bench.host.keyDown(key('F'), {false, true, false});
  bench.host.keyDown(vk::Right);
  EXPECT_EQ(typed(bench), (Codes{'7', 0, 77}));
}

TEST(ConsoleBraille, ModeTwoSigns) {
  ConsoleBench bench("[BRAILLE]\nMODO=2\n");
  bench.console.ensureConsoleWindow();
  dots(bench.host, "3456");  // number sign
  dots(bench.host, "1");
  dots(bench.host, "12");
  dots(bench.host, "245");   // j is 0
  dots(bench.host, "3");     // ' is the decimal point
  cell(bench.host, " ");     // a blank ends the number
  dots(bench.host, "1");
  EXPECT_EQ(typed(bench), (Codes{'1', '2', '0', '.', ' ', 'a'}));

  dots(bench.host, "46");  // capital sign
  dots(bench.host, "1");
  dots(bench.host, "1");
  EXPECT_EQ(typed(bench), (Codes{'A', 'a'}));

  dots(bench.host, "46");
  dots(bench.host, "46");
  dots(bench.host, "1");
  dots(bench.host, "12");
  bench.host.keyUp(vk::Right);  // a non-letter key-up clears the signs
  dots(bench.host, "1");
  EXPECT_EQ(typed(bench), (Codes{'A', 'B', 'a'}));
}

TEST(ConsoleBraille, SwitchingModes) {
  // Ctrl+Alt+Shift+F11 and F12 stand in for the Ctrl+Alt chords that Linux keeps for itself.
  for (const Modifiers chord : {Modifiers{false, true, true}, Modifiers{true, true, true}}) {
    ConsoleBench bench;
    for (int mode : {1, 2, 1}) {  // 0, 1, 2, 1 ...
      bench.host.keyDown(vk::F1 + 10, chord);
      bench.console.keyPressed();
      EXPECT_EQ(bench.console.brailleMode(), mode);
    }
    bench.host.keyDown(vk::F12, chord);
    bench.console.keyPressed();
    EXPECT_EQ(bench.console.brailleMode(), 0);
    EXPECT_TRUE(bench.traceText().ends_with("tone 100\ntone off\n"));
    EXPECT_EQ(bench.host.nowMs, 7 * 200);
    EXPECT_FALSE(bench.console.keyPressed()) << "the chords queue no key";
  }

  // Without key releases there are no chords: the mode stays off.
  ConsoleBench terminal("[BRAILLE]\nMODO=1\n");
  terminal.host.keyUps = false;
  terminal.console.ensureConsoleWindow();
  EXPECT_EQ(terminal.console.brailleMode(), 0);
  terminal.host.character('a');
  EXPECT_EQ(typed(terminal), Codes{'a'});
}

}  // namespace
}  // namespace kaldro::console::testing
