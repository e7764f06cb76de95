// The letter generator's files end to end: templates that are no files or too large, and an old
// letter that must survive every way a run can end before the new one is complete.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "support/program_run.h"

namespace kaldro::testing {
namespace {

using ::testing::Contains;
using ::testing::HasSubstr;

const std::string kOutput = "type carta.txt\nkey Enter\n";

// Leftovers of a run: files whose name begins with ".carta.txt." (the letter being written).
size_t temporaryFiles(const ScratchFolder& folder) {
  size_t count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
    if (entry.path().filename().string().rfind(".carta.txt.", 0) == 0) ++count;
  return count;
}

// Whatever keeps a template from being read (nothing there, no regular file, no permission) is
// refused at once: a failure told on standard error, spoken and shown, and no letter.
TEST(TemplateFiles, ThoseThatCannotBeReadCancelTheRun) {
  ScratchFolder folder;
  ::mkdir(folder.file("pasta").c_str(), 0755);
  const std::string fifo = folder.file("fila");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string socketPath = folder.file("tomada");
  const int server = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socketPath.c_str());
  ASSERT_EQ(::bind(server, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  std::vector<std::string> names = {"nada.txt", "pasta", folder.path(), "/dev/zero", "/dev/urandom", fifo, socketPath,
                                    "/dev/tty"};
  folder.write("fechado.txt", "{X}\n");
  ::chmod(folder.file("fechado.txt").c_str(), 0);
  // Root reads any file: as root the unreadable template is run as nobody, when that can be done.
  const std::optional<std::vector<std::string>> launcher = launcherBoundByPermissions(folder);
  if (launcher) names.push_back("fechado.txt");
  for (const std::string& name : names) {
    const std::vector<std::string> runner = name == "fechado.txt" ? *launcher : std::vector<std::string>{};
    ProgramResult result = runProgram("plumar", {name}, kOutput, folder, {}, runner);
    EXPECT_EQ(result.status, 1) << name;  // a failure, so not 0
    EXPECT_EQ(result.standardError, "plumar: o modelo " + name + " n\xC3\xA3o existe ou n\xC3\xA3o pode ser lido\n");
    EXPECT_TRUE(result.spoke("Arquivo n\xC3\xA3o existe")) << name;
    EXPECT_TRUE(result.spoke("Programa cancelado")) << name;
    EXPECT_THAT(result.screen, HasSubstr("Programa cancelado")) << name;
    EXPECT_EQ(result.traceLines().back(), "exit 1") << name;
    EXPECT_FALSE(folder.exists("carta.txt")) << name;
  }
  ::close(server);
  if (!launcher) GTEST_SKIP() << "running as root without a way to run as nobody: no unreadable template";
}

TEST(TemplateFiles, ATemplateBeyond64MegabytesGetsItsOwnMessage) {
  ScratchFolder folder;
  const std::string big = folder.file("grande.txt");
  // A sparse file: 64 MB and one byte without writing them.
  ASSERT_EQ(::truncate((writeFile(big, "x"), big).c_str(), (64 << 20) + 1), 0);
  ProgramResult result = runProgram("plumar", {"grande.txt"}, kOutput, folder);
  EXPECT_TRUE(result.spoke("Arquivo grande demais: o limite \xC3\xA9 de 64 MB"));
  EXPECT_THAT(result.screen, HasSubstr("Arquivo grande demais"));
  EXPECT_FALSE(folder.exists("carta.txt"));
  ASSERT_EQ(::truncate(big.c_str(), 64 << 20), 0);  // exactly the limit is read
  result = runProgram("plumar", {"grande.txt"}, kOutput, folder);
  EXPECT_FALSE(result.spoke("Arquivo grande demais: o limite \xC3\xA9 de 64 MB"));
  EXPECT_TRUE(result.spoke("Texto gerado"));
}

TEST(OldLetter, StaysWholeUntilTheNewOneIsComplete) {
  struct Case {
    const char* what;
    std::string modelo, keys, letter;  // letter: carta.txt afterwards
    int status;
  };
  const std::string old = "carta antiga\r\n";
  const Case cases[] = {
      {"a finished run replaces it", "Oi {NOME}\n", "key S\ntype Ana\nkey Enter\n", "Oi Ana\n", 0},
      {"the run ends in the middle of a field", "Oi {NOME}\n{X}\n", "key S\ntype Ana\nkey Enter\n", old, 3},
      {"refusing to overwrite keeps it", "Oi\n", "key N\n", old, 4},
      {"a missing brace leaves what was written, as a cancelled run does", "linha 1\nOi {NOME\n", "key S\n",
       "linha 1\nOi ", 1},
  };
  for (const Case& c : cases) {
    ScratchFolder folder;
    folder.write("modelo.txt", c.modelo);
    folder.write("carta.txt", old);
    ::chmod(folder.file("carta.txt").c_str(), 0640);
    ProgramResult result = runProgram("plumar", {"modelo.txt"}, kOutput + c.keys, folder);
    EXPECT_EQ(result.status, c.status) << c.what;
    EXPECT_EQ(folder.read("carta.txt"), c.letter) << c.what;
    EXPECT_EQ(temporaryFiles(folder), 0u) << c.what;
    struct stat info{};
    ASSERT_EQ(::stat(folder.file("carta.txt").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u) << c.what;  // the replaced letter keeps its permissions
  }
}

TEST(OldLetter, ALinkKeepsPointingAtTheNewLetter) {
  ScratchFolder folder;
  std::filesystem::create_directory(folder.file("cartas"));
  folder.write("cartas/real.txt", "velha\n");
  std::filesystem::create_symlink(folder.file("cartas/real.txt"), folder.file("carta.txt"));
  folder.write("modelo.txt", "nova\n");
  ProgramResult result = runProgram("plumar", {"modelo.txt"}, kOutput + "key S\n", folder);
  EXPECT_EQ(result.status, 0);
  EXPECT_TRUE(std::filesystem::is_symlink(folder.file("carta.txt")));
  EXPECT_EQ(folder.read("cartas/real.txt"), "nova\n");
}

// A disk that fills up: the file-size limit makes every write past it fail as a full disk does.
TEST(OldLetter, AFailedWriteLeavesItWholeAndSaysSo) {
  ScratchFolder folder;
  std::string modelo;
  for (int i = 0; i < 4000; ++i) modelo += "uma linha longa o bastante para encher o disco de teste depressa\n";
  folder.write("modelo.txt", modelo);
  folder.write("carta.txt", "carta antiga\n");
  folder.write(".keys", "");
  rlimit saved{};
  ::getrlimit(RLIMIT_FSIZE, &saved);
  rlimit small = saved;
  small.rlim_cur = 100 * 1024;
  auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  ProgramResult result = runProgram("plumar", {"modelo.txt"}, kOutput + "key S\n", folder);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  ::signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(folder.read("carta.txt"), "carta antiga\n");
  EXPECT_EQ(temporaryFiles(folder), 0u);
  EXPECT_TRUE(result.spoke("Erro na grava\xC3\xA7\xC3\xA3o do arquivo de sa\xC3\xAD" "da"));
  EXPECT_TRUE(result.spoke("Programa cancelado"));
  EXPECT_FALSE(result.spoke("Texto gerado"));
}

}  // namespace
}  // namespace kaldro::testing
