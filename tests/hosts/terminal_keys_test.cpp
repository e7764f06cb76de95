// The terminal key decoder: what each byte sequence means as window notifications.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/host/terminal_keys.h"
#include "support/event_text.h"

namespace kaldro::platform {
namespace {

// Every kind of sequence a terminal sends, each fed in one read.
TEST(TerminalKeys, SequencesOfOneRead) {
  const struct {
    std::string bytes, expected;
  } cases[] = {
      // Plain and control bytes.
      {"a", "down A; char 97"},        {"A", "down A shift; char 65 shift"}, {"7", "down 7; char 55"},
      {" ", "down Space; char 32"},    {",", "down Oem; char 44"},           {"\r", "down Return; char 13"},
      {"\t", "down Tab; char 9"},      {"\x7f", "down Back; char 8"},        {"\x08", "down Back ctrl; char 8 ctrl"},
      {"\x03", "down C ctrl; char 3 ctrl"},   {"\x01", "down A ctrl; char 1 ctrl"},
      {"\x1a", "down Z ctrl; char 26 ctrl"},  {"\n", "down J ctrl; char 10 ctrl"},
      {"\x1c", "down Oem ctrl; char 28 ctrl"}, {std::string(1, '\0'), "down Space ctrl; char 32 ctrl"},
      {"ab", "down A; char 97; down B; char 98"},
      // UTF-8 and Latin-1 input; what CP1252 cannot hold is lost (the console beeps).
      {"\xc3\xa7", "down Oem; char 231"},        // ç
      {"\xc3\x89", "down Oem; char 201"},        // É
      {"\xe2\x82\xac", "down Oem; char 128"},    // € is 0x80 in CP1252
      {"\xe2\x80\x9c", "down Oem; char 147"},    // “
      {"\xe4\xb8\xad", "lost"},                  // 中 has no key in CP1252: the console beeps
      {"\xc5\x81", "lost"},                      // Ł
      {"\xf0\x9f\x98\x80" "a", "lost; down A; char 97"},  // an emoji
      {"\xe9", "down Oem; char 233"},            // a Latin-1 terminal's é
      {"\xe9x", "down Oem; char 233; down X; char 120"},
      {"\xc2\x85", ""},                          // a C1 control is no character
      // Between the terminal's paste markers: characters only (line ends one Enter), none of them keys.
      {"\x1b[200~a\r\nb\nc\r\x1b[201~", "char 97 pasted; char 13 pasted; char 98 pasted; char 13 pasted; char 99 pasted; char 13 pasted"},
      {"\x1b[200~\xc5\x81\xc3\xa9\t\x1b[A\x1b[201~x", "lost; char 233 pasted; char 9 pasted; lost; char 91 pasted; char 65 pasted; down X; char 120"},
      {"\x1b[200~\xe9!\x1b[201~", "char 233 pasted; char 33 pasted"},  // a Latin-1 terminal's paste
      // Function keys of tmux and xterm.
      {"\x1bOP", "down F1"},      {"\x1bOQ", "down F2"},      {"\x1bOR", "down F3"},
      {"\x1bOS", "down F4"},      {"\x1b[15~", "down F5"},    {"\x1b[17~", "down F6"},
      {"\x1b[18~", "down F7"},    {"\x1b[19~", "down F8"},    {"\x1b[20~", "down F9"},
      {"\x1b[21~", "sys F10"},    {"\x1b[23~", "down F11"},   {"\x1b[24~", "down F12"},
      {"\x1b[1;5P", "down F1 ctrl"},        {"\x1b[1;2Q", "down F2 shift"},
      {"\x1b[15;5~", "down F5 ctrl"},       {"\x1b[21;5~", "down F10 ctrl"},
      {"\x1b[24;3~", "sys F12 alt"},        {"\x1b[23;7~", "down F11 ctrl alt"},
      {"\x1b[24;8~", "down F12 shift ctrl alt"},
      {"\x1bO5P", "down F1 ctrl"},          // old xterm
      {"\x1b[25~", "down F3 shift"},        // vt220 F13
      // Function keys of the Linux console and rxvt.
      {"\x1b[[A", "down F1"}, {"\x1b[[B", "down F2"}, {"\x1b[[C", "down F3"}, {"\x1b[[D", "down F4"},
      {"\x1b[[E", "down F5"}, {"\x1b[11~", "down F1"}, {"\x1b[12~", "down F2"}, {"\x1b[13~", "down F3"},
      {"\x1b[14~", "down F4"},
      // Cursor and editing keys, with modifiers.
      {"\x1b[A", "down Up"},        {"\x1b[B", "down Down"},     {"\x1b[C", "down Right"},
      {"\x1b[D", "down Left"},      {"\x1bOA", "down Up"},       {"\x1bOD", "down Left"},
      {"\x1b[H", "down Home"},      {"\x1b[F", "down End"},      {"\x1bOH", "down Home"},
      {"\x1bOF", "down End"},       {"\x1b[1~", "down Home"},    {"\x1b[4~", "down End"},
      {"\x1b[7~", "down Home"},     {"\x1b[8~", "down End"},     {"\x1b[2~", "down Insert"},
      {"\x1b[3~", "down Delete"},   {"\x1b[5~", "down Prior"},   {"\x1b[6~", "down Next"},
      {"\x1b[1;5A", "down Up ctrl"},          {"\x1b[1;2D", "down Left shift"},
      {"\x1b[1;3C", "sys Right alt"},         {"\x1b[1;4B", "sys Down shift alt"},
      {"\x1b[1;6H", "down Home shift ctrl"},  {"\x1b[1;5F", "down End ctrl"},
      {"\x1b[2;2~", "down Insert shift"},     {"\x1b[3;5~", "down Delete ctrl"},
      {"\x1b[5;5~", "down Prior ctrl"},       {"\x1b[6;3~", "sys Next alt"},
      {"\x1b[Z", "down Tab shift; char 9 shift"},
      // Alt as an Escape prefix.
      {"\x1b" "a", "sys A alt"}, {"\x1b" "A", "sys A shift alt"}, {"\x1b" "5", "sys 5 alt"}, {"\x1b\x7f", "sys Back alt"},
      {"\x1b\x11", "down Q ctrl alt"},   // Ctrl+Alt+Q
      {"\x1b\xc3\xa9", "sys Oem alt"},   // Alt+é
      {"\x1b\x1b", "down Escape; char 27; down Escape; char 27"},
      // Sequences cut short, after their timeout.
      {"\x1b[", "sys Oem alt"},      // Alt+[
      {"\x1bO", "sys O shift alt"},  // Alt+Shift+O
      {"\x1b[1;5", ""},              // cut short: nothing typed
      {"\x1b[1;5\x01", "down A ctrl; char 1 ctrl"},
      // Extended keys, after the request for them.
      {"\x1b[13;5u", "down Return ctrl; char 13 ctrl"},   {"\x1b[9;5u", "down Tab ctrl"},
      {"\x1b[127;5u", "down Back ctrl; char 8 ctrl"},     {"\x1b[13;2u", "down Return shift; char 13 shift"},
      {"\x1b[97;6u", "down A shift ctrl; char 1 shift ctrl"}, {"\x1b[49;5u", "down 1 ctrl"},
      {"\x1b[105;3u", "sys I alt"},                        {"\x1b[92;5u", "down Oem ctrl; char 28 ctrl"},
      {"\x1b[27;5;13~", "down Return ctrl; char 13 ctrl"},  // xterm's modifyOtherKeys form
      {"\x1b[57441;2u", ""},  // kitty's private code for a modifier key
      // Parameters of eleven digits: read saturated, never overflowing.
      {"\x1bO99999999999P", "down F1 ctrl alt"}, {"\x1b[99999999999;99999999999~", ""},
      // Replies and reports are no keys.
      {"\x1b[?1;2c", ""}, {"\x1b[<0;10;5M", ""}, {"\x1b[I", ""}, {"\x1b[200~", ""}, {"\x1b[E", ""},
      // Many keys in one read.
      {"\x1b[A\x1b[1;5Bx\x1bOP\r", "down Up; down Down ctrl; down X; char 120; down F1; down Return; char 13"},
  };
  for (const auto& c : cases) EXPECT_EQ(describe(decodeTerminalKeys(c.bytes)), c.expected) << describeBytes(c.bytes);
}

TEST(TerminalKeys, CharactersLineEndsAndMarkersSplitAcrossReads) {
  TerminalKeyDecoder decoder;
  std::vector<HostEvent> events;
  decoder.feed("\xc3", 0, events);
  EXPECT_TRUE(events.empty());
  decoder.feed("\xa3", 5, events);
  EXPECT_EQ(describe(events), "down Oem; char 227");
  events.clear();
  for (const char* piece : {"\x1b[20", "0~a\r", "\n\xc3", "\xa7\x1b[2", "01~b"}) decoder.feed(piece, 10, events);
  EXPECT_EQ(describe(events), "char 97 pasted; char 13 pasted; char 231 pasted; down B; char 98");
}

TEST(TerminalKeys, EscapeAloneNeedsItsTimeout) {
  TerminalKeyDecoder decoder;
  std::vector<HostEvent> events;
  decoder.feed("\x1b", 100, events);
  EXPECT_TRUE(events.empty());
  ASSERT_TRUE(decoder.deadline().has_value());
  decoder.expire(100 + TerminalKeyDecoder::EscapeTimeoutMs - 1, events);
  EXPECT_TRUE(events.empty()) << "too early";
  decoder.expire(100 + TerminalKeyDecoder::EscapeTimeoutMs, events);
  EXPECT_EQ(describe(events), "down Escape; char 27");
  EXPECT_FALSE(decoder.deadline().has_value());
}

TEST(TerminalKeys, EscapeFollowedInTimeIsAPrefixLateIsAKey) {
  TerminalKeyDecoder quick;
  std::vector<HostEvent> events;
  quick.feed("\x1b", 0, events);
  quick.feed("[", 10, events);
  quick.feed("A", 20, events);
  EXPECT_EQ(describe(events), "down Up");

  TerminalKeyDecoder slow;
  events.clear();
  slow.feed("\x1b", 0, events);
  slow.feed("x", 200, events);  // expire was never called: the late byte still settles the Escape
  EXPECT_EQ(describe(events), "down Escape; char 27; down X; char 120");
}

}  // namespace
}  // namespace kaldro::platform
