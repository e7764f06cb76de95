// Runs one of the family's programs on the headless host and collects what it left behind; the
// small file, environment and program-end helpers the tests share.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kaldro::testing {

struct ProgramResult {
  int status = -1;
  std::string standardOutput;
  std::string standardError;
  std::string screen;  // the screen dump
  std::string trace;
  std::vector<std::string> traceLines() const;
  // The texts spoken ("say" lines of the trace), in order.
  std::vector<std::string> spokenLines() const;
  bool spoke(const std::string& text) const;
  // The 25 text rows of the screen dump.
  std::vector<std::string> screenRows() const;
};

// The engine's data files in the build tree, ending in "/".
inline const std::string kEngineData = std::string(KALDRO_BIN_DIR) + "/../share/kaldro/ormiatts/";

// A fresh folder under the system's temporary folder, removed when the object goes.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  void write(const std::string& name, const std::string& bytes) const;
  std::string read(const std::string& name) const;
  bool exists(const std::string& name) const;

 private:
  std::string path_;
};

// Runs program (a name in the build's bin folder, or a path) in folder with the key script, on the headless host;
// extraEnvironment adds or replaces variables; launcher, when given, runs the program (its words come
// first, the program's path and arguments after them).
ProgramResult runProgram(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& keyScript, const ScratchFolder& folder,
                         const std::map<std::string, std::string>& extraEnvironment = {},
                         const std::vector<std::string>& launcher = {});

// File permissions do not bind root. For a test about them: nothing to add when the test runs as
// another user; as root, a launcher that runs the program as nobody (setpriv), after giving the
// folder and all in it to nobody, so that it owns them as a user owns their own files. Nothing
// (std::nullopt) when neither: root that cannot drop, or nobody cannot reach the build's programs.
std::optional<std::vector<std::string>> launcherBoundByPermissions(const ScratchFolder& folder);

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);
// The lines of a text, without their line ends.
std::vector<std::string> splitLines(const std::string& text);

// How an action that should end the program ended: the status it ended with (-1 when it returned)
// and what it wrote to standard error meanwhile.
struct ProgramEnd {
  int status = -1;
  std::string standardError;
};
ProgramEnd runToProgramEnd(const std::function<void()>& action);

// Sets an environment variable (or removes it, given no value) for a scope, then puts the old one back.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const char* value);
  ~ScopedEnvironment();
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

}  // namespace kaldro::testing
