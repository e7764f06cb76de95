// The user's own readings (dicionario.txt): the names, surnames and acronyms of their work that no
// rule reads well, applied by both voices before the natural reading and in the literal one too.
#pragma once

#include <ctime>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kaldro::tts {

// Lines "texto = leitura" (whole words, any case), "texto == leitura" (the case as written) and
// "# comentário"; the file is UTF-8 (or Latin-1 when it is not). The first file holds the user's
// readings and wins over the later ones (the system-wide file).
class UserDictionary {
 public:
  // report: how a bad line reaches the user (UTF-8, "file:line: why"), once for each version of
  // the file that holds it.
  explicit UserDictionary(std::vector<std::string> files = {}, std::function<void(const std::string&)> report = {});

  // The text (CP1252) with each listed text read as the dictionary says; a file changed since it
  // was last read is read again first.
  std::string apply(std::string_view text) const;

 private:
  struct Entry {
    std::string written;  // CP1252; small letters unless exactCase
    std::string reading;
    bool exactCase = false;
  };
  struct Source {
    std::string path;
    bool present = false;
    timespec modified{};
    long long size = -1;
  };
  void refresh() const;
  void readFile(const Source& source) const;
  bool matchesAt(const Entry& entry, std::string_view text, std::string_view lower, size_t at) const;

  std::function<void(const std::string&)> report_;
  // The dictionary is logically const to its readers; these only follow the files.
  mutable std::vector<Source> sources_;
  mutable std::vector<Entry> entries_;  // the user's first, the longest first within a file
};

}  // namespace kaldro::tts
