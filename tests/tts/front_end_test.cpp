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

// Copies the installed engine data into a folder, to be spoiled file by file.
void copyShippedData(const std::string& folder) {
  std::filesystem::create_directories(folder);
  for (const auto& entry : std::filesystem::directory_iterator(kShippedData))
    std::filesystem::copy_file(entry.path(), folder + "/" + entry.path().filename().string());
}

struct DataCopy {
  ScratchFolder folder;
  DataCopy() { copyShippedData(folder.path()); }
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
      {"rule file missing", "portug.nrl", nullptr, LoadResult::LexiconFailed, {}},
      {"exception file missing", "portug.exc", nullptr, LoadResult::LexiconFailed, {}},
      {"prosody file missing", "portug.pro", nullptr, LoadResult::ProsodyFailed,
       {"Configuração da prosódia não foi achada"}},
      {"prosody file without patterns", "portug.pro", "[DURAÇÃO]\n[CHAVES]\n", LoadResult::ProsodyFailed,
       {"Prosódia: especificações ausentes"}},
      {"diphone list missing", "portug.dfn", nullptr, LoadResult::ProsodyFailed, {}},
      {"abbreviations missing", "portug.abr", nullptr, LoadResult::AbbreviationsFailed, {}},
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
  // An abbreviations file that exists but cannot be read is a read error, told with its reason.
  DataCopy data;
  std::filesystem::remove(data.folder.file("portug.abr"));
  std::filesystem::create_directory(data.folder.file("portug.abr"));
  FrontEnd frontEnd;
  std::string readError;
  EXPECT_EQ(frontEnd.load(data.files(), &readError), LoadResult::ReadError);
  EXPECT_NE(readError.find("portug.abr"), std::string::npos) << readError;
  EXPECT_EQ(loadFailureText(LoadResult::ReadError, readError), readError);
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
    const char* removed;  // a data file taken from a copy of the data that the run reads; nullptr: the tree's data
    int status;
    std::string inOutput, inErrors;
  };
  const Case cases[] = {
      {"MBROLA lines end with #", {"--engine", "ormia", "--pho", "Sim. Não"}, nullptr, 0, ";Não\n", ""},
      {"one line per text", {"--engine", "ormia", "--normal", "sim", "não"}, nullptr, 0, "não\n", ""},
      {"--pho needs the engine", {"--pho", "Sim"}, nullptr, 2, "", "--engine ormia"},
      {"the data folder of KALDRO.INI", {"--engine", "ormia", "--pho", "Sim"}, "portug.pro", 1,
       "", "Configuração da prosódia não foi achada\nkaldro-fala: Erro no arquivo de prosódia"},
      {"another engine", {"--engine", "outro", "--pho", "Sim"}, nullptr, 2, "", "--engine ormia"},
      {"phones of each text", {"--engine", "ormia", "--phones", "casa"}, nullptr, 0, "casa\tk >a z a\n", ""},
  };
  for (const Case& c : cases) {
    ScratchFolder folder;
    if (c.removed) {
      copyShippedData(folder.file("motor"));
      std::filesystem::remove(folder.file("motor/") + c.removed);
      folder.write("KALDRO.INI", "[ORMIATTS]\nDIR=" + folder.file("motor") + "\n");
    }
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
