// Opens links and documents: xdg-open or the program KALDRO.INI names, always by posix_spawn.
#include "speech/link_opener.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>

#include "platform/text.h"
#include "speech/speech.h"

extern char** environ;

namespace kaldro::speech {

namespace {

bool isLinkPunctuation(char c) {
  switch (c) {
    case '"': case '(': case '*': case '-': case '.': case '<':
    case '=': case '>': case '[': case '_': case '{':
      return true;
    default:
      return false;
  }
}

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && platform::upperAscii(text.substr(0, prefix.size())) == platform::upperAscii(prefix);
}

}  // namespace

std::string linkWordAt(std::string_view text, size_t position) {
  size_t index = position == 0 ? 0 : std::min(position - 1, text.size());
  size_t start = index;
  while (start > 0 && text[start - 1] != ' ') --start;
  size_t end = index;
  while (end < text.size() && text[end] != ' ') ++end;
  while (start < end && isLinkPunctuation(text[start])) ++start;
  while (end > start && isLinkPunctuation(text[end - 1])) --end;
  return std::string(text.substr(start, end - start));
}

LinkOpener::LinkOpener(const platform::Configuration& config, Starter starter)
    : config_(config), starter_(std::move(starter)) {}

LinkOpener::~LinkOpener() { reapFinishedChildren(); }

namespace {

bool pathExists(const std::string& path, bool& executableFile) {
  struct stat info{};
  if (::stat(path.c_str(), &info) != 0) return false;
  executableFile = S_ISREG(info.st_mode) && (info.st_mode & 0111) != 0;
  return true;
}

// user@host.domain, with nothing that would make it a path or an option.
bool isMailAddress(std::string_view word) {
  const size_t at = word.find('@');
  return at != std::string_view::npos && at > 0 && word.find('.', at) != std::string_view::npos &&
         word.find('/') == std::string_view::npos && word.front() != '-' && word.front() != '+';
}

}  // namespace

Launch LinkOpener::launchFor(std::string_view word) const {
  const std::string utf8Word = platform::cp1252ToUtf8(word);
  if (word.empty()) return {};

  if (startsWithIgnoringCase(word, "http://") || startsWithIgnoringCase(word, "https://") ||
      startsWithIgnoringCase(word, "www.")) {
    const std::string program = config_.readPath("KALDRO", "PROG.HTM");
    if (!program.empty()) return Launch{{program, utf8Word}, true};
    // The desktop opener reads a bare "www." name as a file.
    return Launch{{"xdg-open", startsWithIgnoringCase(word, "www.") ? "http://" + utf8Word : utf8Word}, true};
  }
  if (startsWithIgnoringCase(word, "mailto:")) return Launch{{"xdg-open", utf8Word}, true};
  if (isMailAddress(word)) return Launch{{"xdg-open", "mailto:" + utf8Word}, true};

  // A file or folder: named so that no program can read it as an option ("-x") or, as vim and
  // less would, as a command ("+cmd").
  bool executableFile = false;
  const bool exists = pathExists(utf8Word, executableFile);
  std::string argument = utf8Word;
  if (word.front() == '-' || word.front() == '+') {
    if (!exists) return {};
    argument = "./" + utf8Word;
  }

  const size_t dot = word.find('.');
  const std::string extension = upcaseLatin1(dot == std::string_view::npos ? word.substr(0, 3) : word.substr(dot + 1, 3));
  const std::string program = config_.readPath("KALDRO", "PROG." + extension);
  if (!program.empty()) return Launch{{program, argument}, true};
  // Without a program of the user's own, the desktop's association opens what exists; a program
  // file found in the folder is never started ("comando" must not run ./comando).
  if (!exists || executableFile) return {};
  return Launch{{"xdg-open", argument}, true};
}

bool LinkOpener::open(std::string_view word) {
  const Launch launch = launchFor(word);
  if (launch.argv.empty()) return false;
  return starter_ ? starter_(launch) : spawnDetached(launch);
}

bool LinkOpener::spawnDetached(const Launch& launch) {
  reapFinishedChildren();
  if (launch.argv.empty()) return false;

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  // The started program must not draw on or read from the talking console's terminal.
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attributes, 0);

  std::vector<char*> argv;
  for (const std::string& argument : launch.argv) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  pid_t child = 0;
  const int error = launch.searchPath
                        ? posix_spawnp(&child, argv[0], &actions, &attributes, argv.data(), environ)
                        : posix_spawn(&child, argv[0], &actions, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) return false;
  children_.push_back(child);
  return true;
}

void LinkOpener::reapFinishedChildren() {
  std::erase_if(children_, [](pid_t child) { return ::waitpid(child, nullptr, WNOHANG) != 0; });
}

}  // namespace kaldro::speech
