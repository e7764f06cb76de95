// Opens links and documents: xdg-open or the program KALDRO.INI names, always by posix_spawn.
#include "speech/link_opener.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
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

Launch LinkOpener::launchFor(std::string_view word) const {
  const std::string utf8Word = platform::cp1252ToUtf8(word);
  auto openWith = [&](const std::string& program) {
    // Without a program of its own, the desktop's association decides.
    if (program.empty()) return Launch{{"xdg-open", utf8Word}, true};
    return Launch{{platform::cp1252ToUtf8(program), utf8Word}, true};
  };

  if (startsWithIgnoringCase(word, "http://") || startsWithIgnoringCase(word, "https://") ||
      startsWithIgnoringCase(word, "www."))
    return openWith(config_.readConfig("KALDRO", "PROG.HTM"));

  const size_t dot = word.find('.');
  const std::string extension = upcaseLatin1(dot == std::string_view::npos ? word.substr(0, 3) : word.substr(dot + 1, 3));
  if (extension == "EXE" || extension == "COM") {
    // A program file is run itself, never handed to a shell.
    if (!word.empty() && word.front() == '/') return Launch{{utf8Word}, false};
    std::string folder = platform::currentDirectory();
    if (folder.empty() || folder.back() != '/') folder.push_back('/');
    return Launch{{folder + utf8Word}, false};
  }
  return openWith(config_.readConfig("KALDRO", "PROG." + extension));
}

bool LinkOpener::open(std::string_view word) {
  const Launch launch = launchFor(word);
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
