// The key script parser and the expansion of a key into the notifications a window delivers.
#include "platform/key_script.h"

#include <gtest/gtest.h>

#include <ostream>

namespace kaldro::platform {
namespace {

TEST(KeyScriptParser, ReadsEveryVerbAndSkipsCommentsAndBlankLines) {
  KeyScript script = parseKeyScript(
      "# a comment\n"
      "\n"
      "type olá mundo\r\n"
      "key Ctrl+Alt+F11\n"
      "   \n"
      "down F\n"
      "up Space\n"
      "wait 100\n"
      "wait 200\n"
      "clip linha\\nnova\n"
      "close\n");
  ASSERT_FALSE(script.fault) << script.fault->message;
  ASSERT_EQ(script.steps.size(), 6u);

  EXPECT_EQ(script.steps[0].action, ScriptAction::Type);
  EXPECT_EQ(script.steps[0].text, "ol\xE1 mundo");  // CP1252, carriage return gone
  EXPECT_EQ(script.steps[0].line, 3);

  EXPECT_EQ(script.steps[1].action, ScriptAction::Press);
  EXPECT_EQ(script.steps[1].key.virtualKey, vk::F1 + 10);
  EXPECT_EQ(script.steps[1].key.modifiers, (Modifiers{false, true, true}));

  EXPECT_EQ(script.steps[2].action, ScriptAction::Down);
  EXPECT_EQ(script.steps[2].key.virtualKey, vk::LetterA + 5);
  EXPECT_EQ(script.steps[3].action, ScriptAction::Up);
  EXPECT_EQ(script.steps[3].key.virtualKey, vk::Space);
  EXPECT_FALSE(script.steps[3].delayMs);

  // Waits add up and belong to the line after them.
  EXPECT_EQ(script.steps[4].action, ScriptAction::Clip);
  EXPECT_EQ(script.steps[4].delayMs, 300u);
  EXPECT_EQ(script.steps[4].text, "linha\nnova");
  EXPECT_EQ(script.steps[5].action, ScriptAction::Close);
  EXPECT_FALSE(script.steps[5].delayMs);
}

TEST(KeyScriptParser, ReportsTheLineOfTheFirstFault) {
  struct Case {
    const char* text;
    int line;
    const char* messagePart;
  };
  const Case cases[] = {
      {"key A\n\n# note\nkey Hyper\n", 4, "tecla desconhecida"},
      {"key A\npress B\n", 2, "comando desconhecido"},
      {"wait 12x\n", 1, "número inválido"},
      {"wait -5\n", 1, "número inválido"},
      {"wait\n", 1, "número inválido"},
      {"wait 99999999999999\n", 1, "número inválido"},
      {"key Ctrl+\n", 1, "tecla desconhecida"},
      {"key F13\n", 1, "tecla desconhecida"},
      {"key F0\n", 1, "tecla desconhecida"},
      {"key Ctrl+Meta+A\n", 1, "tecla desconhecida"},
      {"key\n", 1, "sem nome"},
      {"type\n", 1, "type sem texto"},
      {"type ok\ntype maçã \xE2\x86\x92 fim\n", 2, "Latin-1"},  // an arrow, U+2192
      {"close now\n", 1, "close"},
  };
  for (const Case& c : cases) {
    KeyScript script = parseKeyScript(c.text);
    ASSERT_TRUE(script.fault) << c.text;
    EXPECT_EQ(script.fault->line, c.line) << c.text;
    EXPECT_NE(script.fault->message.find(c.messagePart), std::string::npos) << c.text << " -> " << script.fault->message;
  }
}

TEST(KeyScriptParser, TypeKeepsEveryCharacterThatTheCodePageHolds) {
  KeyScript script = parseKeyScript("type  ação € é\t!\n");
  ASSERT_FALSE(script.fault);
  // Everything after the one space: the second space is typed.
  EXPECT_EQ(script.steps[0].text, " a\xE7\xE3o \x80 \xE9\t!");

  // A script written in Latin-1 (not UTF-8) is read byte for byte.
  script = parseKeyScript("type ma\xE7\xE3\n");
  ASSERT_FALSE(script.fault);
  EXPECT_EQ(script.steps[0].text, "ma\xE7\xE3");
}

TEST(KeyScriptParser, ClipEscapes) {
  KeyScript script = parseKeyScript(
      "clip a\\nb\\rc\\td\\\\e\n"
      "clip c:\\dados\\x\n"  // unknown escapes stay as written
      "clip fim\\\n"
      "clip\n"
      "clip maçã\n");
  ASSERT_FALSE(script.fault);
  ASSERT_EQ(script.steps.size(), 5u);
  EXPECT_EQ(script.steps[0].text, "a\nb\rc\td\\e");
  EXPECT_EQ(script.steps[1].text, "c:\\dados\\x");
  EXPECT_EQ(script.steps[2].text, "fim\\");
  EXPECT_EQ(script.steps[3].text, "");
  EXPECT_EQ(script.steps[4].text, "ma\xE7\xE3");
}

TEST(KeyScriptParser, KeyNames) {
  struct Case {
    const char* text;
    int virtualKey;
    Modifiers modifiers;
    uint8_t plain;
  };
  const Case cases[] = {
      {",", vk::Oem, {}, ','},
      {"Ctrl++", vk::Oem, {false, true, false}, '+'},
      {"+", vk::Oem, {}, '+'},
      {"Shift+Insert", vk::Insert, {true, false, false}, 0},
      {"alt+right", vk::Right, {false, false, true}, 0},
      {"a", vk::LetterA, {}, 'a'},
      {"Z", vk::LetterA + 25, {}, 'z'},
      {"7", vk::Digit0 + 7, {}, '7'},
      {"F12", vk::F12, {}, 0},
      {"f1", vk::F1, {}, 0},
      {"PageDown", vk::Next, {}, 0},
      {"Break", vk::Cancel, {false, true, false}, 0},
      {"ç", vk::Oem, {}, 0xE7},
      {"  Enter  ", vk::Return, {}, '\r'},
  };
  for (const Case& c : cases) {
    std::optional<KeyStroke> key = parseKeyName(c.text);
    ASSERT_TRUE(key) << c.text;
    EXPECT_EQ(key->virtualKey, c.virtualKey) << c.text;
    EXPECT_EQ(key->modifiers, c.modifiers) << c.text;
    EXPECT_EQ(key->plainCharacter, c.plain) << c.text;
  }
  for (const char* bad : {"", "Ctrl+", "AB", "\xE2\x86\x92", "Fx", "F01", "Super+A"})
    EXPECT_FALSE(parseKeyName(bad)) << bad;
}

// One expected press: the kind of the key-down, and the character (or none).
struct Press {
  const char* name;
  EventKind downKind;
  int character;  // -1: none
};

void PrintTo(const Press& press, std::ostream* out) { *out << press.name; }

class KeyExpansion : public testing::TestWithParam<Press> {};

TEST_P(KeyExpansion, DownCharacterUpWithTheModifiersHeld) {
  const Press& press = GetParam();
  std::optional<KeyStroke> key = parseKeyName(press.name);
  ASSERT_TRUE(key);
  std::vector<HostEvent> events = expandKey(*key, KeyPhase::Press);
  ASSERT_EQ(events.size(), press.character < 0 ? 2u : 3u);
  EXPECT_EQ(events.front().kind, press.downKind);
  EXPECT_EQ(events.front().virtualKey, key->virtualKey);
  if (press.character >= 0) {
    EXPECT_EQ(events[1].kind, EventKind::Character);
    EXPECT_EQ(events[1].character, press.character);
  }
  EXPECT_EQ(events.back().kind, EventKind::KeyUp);
  EXPECT_EQ(events.back().virtualKey, key->virtualKey);
  for (const HostEvent& event : events) EXPECT_EQ(event.modifiers, key->modifiers);
}

INSTANTIATE_TEST_SUITE_P(
    Table, KeyExpansion,
    testing::Values(Press{"A", EventKind::KeyDown, 'a'}, Press{"Shift+A", EventKind::KeyDown, 'A'},
                    Press{"Ctrl+A", EventKind::KeyDown, 1}, Press{"Ctrl+Z", EventKind::KeyDown, 26},
                    Press{"Ctrl+Shift+C", EventKind::KeyDown, 3}, Press{"Ctrl+\\", EventKind::KeyDown, 28},
                    Press{"Ctrl+,", EventKind::KeyDown, -1}, Press{"Ctrl+5", EventKind::KeyDown, -1},
                    Press{"Alt+A", EventKind::SystemKeyDown, -1}, Press{"Alt+Shift+3", EventKind::SystemKeyDown, -1},
                    Press{"Alt+Left", EventKind::SystemKeyDown, -1}, Press{"Ctrl+Alt+Q", EventKind::KeyDown, -1},
                    Press{"Ctrl+Alt+F12", EventKind::KeyDown, -1}, Press{"Enter", EventKind::KeyDown, 13},
                    Press{"Ctrl+Enter", EventKind::KeyDown, 13}, Press{"Backspace", EventKind::KeyDown, 8},
                    Press{"Ctrl+Backspace", EventKind::KeyDown, 8}, Press{"Tab", EventKind::KeyDown, 9},
                    Press{"Escape", EventKind::KeyDown, 27}, Press{"Space", EventKind::KeyDown, 32},
                    Press{"3", EventKind::KeyDown, '3'}, Press{"Shift+2", EventKind::KeyDown, '@'},
                    Press{"Shift+0", EventKind::KeyDown, ')'}, Press{",", EventKind::KeyDown, ','},
                    Press{"Shift+,", EventKind::KeyDown, ','}, Press{"F1", EventKind::KeyDown, -1},
                    Press{"Shift+F5", EventKind::KeyDown, -1}, Press{"F10", EventKind::SystemKeyDown, -1},
                    Press{"Ctrl+F10", EventKind::KeyDown, -1}, Press{"Up", EventKind::KeyDown, -1},
                    Press{"Delete", EventKind::KeyDown, -1}, Press{"Break", EventKind::KeyDown, -1}));

TEST(KeyExpansion, AltF4ClosesTheWindow) {
  std::vector<HostEvent> events = expandKey(*parseKeyName("Alt+F4"), KeyPhase::Press);
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[0].kind, EventKind::SystemKeyDown);
  EXPECT_EQ(events[1].kind, EventKind::CloseRequest);
  EXPECT_EQ(events[2].kind, EventKind::KeyUp);
  EXPECT_EQ(expandKey(*parseKeyName("Ctrl+Alt+F4"), KeyPhase::Press).size(), 2u);  // an ordinary key-down
}

TEST(KeyExpansion, DownAndUpAlone) {
  KeyStroke f = *parseKeyName("F");
  std::vector<HostEvent> down = expandKey(f, KeyPhase::DownOnly);
  ASSERT_EQ(down.size(), 1u);
  EXPECT_EQ(down[0].kind, EventKind::KeyDown);
  std::vector<HostEvent> up = expandKey(f, KeyPhase::UpOnly);
  ASSERT_EQ(up.size(), 1u);
  EXPECT_EQ(up[0].kind, EventKind::KeyUp);
  EXPECT_EQ(up[0].virtualKey, vk::LetterA + 5);
}

}  // namespace
}  // namespace kaldro::platform
