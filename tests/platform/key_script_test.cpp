// The key script parser and the expansion of a key into the notifications a window delivers.
#include "platform/host/key_script.h"

#include <gtest/gtest.h>

#include "support/event_text.h"

namespace kaldro::platform {
namespace {

// A step as its line, its verb, its key or text, and its wait.
std::string describe(const ScriptStep& step) {
  static constexpr const char* kVerbs[] = {"type", "key", "down", "up", "clip", "close"};
  std::string text = std::to_string(step.line) + " " + kVerbs[static_cast<int>(step.action)];
  if (step.key.virtualKey) text += " " + keyName(step.key.virtualKey) + describeModifiers(step.key.modifiers);
  if (!step.text.empty()) text += " [" + step.text + "]";
  return step.delayMs ? text + " after " + std::to_string(*step.delayMs) : text;
}

TEST(KeyScriptParser, ReadsEveryVerbAndSkipsCommentsAndBlankLines) {
  KeyScript script = parseKeyScript(
      "# a comment\n\ntype olá mundo\r\nkey Ctrl+Alt+F11\n   \ndown F\nup Space\nwait 100\nwait 200\n"
      "clip linha\\nnova\nclose\n");
  ASSERT_FALSE(script.fault) << script.fault->message;
  std::vector<std::string> steps;
  for (const ScriptStep& step : script.steps) steps.push_back(describe(step));
  // Text in CP1252 without the carriage return; waits add up and belong to the line after them.
  EXPECT_EQ(steps, (std::vector<std::string>{"3 type [ol\xE1 mundo]", "4 key F11 ctrl alt", "6 down F", "7 up Space",
                                             "10 clip [linha\nnova] after 300", "11 close"}));
  // Waits add up without wrapping round to a short one: a day at most.
  std::string waits;
  for (int i = 0; i < 10; ++i) waits += "wait 999999999\n";
  script = parseKeyScript(waits + "key A\n");
  ASSERT_EQ(script.steps.size(), 1u);
  EXPECT_EQ(script.steps[0].delayMs, 86'400'000u);
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

// A key pressed, as the notifications it expands to.
std::string pressed(const char* name, KeyPhase phase = KeyPhase::Press) {
  std::optional<KeyStroke> key = parseKeyName(name);
  return key ? describe(expandKey(*key, phase)) : "no such key";
}

TEST(KeyExpansion, KeyNamesGiveDownCharacterUpWithTheModifiersHeld) {
  const std::pair<const char*, const char*> cases[] = {
      {"Ctrl++", "down Oem ctrl; up Oem ctrl"},               {"+", "down Oem; char 43; up Oem"},
      {"Shift+Insert", "down Insert shift; up Insert shift"}, {"alt+right", "sys Right alt; up Right alt"},
      {"a", "down A; char 97; up A"},                         {"Z", "down Z; char 122; up Z"},
      {"7", "down 7; char 55; up 7"},                         {"F12", "down F12; up F12"},
      {"f1", "down F1; up F1"},                               {"PageDown", "down Next; up Next"},
      {"ç", "down Oem; char 231; up Oem"},                    {"  Enter  ", "down Return; char 13; up Return"},
      {"A", "down A; char 97; up A"},
      {"Shift+A", "down A shift; char 65 shift; up A shift"},
      {"Ctrl+A", "down A ctrl; char 1 ctrl; up A ctrl"},
      {"Ctrl+Z", "down Z ctrl; char 26 ctrl; up Z ctrl"},
      {"Ctrl+Shift+C", "down C shift ctrl; char 3 shift ctrl; up C shift ctrl"},
      {"Ctrl+\\", "down Oem ctrl; char 28 ctrl; up Oem ctrl"},
      {"Ctrl+,", "down Oem ctrl; up Oem ctrl"},              {"Ctrl+5", "down 5 ctrl; up 5 ctrl"},
      {"Alt+A", "sys A alt; up A alt"},                      {"Alt+Shift+3", "sys 3 shift alt; up 3 shift alt"},
      {"Alt+Left", "sys Left alt; up Left alt"},             {"Ctrl+Alt+Q", "down Q ctrl alt; up Q ctrl alt"},
      {"Ctrl+Alt+F12", "down F12 ctrl alt; up F12 ctrl alt"}, {"Enter", "down Return; char 13; up Return"},
      {"Ctrl+Enter", "down Return ctrl; char 13 ctrl; up Return ctrl"},
      {"Backspace", "down Back; char 8; up Back"},           {"Ctrl+Backspace", "down Back ctrl; char 8 ctrl; up Back ctrl"},
      {"Tab", "down Tab; char 9; up Tab"},                   {"Escape", "down Escape; char 27; up Escape"},
      {"Space", "down Space; char 32; up Space"},            {"3", "down 3; char 51; up 3"},
      {"Shift+2", "down 2 shift; char 64 shift; up 2 shift"}, {"Shift+0", "down 0 shift; char 41 shift; up 0 shift"},
      {",", "down Oem; char 44; up Oem"},                    {"Shift+,", "down Oem shift; char 44 shift; up Oem shift"},
      {"F1", "down F1; up F1"},                              {"Shift+F5", "down F5 shift; up F5 shift"},
      {"F10", "sys F10; up F10"},                            {"Ctrl+F10", "down F10 ctrl; up F10 ctrl"},
      {"Up", "down Up; up Up"},                              {"Delete", "down Delete; up Delete"},
      {"Break", "down Cancel ctrl; up Cancel ctrl"},
      {"Alt+F4", "sys F4 alt; close; up F4 alt"},            {"Ctrl+Alt+F4", "down F4 ctrl alt; up F4 ctrl alt"},
  };
  for (const auto& [name, events] : cases) EXPECT_EQ(pressed(name), events) << name;
  for (const char* bad : {"", "   ", "Ctrl+", "AB", "\xE2\x86\x92", "Fx", "F01", "Super+A"})
    EXPECT_EQ(pressed(bad), "no such key") << bad;
  EXPECT_EQ(pressed("F", KeyPhase::DownOnly), "down F");
  EXPECT_EQ(pressed("F", KeyPhase::UpOnly), "up F");
}

}  // namespace
}  // namespace kaldro::platform
