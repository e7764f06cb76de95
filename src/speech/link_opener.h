// Opens the link or document named by a word of the line editor, without ever going through a shell.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include <sys/types.h>

#include "platform/config.h"

namespace kaldro::speech {

// One program start: argv[0] is the program; searchPath looks a bare name up in PATH.
struct Launch {
  std::vector<std::string> argv;
  bool searchPath = true;
  bool operator==(const Launch&) const = default;
};

class LinkOpener {
 public:
  // Starts a program and answers whether it started.
  using Starter = std::function<bool(const Launch&)>;

  // Without a starter, programs are started with posix_spawn, detached from the console.
  explicit LinkOpener(const platform::Configuration& config, Starter starter = {});
  ~LinkOpener();
  LinkOpener(const LinkOpener&) = delete;
  LinkOpener& operator=(const LinkOpener&) = delete;

  // What opening the word (CP1252) would start: a web link or a document by its program from
  // KALDRO.INI, a web or mail address or an existing file or folder by the desktop's own
  // association; nothing (no argv) for anything else, a program file found in the folder included.
  Launch launchFor(std::string_view word) const;
  // Starts it; a failure is left unreported, as the desktop would leave it.
  bool open(std::string_view word);

 private:
  bool spawnDetached(const Launch& launch);
  void reapFinishedChildren();

  const platform::Configuration& config_;
  Starter starter_;
  std::vector<pid_t> children_;
};

// The blank-delimited word around a 1-based position of text, with the link punctuation
// stripped from both ends; empty when nothing is left.
std::string linkWordAt(std::string_view text, size_t position);

}  // namespace kaldro::speech
