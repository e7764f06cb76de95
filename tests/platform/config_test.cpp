// KALDRO.INI: the private-profile reading, where the file is found, and the "@" folder substitution.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/config.h"
#include "platform/profile.h"
#include "support/program_run.h"

namespace kaldro::platform {
namespace {

TEST(Profile, PrivateProfileSemantics) {
  const std::string ini =
      "; comment\n"
      "[video]\n"
      "  Cores =  \"  azul  \"  \r\n"
      "fonte='Courier'\n"
      "meia=\"aberta\n"
      "cores=segunda\n"
      "vazio=\n"
      "[ Video ]\n"
      "outra=1\n"
      "[BRAILLE]\n"
      "MODO=2\n";
  // Section and key without regard to case; blanks around the value gone; one pair of quotes removed.
  EXPECT_EQ(findProfileValue(ini, "VIDEO", "CORES", 80), "  azul  ");
  EXPECT_EQ(findProfileValue(ini, "Video", "FONTE", 80), "Courier");
  EXPECT_EQ(findProfileValue(ini, "VIDEO", "MEIA", 80), "\"aberta");
  EXPECT_EQ(findProfileValue(ini, "VIDEO", "VAZIO", 80), "");
  EXPECT_EQ(findProfileValue(ini, "video", "outra", 80), "1");
  EXPECT_EQ(findProfileValue(ini, "braille", "modo", 80), "2");
  // Missing key, missing section, a key of another section.
  EXPECT_FALSE(findProfileValue(ini, "VIDEO", "NADA", 80));
  EXPECT_FALSE(findProfileValue(ini, "SOM", "CORES", 80));
  EXPECT_FALSE(findProfileValue(ini, "BRAILLE", "CORES", 80));
  // Cut to the buffer, less one place for the terminator.
  EXPECT_EQ(findProfileValue(ini, "VIDEO", "FONTE", 4), "Cou");
  EXPECT_EQ(findProfileValue(ini, "VIDEO", "FONTE", 1), "");
  // A UTF-8 file gives CP1252 values.
  EXPECT_EQ(findProfileValue("[K]\nNOME=João\n", "K", "NOME", 80), "Jo\xE3o");
}

class ConfigFolders : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* folder : {"/sys1", "/sys2", "/start"}) ::mkdir((root_ + folder).c_str(), 0700);
  }
  void write(const std::string& relativePath, const std::string& text) {
    kaldro::testing::writeFile(root_ + relativePath, text);
  }
  Configuration configuration() const {
    return Configuration(ConfigLocations{{root_ + "/sys1", root_ + "/sys2"}, root_ + "/start/", root_});
  }

  kaldro::testing::ScratchFolder scratch_;
  const std::string root_ = scratch_.path();
};

TEST_F(ConfigFolders, AtStandsForTheProgramFolderOrElseTheStartDirectory) {
  write("/sys2/KALDRO.INI",
        "[KALDRO]\nPGMKALDRO=c:\\kaldir\nVOZ=br4\n"
        "[TRADUTOR]\nDADOS=@\\dados\nLISTA=x;@\\som;@\\letras\\\nCOMUM=sem arroba\n");
  Configuration config = configuration();
  EXPECT_EQ(config.readConfig("TRADUTOR", "DADOS"), "c:/kaldir/dados");
  EXPECT_EQ(config.readConfig("TRADUTOR", "LISTA"), "x;c:/kaldir/som;c:/kaldir/letras/");
  EXPECT_EQ(config.readConfig("TRADUTOR", "COMUM"), "sem arroba");
  EXPECT_EQ(config.readConfig("", "VOZ"), "br4");  // an empty section is KALDRO
  EXPECT_EQ(config.readConfig("TRADUTOR", "FALTA"), "");

  // The file name in any case; without a program folder, or with one that begins with "@", the start
  // directory; a program folder holding "@/" is substituted once.
  const std::pair<const char*, std::string> cases[] = {
      {"[TRADUTOR]\nDADOS=@\\dados\n", root_ + "/start/dados"},
      {"[KALDRO]\nPGMKALDRO=@\\x\n[TRADUTOR]\nDADOS=@\\dados\n", root_ + "/start/dados"},
      {"[KALDRO]\nPGMKALDRO=/opt/a@/b\n[TRADUTOR]\nDADOS=@/dados;@/som\n", "/opt/a@/b/dados;/opt/a@/b/som"},
  };
  for (const auto& [ini, expected] : cases) {
    write("/sys1/kaldro.ini", ini);
    EXPECT_EQ(configuration().readConfig("TRADUTOR", "DADOS"), expected) << ini;
  }
}

TEST_F(ConfigFolders, TheFirstSystemFolderHoldingTheFileWins) {
  write("/sys1/KALDRO.INI", "[VIDEO]\nCOR=1\n");
  write("/sys2/KALDRO.INI", "[VIDEO]\nCOR=2\n");
  write("/start/KALDRO.INI", "[VIDEO]\nCOR=3\n");
  Configuration config = configuration();
  EXPECT_EQ(config.readConfig("VIDEO", "COR"), "1");
  EXPECT_EQ(config.readSystemValue("VIDEO", "COR", "x", 80), "1");
  std::filesystem::remove(root_ + "/sys1/KALDRO.INI");
  EXPECT_EQ(config.readConfig("VIDEO", "COR"), "2");  // looked for anew at each lookup
}

TEST_F(ConfigFolders, AFileOnlyInTheStartDirectoryServesReadConfigButNotSystemValues) {
  write("/start/KALDRO.INI", "[TRADUTOR]\nDIRLETRAS=d:\\letras\\\nVELOCIDADE=2\n");
  Configuration config = configuration();
  EXPECT_EQ(config.readConfig("TRADUTOR", "VELOCIDADE"), "2");
  EXPECT_EQ(config.readConfig("TRADUTOR", "DIRLETRAS"), "d:/letras/");
  EXPECT_EQ(config.readSystemValue("TRADUTOR", "DIRLETRAS", "c:\\kaldir\\som\\letras\\", 80),
            "c:\\kaldir\\som\\letras\\");
  EXPECT_FALSE(config.findSystemValue("TRADUTOR", "VELOCIDADE", 80));
  EXPECT_EQ(config.readSystemValue("TRADUTOR", "DIRLETRAS", "0123456789", 5), "0123");
}

TEST_F(ConfigFolders, SystemValuesTellAMissingKeyFromAnEmptyOneAndTakeNoSubstitution) {
  write("/sys2/KALDRO.INI", "[KALDRO]\nPGMKALDRO=/p\n[VIDEO]\nFONTE=\nDIR=@\\x\n");
  Configuration config = configuration();
  EXPECT_EQ(config.findSystemValue("VIDEO", "FONTE", 80), "");
  EXPECT_FALSE(config.findSystemValue("VIDEO", "TAMANHO", 80));
  EXPECT_EQ(config.readSystemValue("VIDEO", "DIR", "", 80), "@/x");
}

TEST(ConfigLocations, SystemFolderOrder) {
  using kaldro::testing::ScopedEnvironment;
  ConfigLocations withXdg, withHome;
  {
    ScopedEnvironment own("KALDRO_CONFIG_DIR", "/cfg"), xdg("XDG_CONFIG_HOME", "/xdg");
    withXdg = configLocationsFromEnvironment();
  }
  {
    ScopedEnvironment own("KALDRO_CONFIG_DIR", nullptr), xdg("XDG_CONFIG_HOME", nullptr), home("HOME", "/casa");
    withHome = configLocationsFromEnvironment();
  }
  const std::string prefix = executablePrefix();
  EXPECT_EQ(withXdg.systemFolders,
            (std::vector<std::string>{"/cfg", "/xdg/kaldro", prefix + "/etc/kaldro", "/etc/kaldro"}));
  EXPECT_EQ(withHome.systemFolders,
            (std::vector<std::string>{"/casa/.config/kaldro", prefix + "/etc/kaldro", "/etc/kaldro"}));
  EXPECT_EQ(withXdg.startDirectory, currentDirectory());
}

}  // namespace
}  // namespace kaldro::platform
