// The diphone engine: start-up, tokens, pairs, unit fallbacks, cuts, letter files, pauses and buffer flushes.
#include "diphone/diphone_synth.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <random>

#include "diphone/database_writer.h"
#include "diphone/diphone_index.h"
#include "platform/config.h"
#include "support/program_run.h"
#include "support/wave_bytes.h"

namespace kaldro::diphone {
namespace {

using testing::le32;
using testing::waveFile;
using testing::writeFile;
using Runs = std::vector<std::pair<int, size_t>>;

// Runs of equal samples: (value, count) in order.
Runs runs(const std::vector<uint8_t>& samples) {
  Runs result;
  for (uint8_t s : samples) {
    if (!result.empty() && result.back().first == s) ++result.back().second;
    else result.push_back({s, 1});
  }
  return result;
}

// Keeps every image played and the phoneme strings traced.
class RecordingOutput : public DiphoneOutput {
 public:
  void playImageWait(const uint8_t* image, size_t bytes) override { images.emplace_back(image, image + bytes); }
  void waitSpeechEnd() override { ++waits; }
  void tracePhonemes(std::string_view phonemes) override { traced.emplace_back(phonemes); }
  // The samples of every image, in order.
  std::vector<uint8_t> samples() const {
    std::vector<uint8_t> all;
    for (const auto& image : images) all.insert(all.end(), image.begin() + kWaveHeaderSize, image.end());
    return all;
  }
  void clear() { images.clear(), traced.clear(), waits = 0; }

  std::vector<std::vector<uint8_t>> images;
  std::vector<std::string> traced;
  int waits = 0;
};

DiphoneUnit unit(const std::string& name, size_t count, uint8_t value) {
  return {name, std::vector<uint8_t>(count, value)};
}

// A voice with a few units of distinct constant values, letter files and a tiny rule set.
class DiphoneSynthTest : public ::testing::Test {
 protected:
  void SetUp() override {
    letters = root.path() + "/letras/";
    diphones = root.path() + "/difones/";
    std::filesystem::create_directories(letters);
    std::filesystem::create_directories(diphones);
    ASSERT_EQ(writeDiphoneDatabase(diphones + "DIFONES2",
                                   {unit("$K", 1000, 10), unit("$A", 800, 20), unit("$PA", 300, 30),
                                    unit("$ACIRC", 500, 50), unit("$NN", 600, 60), unit("$RR", 1000, 70),
                                    unit("$S", 400, 80), unit("$T", 500, 100), unit("$BIG", 65535, 90)}),
              "");
    writeFile(diphones + "regras.rgr", "(K)=k|\n(A)=a|\n(P)=p|\n");
    writeFile(diphones + "portug.exc", "pa=pA\n");
    writeFile(letters + "_75.wav", waveFile(200, 200));
    writeFile(letters + "_99.wav", waveFile(150, 199));
    writeFile(letters + "_1.wav", waveFile(120, 198));
    writeFile(letters + "_65.wav", waveFile(100, 197, std::string("LIST") + le32(6) + "INFOab"));
    writeFile(letters + "_66.wav", waveFile(0, 0));
    writeFile(letters + "_67.wav", "RIFF0000WAVEdata");
  }

  void start() { ASSERT_EQ(synth.startDiphoneSynth(DiphoneFolders{letters, diphones}), kStartReady); }
  Runs spoken(const std::string& phonemes) {
    output.clear();
    synth.speakPhonemes(phonemes);
    return runs(output.samples());
  }

  testing::ScratchFolder root;
  std::string letters, diphones;
  RecordingOutput output;
  DiphoneSynth synth{output};
};

TEST_F(DiphoneSynthTest, StartResults) {
  EXPECT_EQ(synth.startDiphoneSynth(DiphoneFolders{root.file("nada"), diphones}), kStartMissingFolderOrDatabase);
  EXPECT_EQ(synth.startDiphoneSynth(DiphoneFolders{letters, root.file("nada")}), kStartMissingFolderOrDatabase);
  synth.setDiphoneBase("");
  EXPECT_EQ(synth.startDiphoneSynth(DiphoneFolders{letters, diphones}), kStartMissingFolderOrDatabase);
  synth.setDiphoneBase("OUTRA");
  EXPECT_EQ(synth.startDiphoneSynth(DiphoneFolders{letters, diphones}), kStartMissingFolderOrDatabase);
  writeFile(diphones + "OUTRA.IND", "");
  EXPECT_EQ(synth.startDiphoneSynth(DiphoneFolders{letters, diphones}), kStartMissingFolderOrDatabase);
  // Names are found without regard to case, as data written for the original platform needs.
  synth.setDiphoneBase("difones2");
  std::filesystem::rename(diphones + "regras.rgr", diphones + "REGRAS.RGR");
  EXPECT_EQ(synth.startDiphoneSynth(DiphoneFolders{letters, diphones}), kStartReady);
  EXPECT_TRUE(synth.started());
  std::filesystem::remove(diphones + "portug.exc");
  EXPECT_EQ(synth.startDiphoneSynth(DiphoneFolders{letters, diphones}), kStartRulesUnreadable);
  EXPECT_FALSE(synth.started());
}

TEST_F(DiphoneSynthTest, StartLoadsTranslatorFiles) {
  start();
  EXPECT_EQ(synth.translateText("pa ka"), "[p/A][k/a]");
  synth.finishDiphoneSynth();
  EXPECT_EQ(synth.translator().ruleCount(), 0u);
  synth.speakPhonemes("[ /_K]");  // after finishing: traced, silent
  EXPECT_TRUE(output.images.empty());
  EXPECT_EQ(output.traced, std::vector<std::string>{"[ /_K]"});
}

TEST_F(DiphoneSynthTest, LetterFilesByCharacterCode) {
  start();
  EXPECT_EQ(spoken("[ /_K]"), (Runs{{200, 200}}));
  EXPECT_EQ(spoken("[ /_c]"), (Runs{{199, 150}}));
  EXPECT_EQ(spoken("[ /_\x01]"), (Runs{{198, 120}}));
  EXPECT_EQ(spoken("[ /_A]"), (Runs{{197, 100}}));  // a list chunk before the data chunk
  EXPECT_EQ(spoken("[ /_Z]"), Runs{});                // missing, empty or malformed: silent
  EXPECT_EQ(spoken("[ /_B]"), Runs{});
  EXPECT_EQ(spoken("[ /_C]"), Runs{});
  EXPECT_EQ(spoken("[ /_\x02]"), Runs{});  // a two-character letter name "_2" is no noise burst
  EXPECT_EQ(output.traced, std::vector<std::string>{"[ /_\x02]"});
}

TEST_F(DiphoneSynthTest, PausesAndWordGaps) {
  start();
  EXPECT_EQ(spoken("[ /_,]"), (Runs{{128, 4000}}));
  EXPECT_EQ(spoken("[ /_.]"), (Runs{{128, 8000}}));
  EXPECT_EQ(spoken("[ /_;]"), (Runs{{128, 6000}}));
  EXPECT_EQ(spoken("[ /_:]"), (Runs{{128, 8000}}));
  EXPECT_EQ(spoken("[ /_K][ /_c]"), (Runs{{200, 200}, {128, 100}, {199, 150}}));
  synth.setConcatSettings(400, 0, 250);  // silence comes in blocks of 100
  EXPECT_EQ(spoken("[ /_K][ /_c][ /_K]"), (Runs{{200, 200}, {128, 200}, {199, 150}, {128, 200}, {200, 200}}));
}

TEST_F(DiphoneSynthTest, CutAndMinimumLengths) {
  start();
  EXPECT_EQ(spoken("[pa]"), Runs{});  // 300 samples, cut by 400
  synth.setConcatSettings(400, 250, 100);
  EXPECT_EQ(spoken("[pa]"), (Runs{{30, 250}}));
  synth.setConcatSettings(400, 500, 100);
  EXPECT_EQ(spoken("[pa]"), (Runs{{30, 300}}));  // never more than the unit has
  synth.setConcatSettings(-1000, 0, 100);
  EXPECT_EQ(spoken("[pa]"), (Runs{{30, 300}}));
  synth.setConcatSettings(100, 0, 100);
  EXPECT_EQ(spoken("[pA]"), (Runs{{30, 300}}));  // a stressed pair is played whole
  EXPECT_EQ(spoken("[s]"), (Runs{{80, 400}}));   // two-character names are never cut
}

TEST_F(DiphoneSynthTest, MissingPairsAreBuiltFromSmallerUnits) {
  start();
  EXPECT_EQ(spoken("[ka]"), (Runs{{10, 900}, {20, 800}}));
  auto samples = (output.clear(), synth.speakPhonemes("[ga]"), output.samples());
  ASSERT_EQ(samples.size(), 300u + 800u);  // a noise burst for the missing $G
  for (size_t i = 0; i < 300; ++i) EXPECT_TRUE(samples[i] >= 88 && samples[i] <= 167);
  EXPECT_EQ(runs({samples.begin() + 300, samples.end()}), (Runs{{20, 800}}));
  EXPECT_EQ(spoken("[a~]"), (Runs{{50, 450}, {60, 180}}));  // $aCIRC whole at 0.9, $nn cut at 0.9
  EXPECT_EQ(spoken("[ka^]"), (Runs{{10, 900}, {50, 100}}));
  EXPECT_EQ(spoken("[ka~w]"), (Runs{{10, 540}, {50, 60}, {20, 648}, {60, 180}}));
  EXPECT_EQ(spoken("[xyz12345]"), Runs{});  // irreducible: silent
}

TEST_F(DiphoneSynthTest, GroupsSplitIntoPairs) {
  start();
  EXPECT_EQ(spoken("[tka]"), (Runs{{100, 500}, {10, 900}, {20, 800}}));  // consonant cluster
  EXPECT_EQ(spoken("[karr]"), (Runs{{10, 900}, {20, 800}, {70, 600}}));  // final rr
  EXPECT_EQ(spoken("[as]"), (Runs{{20, 560}, {80, 400}}));               // plural s shortens the rest
  EXPECT_EQ(spoken("[k/a]"), (Runs{{10, 900}, {20, 800}}));              // units of a word join
}

TEST_F(DiphoneSynthTest, SoundLargerThanTheBufferIsPlayedInPieces) {
  start();
  output.clear();
  std::string phonemes;
  for (int i = 0; i < 10; ++i) phonemes += "[ /_.]";
  synth.speakPhonemes(phonemes);
  ASSERT_GE(output.images.size(), 2u);
  size_t total = 0;
  for (const auto& image : output.images) {
    ASSERT_GT(image.size(), kWaveHeaderSize);
    const size_t data = image.size() - kWaveHeaderSize;
    EXPECT_LE(data, 63955u);
    EXPECT_EQ(std::string(image.begin(), image.begin() + kWaveHeaderSize), testing::waveHeader(data));
    total += data;
  }
  EXPECT_EQ(total, 10u * 8000 + 9 * 100);
  EXPECT_GE(output.waits, 1);

  output.clear();
  synth.playUnit("$BIG", 2, 1.0);  // one unit larger than the whole buffer
  synth.flush();
  ASSERT_EQ(output.images.size(), 2u);
  EXPECT_EQ(output.images[0].size() - kWaveHeaderSize, 63955u);
  EXPECT_EQ(runs(output.samples()), (Runs{{90, 65535}}));
}

TEST_F(DiphoneSynthTest, HostilePhonemeStringsNeverOverrun) {
  start();
  std::mt19937 random(99);
  const std::string pieces[] = {"[", "]", "/", " ", "_", "_,", "a", "k", "A", "~", "^", "w", "y", "s", "rr", "tch", "$", "\xFF"};
  for (int round = 0; round < 2000; ++round) {
    std::string s;
    for (int i = random() % 60; i > 0; --i) s += pieces[random() % std::size(pieces)];
    synth.speakPhonemes(s);
  }
  output.clear();
  synth.speakPhonemes(std::string(200, 'a') + "_");  // over-long token, "_" at the very end
  for (const auto& image : output.images) EXPECT_LE(image.size(), kSoundBufferSize);
}

TEST(DiphoneIndexTest, BinarySearchFindsEveryNameAndWriterRefusesBadUnits) {
  std::map<std::string, uint16_t> names;
  const std::string letters = "$ABKNRST";
  for (char a : letters)
    for (char b : letters) {
      names[std::string("$") + a] = static_cast<uint16_t>(names.size());
      names[std::string("$") + a + b] = static_cast<uint16_t>(names.size());
    }
  names["$ABCDEFG"] = 7;
  std::string bytes;
  for (const auto& [name, length] : names) bytes += encodeIndexRecord(name, {length, 1000u + length});
  DiphoneIndex index(bytes + "xyz");  // a trailing remainder is ignored
  EXPECT_EQ(index.size(), names.size());
  for (const auto& [name, length] : names) {
    auto found = index.find(name);
    ASSERT_TRUE(found) << name;
    EXPECT_EQ(found->length, length);
    EXPECT_EQ(found->offset, 1000u + length);
  }
  EXPECT_FALSE(index.find("$"));
  EXPECT_FALSE(index.find("$Z"));
  EXPECT_FALSE(index.find("$ABCDEFGH"));
  EXPECT_FALSE(index.find("$ABCDEFGHI"));
  EXPECT_FALSE(DiphoneIndex().find("$A"));

  // The writer refuses what the index cannot hold.
  testing::ScratchFolder folder;
  EXPECT_NE(writeDiphoneDatabase(folder.file("x"), {unit("$ABCDEFGHI", 1, 1)}), "");
  EXPECT_NE(writeDiphoneDatabase(folder.file("x"), {unit("$A", 1, 1), unit("$a", 1, 1)}), "");
  EXPECT_NE(writeDiphoneDatabase(folder.file("x"), {unit("$A", 65536, 1)}), "");
  EXPECT_FALSE(std::filesystem::exists(folder.file("x.IND")));
}

// From the system folder's KALDRO.INI only; a missing or empty value takes the folder under PREFIX.
TEST(DiphoneFoldersTest, FromConfigurationOrPrefixDefaults) {
  struct Case {
    const char* ini;  // nullptr: no KALDRO.INI
    bool inStartDirectory;
    const char* letters;
    const char* diphones;
  };
  const Case cases[] = {
      {nullptr, false, "/opt/k/share/kaldro/som/letras/", "/opt/k/share/kaldro/som/difones/"},
      {"[TRADUTOR]\ndirLetras=c:\\voz\\letras\nDIRDIFONES=/srv/dif/\n", false, "c:/voz/letras/", "/srv/dif/"},
      {"[TRADUTOR]\nDIRLETRAS=\nDIRDIFONES=\n", false, "/opt/k/share/kaldro/som/letras/", "/opt/k/share/kaldro/som/difones/"},
      {"[TRADUTOR]\nDIRLETRAS=/srv/let\n", true, "/opt/k/share/kaldro/som/letras/", "/opt/k/share/kaldro/som/difones/"},
  };
  for (const Case& c : cases) {
    testing::ScratchFolder system, start;
    if (c.ini) writeFile((c.inStartDirectory ? start : system).file("KALDRO.INI"), c.ini);
    platform::Configuration config(platform::ConfigLocations{{system.path()}, start.path(), "/opt/k"});
    const DiphoneFolders folders = diphoneFoldersFromConfig(config);
    EXPECT_EQ(folders.letters, c.letters) << (c.ini ? c.ini : "none");
    EXPECT_EQ(folders.diphones, c.diphones) << (c.ini ? c.ini : "none");
  }
}

}  // namespace
}  // namespace kaldro::diphone
