// The engine's front end as a whole: its data files and their faults, the MBROLA lines of
// Portuguese sentences, and kaldro-fala's --normal and --pho.
#include "tts/front_end.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/config.h"
#include "support/program_run.h"

namespace kaldro::tts {
namespace {

using testing::ScratchFolder;

const std::string kShippedData = std::string(KALDRO_BIN_DIR) + "/../share/kaldro/ormiatts";

// A copy of the installed engine data in a scratch folder, to be spoiled file by file.
struct DataCopy {
  ScratchFolder folder;
  DataCopy() {
    for (const auto& entry : std::filesystem::directory_iterator(kShippedData))
      std::filesystem::copy_file(entry.path(), folder.file(entry.path().filename().string()));
  }
  DataFiles files() const { return dataFilesIn(folder.path() + "/"); }
};

TEST(FrontEndLoad, EachFileFailsAsItsOwnLoader) {
  struct Case {
    const char* name;
    const char* file;      // spoiled
    const char* contents;  // nullptr: removed
    LoadResult result;
    std::vector<std::string> messages;
  };
  const Case cases[] = {
      {"the shipped data", nullptr, nullptr, LoadResult::Loaded, {}},
      {"prosody file missing", "portug.pro", nullptr, LoadResult::ProsodyFailed,
       {"Configuração da prosódia não foi achada"}},
      {"prosody file without patterns", "portug.pro", "[DURAÇÃO]\n[CHAVES]\n", LoadResult::ProsodyFailed,
       {"Prosódia: especificações ausentes"}},
      {"diphone list missing", "portug.dfn", nullptr, LoadResult::ProsodyFailed, {}},
  };
  for (const Case& c : cases) {
    DataCopy data;
    if (c.file) {
      std::filesystem::remove(data.folder.file(c.file));
      if (c.contents) data.folder.write(c.file, c.contents);
    }
    std::vector<std::string> messages;
    FrontEnd frontEnd([&](const std::string& message) { messages.push_back(message); });
    EXPECT_EQ(frontEnd.load(data.files()), c.result) << c.name;
    EXPECT_EQ(messages, c.messages) << c.name;
  }
  EXPECT_EQ(loadFailureText(LoadResult::ProsodyFailed), "Erro no arquivo de prosódia");
  EXPECT_EQ(loadFailureText(LoadResult::LexiconFailed), "Erro na base de dados de português");
  EXPECT_EQ(loadFailureText(LoadResult::AbbreviationsFailed), "Erro no arquivo de abreviaturas");
}

TEST(FrontEndLoad, DataFolderAndBaseNameFromTheConfiguration) {
  ScratchFolder folder;
  std::filesystem::create_directory(folder.file("motor"));
  folder.write("motor/MEU.PRO", "");
  platform::ConfigLocations locations;
  locations.systemFolders = {folder.path()};
  locations.startDirectory = folder.path();
  locations.prefix = "/opt/kaldro";
  const platform::Configuration configuration(locations);

  // No KALDRO.INI: the tree's own folder and the name portug.
  EXPECT_EQ(dataFilesFromConfig(configuration).prosody, "/opt/kaldro/share/kaldro/ormiatts/portug.pro");
  // DIR written the Windows way, without its final slash; a data file found whatever its case.
  folder.write("KALDRO.INI", "[ORMIATTS]\nDIR=" + folder.path() + "\\motor\nBASE=meu\n");
  const DataFiles files = dataFilesFromConfig(configuration);
  EXPECT_EQ(files.prosody, folder.file("motor/MEU.PRO"));
  EXPECT_EQ(files.rules, folder.file("motor/meu.nrl"));
  EXPECT_EQ(files.diphones, folder.file("motor/meu.dfn"));
}

TEST(KaldroFalaOrmia, NormalAndPhoPrintTheEngineText) {
  struct Case {
    const char* name;
    std::vector<std::string> arguments;
    std::string iniFile;  // KALDRO.INI of the run; empty: the tree's
    int status;
    std::string inOutput, inErrors;
  };
  const Case cases[] = {
      {"MBROLA lines end with #", {"--engine", "ormia", "--pho", "Sim. Não"}, "", 0, ";Não\n", ""},
      {"one line per text", {"--engine", "ormia", "--normal", "sim", "não"}, "", 0, "não\n", ""},
      {"--pho needs the engine", {"--pho", "Sim"}, "", 2, "", "--engine ormia"},
      {"another engine", {"--engine", "outro", "--pho", "Sim"}, "", 2, "", "--engine ormia"},
      {"data folder without the files", {"--engine", "ormia", "--pho", "Sim"}, "[ORMIATTS]\nDIR=/nada\n", 1, "",
       "Erro no arquivo de prosódia"},
  };
  for (const Case& c : cases) {
    ScratchFolder folder;
    if (!c.iniFile.empty()) folder.write("KALDRO.INI", c.iniFile);
    const testing::ProgramResult result = testing::runProgram("kaldro-fala", c.arguments, "", folder);
    EXPECT_EQ(result.status, c.status) << c.name << ": " << result.standardError;
    EXPECT_NE(result.standardOutput.find(c.inOutput), std::string::npos) << c.name << ": " << result.standardOutput;
    EXPECT_NE(result.standardError.find(c.inErrors), std::string::npos) << c.name << ": " << result.standardError;
    if (c.status == 0 && c.arguments[2] == "--pho") {
      EXPECT_TRUE(result.standardOutput.ends_with("\n#\n")) << c.name;
    }
  }
}

}  // namespace
}  // namespace kaldro::tts
