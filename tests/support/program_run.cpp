// Runs one of the family's programs on the headless host and collects what it left behind.
#include "support/program_run.h"

#include <algorithm>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <gtest/gtest.h>

#include "platform/host/host.h"

extern char** environ;

namespace kaldro::testing {

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream contents;
  contents << in.rdbuf();
  return contents.str();
}

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

ProgramEnd runToProgramEnd(const std::function<void()>& action) {
  ProgramEnd end;
  ::testing::internal::CaptureStderr();
  try {
    action();
  } catch (const platform::ProgramExit& exit) {
    end.status = exit.status;
  }
  end.standardError = ::testing::internal::GetCapturedStderr();
  return end;
}

ScopedEnvironment::ScopedEnvironment(const char* name, const char* value) : name_(name) {
  if (const char* old = std::getenv(name)) old_ = old;
  value ? (void)::setenv(name, value, 1) : (void)::unsetenv(name);
}

ScopedEnvironment::~ScopedEnvironment() { old_ ? (void)::setenv(name_, old_->c_str(), 1) : (void)::unsetenv(name_); }

std::vector<std::string> ProgramResult::traceLines() const { return splitLines(trace); }

std::vector<std::string> ProgramResult::spokenLines() const {
  std::vector<std::string> spoken;
  for (const std::string& line : traceLines())
    if (line.rfind("say ", 0) == 0) spoken.push_back(line.substr(4));
  return spoken;
}

bool ProgramResult::spoke(const std::string& text) const {
  const std::vector<std::string> spoken = spokenLines();
  return std::find(spoken.begin(), spoken.end(), text) != spoken.end();
}

std::vector<std::string> ProgramResult::screenRows() const {
  auto lines = splitLines(screen);
  if (lines.size() > 25) lines.resize(25);
  return lines;
}

ScratchFolder::ScratchFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "kaldro-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp");
  path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ignored);
  std::filesystem::remove_all(path_, ignored);
}

void ScratchFolder::write(const std::string& name, const std::string& bytes) const { writeFile(file(name), bytes); }

std::string ScratchFolder::read(const std::string& name) const { return readFile(file(name)); }

bool ScratchFolder::exists(const std::string& name) const {
  struct stat info{};
  return ::stat(file(name).c_str(), &info) == 0;
}

ProgramResult runProgram(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& keyScript, const ScratchFolder& folder,
                         const std::map<std::string, std::string>& extraEnvironment,
                         const std::vector<std::string>& launcher) {
  const std::string keys = folder.file(".keys");
  const std::string screen = folder.file(".screen");
  const std::string trace = folder.file(".trace");
  const std::string errors = folder.file(".stderr");
  const std::string output = folder.file(".stdout");
  folder.write(".keys", keyScript);
  std::remove(screen.c_str());
  std::remove(trace.c_str());

  std::map<std::string, std::string> variables;
  for (char** entry = environ; *entry; ++entry) {
    std::string text(*entry);
    size_t equals = text.find('=');
    if (equals != std::string::npos) variables[text.substr(0, equals)] = text.substr(equals + 1);
  }
  variables.erase("DISPLAY");
  variables.erase("WAYLAND_DISPLAY");
  variables["KALDRO_HOST"] = "headless";
  variables["KALDRO_KEYS"] = keys;
  variables["KALDRO_SCREEN"] = screen;
  variables["KALDRO_TRACE"] = trace;
  variables["KALDRO_NOW"] = "2005-03-07T10:30:00";
  variables["KALDRO_AUDIO"] = "none";
  // A configuration folder of the test's own, so that the user's files never count.
  variables["KALDRO_CONFIG_DIR"] = folder.path();
  variables["XDG_CONFIG_HOME"] = folder.file(".config");
  for (const auto& [name, value] : extraEnvironment) variables[name] = value;

  std::vector<std::string> environmentTexts;
  for (const auto& [name, value] : variables) environmentTexts.push_back(name + "=" + value);
  std::vector<char*> environmentPointers;
  for (auto& text : environmentTexts) environmentPointers.push_back(text.data());
  environmentPointers.push_back(nullptr);

  // A bare name is one of the build's programs; a path is run as it is (a copy of the tree elsewhere).
  std::string path = program.find('/') == std::string::npos ? std::string(KALDRO_BIN_DIR) + "/" + program : program;
  std::vector<std::string> argumentTexts = launcher;
  argumentTexts.push_back(path);
  argumentTexts.insert(argumentTexts.end(), arguments.begin(), arguments.end());
  path = argumentTexts.front();
  std::vector<char*> argumentPointers;
  for (auto& text : argumentTexts) argumentPointers.push_back(text.data());
  argumentPointers.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addchdir_np(&actions, folder.path().c_str());
  pid_t pid = 0;
  ProgramResult result;
  if (posix_spawn(&pid, path.c_str(), &actions, nullptr, argumentPointers.data(), environmentPointers.data()) == 0) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  posix_spawn_file_actions_destroy(&actions);
  result.standardOutput = readFile(output);
  result.standardError = readFile(errors);
  result.screen = readFile(screen);
  result.trace = readFile(trace);
  return result;
}

namespace {
constexpr uid_t kNobody = 65534;

// Runs words (a path first) and tells whether they ended with status 0.
bool succeeds(std::vector<std::string> words) {
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  int status = -1;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) ::waitpid(pid, &status, 0);
  posix_spawn_file_actions_destroy(&actions);
  return status == 0;
}

void giveToNobody(const std::string& path) {
  std::error_code ignored;
  if (::lchown(path.c_str(), kNobody, kNobody) != 0) return;
  if (!std::filesystem::is_directory(std::filesystem::symlink_status(path, ignored))) return;
  for (const auto& entry : std::filesystem::directory_iterator(path, ignored)) giveToNobody(entry.path().string());
}
}  // namespace

std::optional<std::vector<std::string>> launcherBoundByPermissions(const ScratchFolder& folder) {
  if (::geteuid() != 0) return std::vector<std::string>{};
  const std::vector<std::string> launcher = {"/usr/bin/setpriv", "--reuid=" + std::to_string(kNobody),
                                             "--regid=" + std::to_string(kNobody), "--clear-groups"};
  if (::access(launcher.front().c_str(), X_OK) != 0) return std::nullopt;
  giveToNobody(folder.path());
  // The build's programs and data must be reachable through every folder above them.
  std::vector<std::string> check = launcher;
  check.insert(check.end(), {"/bin/sh", "-c", "test -x \"$0/plumar\" && test -w \"$1\"", KALDRO_BIN_DIR, folder.path()});
  if (!succeeds(check)) return std::nullopt;
  return launcher;
}

}  // namespace kaldro::testing
