// The user's dictionary: its files, followed as they change, and its replacements.
#include "tts/user_dictionary.h"

#include <sys/stat.h>

#include <algorithm>

#include "platform/latin1_classes.h"
#include "platform/status.h"
#include "platform/text.h"
#include "platform/words.h"
#include "tts/latin1_text.h"

namespace kaldro::tts {

UserDictionary::UserDictionary(std::vector<std::string> files, std::function<void(const std::string&)> report)
    : report_(std::move(report)) {
  for (std::string& path : files) sources_.push_back({std::move(path)});
}

void UserDictionary::refresh() const {
  bool changed = false;
  for (Source& source : sources_) {
    struct stat about {};
    const bool present = ::stat(source.path.c_str(), &about) == 0 && S_ISREG(about.st_mode);
    const timespec modified = present ? about.st_mtim : timespec{};
    const long long size = present ? static_cast<long long>(about.st_size) : -1;
    if (present != source.present || size != source.size || modified.tv_sec != source.modified.tv_sec ||
        modified.tv_nsec != source.modified.tv_nsec) {
      source.present = present;
      source.size = size;
      source.modified = modified;
      changed = true;
    }
  }
  if (!changed) return;
  entries_.clear();
  for (const Source& source : sources_)
    if (source.present) readFile(source);
}

void UserDictionary::readFile(const Source& source) const {
  platform::Status status;
  const std::optional<std::string> text = readDataFile(source.path, status, platform::words::DataFileMissing);
  if (!text) return;
  std::vector<Entry> entries;
  const std::vector<std::string_view> lines = splitLines(*text);
  for (size_t number = 1; number <= lines.size(); ++number) {
    const std::string_view line = trimBlanks(lines[number - 1]);
    if (line.empty() || line.front() == '#') continue;
    const size_t equals = line.find('=');
    Entry entry;
    entry.exactCase = equals != std::string_view::npos && line.substr(equals, 2) == "==";
    if (equals != std::string_view::npos) {
      entry.written = std::string(trimBlanks(line.substr(0, equals)));
      entry.reading = std::string(trimBlanks(line.substr(equals + (entry.exactCase ? 2 : 1))));
    }
    if (entry.written.empty() || entry.reading.empty()) {
      if (report_)
        report_(platform::words::DictionaryBadLine.utf8(
            {source.path, std::to_string(number), platform::cp1252ToUtf8(std::string(line))}));
      continue;
    }
    if (!entry.exactCase) entry.written = lowerLatin1(entry.written);
    entries.push_back(std::move(entry));
  }
  std::stable_sort(entries.begin(), entries.end(),
                   [](const Entry& a, const Entry& b) { return a.written.size() > b.written.size(); });
  entries_.insert(entries_.end(), entries.begin(), entries.end());
}

namespace {
bool isWordCharacter(char c) { return isPortugueseLetter(c) || platform::isDigit(c); }
}  // namespace

bool UserDictionary::matchesAt(const Entry& entry, std::string_view text, std::string_view lower, size_t at) const {
  const std::string_view source = entry.exactCase ? text : lower;
  if (source.compare(at, entry.written.size(), entry.written) != 0) return false;
  const size_t end = at + entry.written.size();
  // Whole words: no letter or digit right before or after, unless the text itself ends in a sign.
  const bool startsClean = at == 0 || !isWordCharacter(text[at - 1]) || !isWordCharacter(entry.written.front());
  const bool endsClean = end >= text.size() || !isWordCharacter(text[end]) || !isWordCharacter(entry.written.back());
  return startsClean && endsClean;
}

std::string UserDictionary::apply(std::string_view text) const {
  refresh();
  if (entries_.empty()) return std::string(text);
  const std::string lower = lowerLatin1(text);
  std::string out;
  for (size_t at = 0; at < text.size();) {
    const Entry* found = nullptr;
    if (at == 0 || !isWordCharacter(text[at - 1]) || !isWordCharacter(text[at]))
      for (const Entry& entry : entries_)
        if (matchesAt(entry, text, lower, at)) {
          found = &entry;
          break;
        }
    if (!found) {
      out += text[at++];
      continue;
    }
    out += found->reading;
    at += found->written.size();
  }
  return out;
}

}  // namespace kaldro::tts
