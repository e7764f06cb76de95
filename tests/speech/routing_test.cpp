// speakText's routing through the trace: numbers, spelling, hyphens, repeats, pauses and keys.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "support/speech_rig.h"

namespace kaldro::speech::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

using Lines = std::vector<std::string>;

// What one text makes heard: recordings, characters, phoneme strings and clicks, in order.
Lines heard(SpeechRig& rig, std::string_view text) {
  rig.newTrace();
  rig.speech.speakText(text);
  return rig.newTrace({"word", "char", "phonemes", "click"});
}

TEST(SpeakTextRouting, NumbersSpellingWordsAndRepeats) {
  SpeechRig rig;
  rig.start();
  const std::pair<const char*, Lines> cases[] = {
      {"007", {"word _zero", "word _zero", "word _sete"}},
      {"12-34", {"char 49", "char 50", "char 45", "char 51", "char 52"}},
      {"1234567", {"char 49", "char 50", "char 51", "char 52", "char 53", "char 54", "char 55"}},
      {"123456", {"word _cento", "word _e", "word _vinte", "word _e", "word _tres", "word _mil", "word _e",
                  "word _quatroc", "word _e", "word _cinquen", "word _e", "word _seis"}},
      {"-5", {"word _MENOS", "word _cinco"}},
      {"a - b", {"phonemes [a]", "char 45", "phonemes [ /_b]"}},
      // Inside a compound word the hyphen is silent, and each half is its own run.
      {"guarda-chuva", {"phonemes [g/u/A/r/d/a]", "phonemes [c/h/U/v/a]"}},
      {"www,", {"char 119", "char 119", "char 119", "char 44"}},
      {"www", {"phonemes [u/U/u]"}},
      {"http://x", {"phonemes [ /_h][ /_t][ /_t][ /_p]", "char 58", "char 47", "char 47", "phonemes [ /_x]"}},
      {"=======", {"char 61", "char 61", "char 61", "char 61", "click", "click", "click"}},
      // A run of another kind restarts the count.
      {"==a==", {"char 61", "char 61", "phonemes [a]", "char 61", "char 61"}},
      // A hyphen is still spoken after its click.
      {"------", {"char 45", "char 45", "char 45", "char 45", "click", "char 45", "click", "char 45"}},
  };
  for (const auto& [text, lines] : cases) EXPECT_EQ(heard(rig, text), lines) << text;
}

TEST(SpeakTextRouting, LongWordRunIsSpokenWholeInPartsCutAtBlanks) {
  SpeechRig rig;
  rig.start();
  std::string text;
  for (int i = 0; i < 500; ++i) text += "ba ";
  const Lines parts = heard(rig, text);
  ASSERT_EQ(parts.size(), 2u);
  size_t words = 0;
  for (const std::string& part : parts)
    for (size_t at = part.find("[b/a]"); at != std::string::npos; at = part.find("[b/a]", at + 1)) ++words;
  EXPECT_EQ(words, 500u);
}

// Virtual milliseconds that speaking a text takes.
int64_t duration(SpeechRig& rig, std::string_view text) {
  const int64_t before = rig.host.monotonicMs();
  rig.speech.speakText(text);
  return rig.host.monotonicMs() - before;
}

TEST(SpeakTextRouting, PunctuationPausesOnlyBeforeABlank) {
  SpeechRig rig("[SINTETIZADOR]\nDIFONES3=TESTE\nPAUSAPONTO3=300\n");
  rig.start();
  EXPECT_EQ(duration(rig, "a, b") - duration(rig, "a,b"), 150);
  EXPECT_EQ(duration(rig, "a. b") - duration(rig, "a.b"), 300);
  // After a word run "a -b" would drop the hyphen as in a compound word.
  EXPECT_EQ(duration(rig, "=- b") - duration(rig, "=-b"), 150);
  // Colons pause either way; a blank or tab only separates.
  EXPECT_EQ(duration(rig, "a: b") - duration(rig, "a:b"), 0);
  EXPECT_GE(duration(rig, "a:b") - duration(rig, "a\tb"), 200);
}

TEST(SpeakTextRouting, KeyStopsALongTextAndStaysQueued) {
  SpeechRig rig("[SINTETIZADOR]\nDIFONES3=TESTE\n", "wait 400\nkey X\n");
  rig.start();
  std::string text;
  for (int i = 0; i < 40; ++i) text += "ba, ";
  rig.speech.speakText(text);
  const Lines spoken = rig.newTrace({"phonemes"});
  EXPECT_GT(spoken.size(), 0u);
  EXPECT_LT(spoken.size(), 10u);
  ASSERT_TRUE(rig.console.keyPressed());
  EXPECT_EQ(rig.console.readKey(), 'x');
}

TEST(SpeakTextRouting, ExternalSynthesizerTakesTheWholeTextAndCharactersWait) {
  SpeechRig rig("[TRADUTOR]\nSAPI=Sim\n[SERVFALA]\nTIPOSAPI=3\n[SINTETIZADOR]\nDIFONES3=TESTE\n");
  rig.start();
  ASSERT_TRUE(rig.speech.externalActive());
  rig.speech.speakText("a, 12");
  EXPECT_EQ(rig.external.calls.back(), "speak a, 12");
  EXPECT_GT(rig.external.busyPolls, 0);  // returned while it still speaks
  EXPECT_THAT(rig.newTrace({"external", "phonemes", "word"}), ElementsAre("external a, 12"));
  rig.speech.speakChar('a');
  EXPECT_EQ(rig.external.busyPolls, 0);
  rig.speech.stopAndFinishSpeech();
  EXPECT_EQ(rig.external.calls.back(), "finish");
  EXPECT_FALSE(rig.speech.externalActive());
}

// VOZ may name a voice; a synthesizer lost while in use (found while waiting for it, or when it is
// handed a text it cannot take) is finished and the built-in voice speaks that text and the rest.
TEST(SpeakTextRouting, ANamedVoiceReachesTheSynthesizerAndALostOneHandsOver) {
  for (bool atSpeak : {false, true}) {
    SpeechRig rig("[TRADUTOR]\nSAPI=Sim\n[SERVFALA]\nVOZ=Portugu\xEAs (Brasil)\nTIPOSAPI=5\n"
                  "[SINTETIZADOR]\nDIFONES3=TESTE\n");
    rig.start();
    EXPECT_EQ(rig.external.voiceName, "Portugu\xC3\xAAs (Brasil)");
    EXPECT_EQ(rig.external.calls.front(), "start 0 0 0 [] 5");
    rig.speech.speakText("ba");
    (atSpeak ? rig.external.loseAtSpeak : rig.external.lostCause) = "perdido";
    rig.speech.speakText("da");
    rig.speech.speakText("fa");
    std::vector<std::string> heard{"external ba", "external-lost perdido", "phonemes [d/a]", "phonemes [f/a]"};
    if (atSpeak) heard.insert(heard.begin() + 1, "external da");
    EXPECT_EQ(rig.newTrace({"external", "external-lost", "phonemes"}), heard) << atSpeak;
    EXPECT_FALSE(rig.speech.externalActive());
    EXPECT_EQ(std::count(rig.external.calls.begin(), rig.external.calls.end(), "finish"), 1);
    rig.speech.stopAndFinishSpeech();
    EXPECT_EQ(std::count(rig.external.calls.begin(), rig.external.calls.end(), "finish"), 1);
  }
}

TEST(SpeechSounds, BeepDiscardsTypedAheadKeysClickAndDtmf) {
  SpeechRig rig("[SINTETIZADOR]\nDIFONES3=TESTE\nRAPIDINHO3=S\nCORTAFALA3=S\n", "key A\nkey B\n");
  rig.start();
  rig.console.waitForMessage();
  rig.console.waitForMessage();
  ASSERT_EQ(rig.console.queuedKeyCount(), 2);
  rig.speech.beepSound();
  EXPECT_EQ(rig.console.queuedKeyCount(), 0);
  EXPECT_THAT(rig.newTrace({"beep", "play"}), ElementsAre("beep", "play - 11025 8 1 512"));

  rig.speech.clickSound();
  EXPECT_THAT(rig.newTrace({"click", "play"}), ElementsAre("click", "play - 11025 8 1 256"));
  EXPECT_TRUE(rig.player.dropPeriods());

  // Telephone tones are played at their own rate, whatever the speed-up.
  rig.speech.playDtmf("1*x,#");
  EXPECT_THAT(rig.newTrace({"play"}), ElementsAre("play dtmf_1.wav 11025 8 1 100", "play dtmf_X.wav 11025 8 1 100",
                                                  "play dtmf_#.wav 11025 8 1 100"));
  EXPECT_TRUE(rig.player.fastRate());
}

TEST(SpeechSounds, MissingRecordingIsSilent) {
  SpeechRig rig;
  rig.start();
  std::filesystem::remove(rig.voice.letters + "_65.wav");
  rig.speech.speakChar('A');
  rig.speech.playWord("_naoexiste");
  EXPECT_THAT(rig.newTrace({"play"}), IsEmpty());
}

TEST(SpeechText, UpcaseLatin1) {
  EXPECT_EQ(upcaseLatin1("abz\xE0\xE7\xFF\xDF@["), "ABZ\xC0\xC7\xDF\xDF@[");
}

}  // namespace
}  // namespace kaldro::speech::testing
