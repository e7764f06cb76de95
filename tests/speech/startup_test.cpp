// Speech start-up and shut-down: levels, the per-level keys, the external branch and the failure path.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "voice/speech_config.h"
#include "support/speech_rig.h"

namespace kaldro::speech::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// The settings of one level read from a KALDRO.INI of the given text.
struct IniFolder {
  explicit IniFolder(const std::string& text) { writeFile(folder.file("KALDRO.INI"), text); }
  platform::Configuration config() const {
    return platform::Configuration({{folder.path()}, folder.path(), folder.path()});
  }
  ScratchFolder folder;
};

TEST(SpeechConfig, PerLevelKeys) {
  IniFolder ini(
      "[SINTETIZADOR]\nDIFONES3=DIFONES2X\nCORTEFON3=40abc\nSOBRAFON3=7x\nINTERPAL3=90\nCORTAFALA3=Sim\n"
      "RAPIDINHO3=n\xE3o\nPAUSAPONTO3=300\nPAUSAVIRG3=abc\nPAUSADOISPONTOS2=10\n");
  const SynthSettings level3 = readSynthSettings(ini.config(), 3);
  EXPECT_EQ(level3.diphoneBase, "DIFONES2");
  EXPECT_EQ(level3.unitCut, 40);
  EXPECT_EQ(level3.unitMinimum, 0);
  EXPECT_EQ(level3.wordGap, 90);
  EXPECT_TRUE(level3.dropPeriods);
  EXPECT_FALSE(level3.fastRate);
  EXPECT_EQ(level3.pauseFullStop, 300);
  EXPECT_EQ(level3.pauseComma, 150);
  EXPECT_EQ(level3.pauseColon, 200);
  EXPECT_EQ(readSynthSettings(ini.config(), 2).pauseColon, 10);
}

TEST(SpeechConfig, ExternalSettings) {
  EXPECT_FALSE(readExternalSettings(IniFolder("[TRADUTOR]\nSAPI=Nao\n").config()));
  EXPECT_FALSE(readExternalSettings(IniFolder("[TRADUTOR]\nSAPI=\n").config()));
  auto sapi5 = readExternalSettings(IniFolder("[TRADUTOR]\nSAPI=S\n[SERVFALA]\nTIPOSAPI=5\nVELOCIDADE=15\nTOM=-3\n").config());
  ASSERT_TRUE(sapi5);
  EXPECT_EQ(sapi5->rate, 0);
  EXPECT_EQ(sapi5->pitch, -3);
  auto sapi4 = readExternalSettings(IniFolder("[TRADUTOR]\nSAPI=s\n[SERVFALA]\nTIPOSAPI=4\nVELOCIDADE=15\n").config());
  ASSERT_TRUE(sapi4);
  EXPECT_EQ(sapi4->rate, 15);
}

TEST(SpeechStart, LevelFromVelocidadeAndItsKeys) {
  SpeechRig rig("[TRADUTOR]\nVELOCIDADE=7\n[SINTETIZADOR]\nDIFONES3=TESTE\nPAUSAPONTO3=300\nCORTAFALA3=Sim\n");
  rig.start();
  EXPECT_EQ(rig.speech.speedLevel(), 3);
  EXPECT_EQ(rig.speech.pauseFullStop(), 300);
  EXPECT_TRUE(rig.player.dropPeriods());
  EXPECT_FALSE(rig.player.fastRate());
  EXPECT_EQ(rig.speech.lettersFolder(), rig.voice.letters);
  EXPECT_THAT(rig.external.calls, IsEmpty());
  EXPECT_FALSE(rig.speech.externalActive());
  // A restart at another level re-reads every key.
  rig.speech.stopAndFinishSpeech();
  EXPECT_FALSE(rig.speech.diphoneSynth().started());
  writeFile(rig.voice.folder.file("KALDRO.INI"), "[TRADUTOR]\nDIRLETRAS=" + rig.voice.letters + "\nDIRDIFONES=" +
                                                             rig.voice.diphones + "\n[SINTETIZADOR]\nDIFONES2=TESTE\n");
  rig.start(2);
  EXPECT_EQ(rig.speech.speedLevel(), 2);
  EXPECT_EQ(rig.speech.pauseFullStop(), 250);
  EXPECT_FALSE(rig.player.dropPeriods());
}

TEST(SpeechStart, ExternalSynthesizerStartsOrSpeechStaysBuiltIn) {
  SpeechRig rig("[TRADUTOR]\nSAPI=Sim\n[SERVFALA]\nVOZ=2\nVELOCIDADE=15\nTOM=1\nTIPOSAPI=5\n[SINTETIZADOR]\nDIFONES3=TESTE\n");
  rig.external.startAnswer = false;
  rig.start();
  EXPECT_THAT(rig.external.calls, ElementsAre("start 2 0 1 [] 5"));
  EXPECT_FALSE(rig.speech.externalActive());
  EXPECT_EQ(rig.speech.engineKind(), engine_kind::SpeechDispatcher);
  rig.speech.speakText("ba");
  EXPECT_THAT(rig.newTrace({"phonemes", "external"}), ElementsAre("phonemes [b/a]"));
}

TEST(SpeechStart, FailureWritesTwoLinesWaitsForEnterAndEnds) {
  SpeechRig rig("[SINTETIZADOR]\nDIFONES3=NADA\n", "key Enter\n");
  const auto end = kaldro::testing::runToProgramEnd([&] { rig.speech.startSpeech(0, ""); });
  EXPECT_EQ(end.status, 1);  // a program that cannot speak has failed
  EXPECT_EQ(end.standardError, "erro de inicializa\xC3\xA7\xC3\xA3o da voz: 1 (banco de dados de voz: NADA)\n");
  auto row = [&](int number) {
    std::string text = rig.row(number);
    return text.erase(text.find_last_not_of(' ') + 1);
  };
  EXPECT_EQ(row(1), "Erro de inicializa\xE7\xE3o: 1");
  EXPECT_EQ(row(2), "Banco de dados de voz: NADA");
  EXPECT_EQ(rig.host.remainingSteps(), 0u);
}

TEST(SpeechStart, NoDatabaseNameIsAFailureToo) {
  SpeechRig rig("");
  EXPECT_NE(rig.speech.tryStartSpeech(0, ""), 0);
  EXPECT_FALSE(rig.speech.diphoneSynth().started());
}

}  // namespace
}  // namespace kaldro::speech::testing
