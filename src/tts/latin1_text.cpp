// Text helpers shared by the engine's stages: Latin-1 case and letters, blanks, lines, data files.
#include "tts/latin1_text.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/text.h"
#include "platform/words.h"

namespace kaldro::tts {

namespace {
using Byte = unsigned char;
}

char upperLatin1(char c) {
  const Byte b = static_cast<Byte>(c);
  if ((b >= 'a' && b <= 'z') || (b >= 0xE0 && b <= 0xFE && b != 0xF7)) return static_cast<char>(b - 0x20);
  return c;
}

char lowerLatin1(char c) {
  const Byte b = static_cast<Byte>(c);
  if ((b >= 'A' && b <= 'Z') || (b >= 0xC0 && b <= 0xDE && b != 0xD7)) return static_cast<char>(b + 0x20);
  return c;
}

std::string upperLatin1(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = upperLatin1(c);
  return out;
}

std::string lowerLatin1(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = lowerLatin1(c);
  return out;
}

bool isPortugueseLetter(char c) {
  const Byte b = static_cast<Byte>(upperLatin1(c));
  if (b >= 'A' && b <= 'Z') return true;
  constexpr platform::Cp1252Words accented = "ÀÁÂÃÇÉÊÌÍÑÓÔÕÙÚÜ";
  return b >= 0xC0 && std::string_view(accented).find(static_cast<char>(b)) != std::string_view::npos;
}

std::string_view trimBlanks(std::string_view text) {
  while (!text.empty() && static_cast<Byte>(text.front()) <= ' ') text.remove_prefix(1);
  while (!text.empty() && static_cast<Byte>(text.back()) <= ' ') text.remove_suffix(1);
  return text;
}

std::vector<std::string_view> splitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

std::optional<std::string> readDataFile(const std::string& path, platform::Status& status,
                                        std::string_view missingMessage) {
  namespace words = platform::words;
  std::error_code error;
  if (path.empty() || !std::filesystem::exists(path, error)) {
    status = platform::Status::failure(platform::StatusCode::NotFound, std::string(missingMessage));
    return std::nullopt;
  }
  std::string_view problem;
  std::ostringstream contents;
  if (std::filesystem::is_directory(path, error)) {
    problem = words::DataFileIsFolder;
  } else if (!std::filesystem::is_regular_file(path, error)) {
    problem = words::DataFileNotRegular;  // a device or a pipe could be read forever or never end
  } else if (std::ifstream file(path, std::ios::binary); !file) {
    problem = words::DataFileNoPermission;
  } else if (contents << file.rdbuf(); file.bad()) {
    problem = words::DataFileReadError;
  }
  if (!problem.empty()) {
    status = platform::Status::failure(platform::StatusCode::Unreadable,
                                       words::DataFileUnreadable.with({platform::utf8ToCp1252(path), problem}));
    return std::nullopt;
  }
  status = {};
  std::string bytes = contents.str();
  // Editors may begin a UTF-8 file with a byte-order mark, which would glue itself to the first line.
  if (bytes.starts_with("\xEF\xBB\xBF")) bytes.erase(0, 3);
  return platform::textFileToCp1252(bytes);
}

}  // namespace kaldro::tts
