// KALDRO.INI: the private-profile reading, where the file is found, and the "@" folder substitution.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "platform/config.h"
#include "platform/profile.h"

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

class ConfigFolders : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/kaldro_config_XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    root_ = pattern;
    for (const char* folder : {"/sys1", "/sys2", "/start"}) ::mkdir((root_ + folder).c_str(), 0700);
  }
  void TearDown() override { std::filesystem::remove_all(root_); }

  void write(const std::string& relativePath, const std::string& text) {
    std::ofstream(root_ + relativePath, std::ios::binary) << text;
  }
  Configuration configuration() const {
    return Configuration(ConfigLocations{{root_ + "/sys1", root_ + "/sys2"}, root_ + "/start/", root_});
  }
  std::string start() const { return root_ + "/start"; }

  std::string root_;
};

TEST_F(ConfigFolders, AtStandsForTheProgramFolder) {
  write("/sys2/KALDRO.INI",
        "[KALDRO]\nPGMKALDRO=c:\\kaldir\nVOZ=br4\n"
        "[TRADUTOR]\nDADOS=@\\dados\nLISTA=x;@\\som;@\\letras\\\nCOMUM=sem arroba\n");
  Configuration config = configuration();
  EXPECT_EQ(config.readConfig("TRADUTOR", "DADOS"), "c:/kaldir/dados");
  EXPECT_EQ(config.readConfig("TRADUTOR", "LISTA"), "x;c:/kaldir/som;c:/kaldir/letras/");
  EXPECT_EQ(config.readConfig("TRADUTOR", "COMUM"), "sem arroba");
  EXPECT_EQ(config.readConfig("", "VOZ"), "br4");  // an empty section is KALDRO
  EXPECT_EQ(config.readConfig("TRADUTOR", "FALTA"), "");
}

TEST_F(ConfigFolders, AtWithoutProgramFolderIsTheStartDirectory) {
  write("/sys1/kaldro.ini", "[TRADUTOR]\nDADOS=@\\dados\n");  // the file name in any case
  EXPECT_EQ(configuration().readConfig("TRADUTOR", "DADOS"), start() + "/dados");
  // A program folder that begins with "@" is not used either.
  write("/sys1/kaldro.ini", "[KALDRO]\nPGMKALDRO=@\\x\n[TRADUTOR]\nDADOS=@\\dados\n");
  EXPECT_EQ(configuration().readConfig("TRADUTOR", "DADOS"), start() + "/dados");
}

TEST_F(ConfigFolders, AProgramFolderHoldingAtSlashIsSubstitutedOnce) {
  write("/sys1/KALDRO.INI", "[KALDRO]\nPGMKALDRO=/opt/a@/b\n[TRADUTOR]\nDADOS=@/dados;@/som\n");
  EXPECT_EQ(configuration().readConfig("TRADUTOR", "DADOS"), "/opt/a@/b/dados;/opt/a@/b/som");
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
  const char* saved[3] = {std::getenv("KALDRO_CONFIG_DIR"), std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME")};
  std::string keep[3];
  for (int i = 0; i < 3; ++i) keep[i] = saved[i] ? saved[i] : "";
  ::setenv("KALDRO_CONFIG_DIR", "/cfg", 1);
  ::setenv("XDG_CONFIG_HOME", "/xdg", 1);
  ConfigLocations withXdg = configLocationsFromEnvironment();
  ::unsetenv("KALDRO_CONFIG_DIR");
  ::unsetenv("XDG_CONFIG_HOME");
  ::setenv("HOME", "/casa", 1);
  ConfigLocations withHome = configLocationsFromEnvironment();
  const char* names[3] = {"KALDRO_CONFIG_DIR", "XDG_CONFIG_HOME", "HOME"};
  for (int i = 0; i < 3; ++i) {
    if (saved[i]) {
      ::setenv(names[i], keep[i].c_str(), 1);
    } else {
      ::unsetenv(names[i]);
    }
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
