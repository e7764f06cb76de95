#include "targets.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace kaldro::fuzz {

void fuzzConfiguration(std::span<const uint8_t> input);
void fuzzTemplate(std::span<const uint8_t> input);
void fuzzKeyScript(std::span<const uint8_t> input);
void fuzzWave(std::span<const uint8_t> input);
void fuzzDiphoneDatabase(std::span<const uint8_t> input);
void fuzzUnitInventory(std::span<const uint8_t> input);
void fuzzRules(std::span<const uint8_t> input);
void fuzzTerminalKeys(std::span<const uint8_t> input);
void fuzzAbbreviations(std::span<const uint8_t> input);
void fuzzNormaliser(std::span<const uint8_t> input);
void fuzzProsody(std::span<const uint8_t> input);
void fuzzFrontEnd(std::span<const uint8_t> input);
void fuzzEngineRules(std::span<const uint8_t> input);
void fuzzTranscribe(std::span<const uint8_t> input);
void fuzzMbrolaLines(std::span<const uint8_t> input);
void fuzzMbrolaLibrary(std::span<const uint8_t> input);
void fuzzModuleProtocol(std::span<const uint8_t> input);
void fuzzDocuments(std::span<const uint8_t> input);

namespace {
constexpr NamedTarget kTargets[] = {
    {"config", fuzzConfiguration},   {"template", fuzzTemplate},   {"key_script", fuzzKeyScript},
    {"wave", fuzzWave},              {"diphone_db", fuzzDiphoneDatabase}, {"units", fuzzUnitInventory},
    {"rules", fuzzRules},            {"terminal_keys", fuzzTerminalKeys},
    {"tts_abbreviations", fuzzAbbreviations}, {"tts_normaliser", fuzzNormaliser},
    {"tts_prosody", fuzzProsody},    {"tts_front_end", fuzzFrontEnd},
    {"tts_rules", fuzzEngineRules},  {"tts_transcribe", fuzzTranscribe}, {"mbrola_lines", fuzzMbrolaLines},
    {"mbrola_library", fuzzMbrolaLibrary},
    {"module_protocol", fuzzModuleProtocol},
    {"documents", fuzzDocuments},
};

// Removes the scratch folder when the process ends normally.
struct ScratchFolder {
  ScratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kaldro-fuzz-XXXXXX").string();
    if (::mkdtemp(pattern.data())) path = pattern;
  }
  ~ScratchFolder() {
    std::error_code ignored;
    if (!path.empty()) std::filesystem::remove_all(path, ignored);
  }
  std::string path;
};
}  // namespace

std::span<const NamedTarget> allTargets() { return kTargets; }

Target targetNamed(std::string_view name) {
  for (const NamedTarget& target : kTargets)
    if (name == target.name) return target.run;
  return nullptr;
}

const std::string& scratchFolder() {
  static const ScratchFolder folder;  // one per process, made on first use
  return folder.path;
}

std::string makeScratchSubfolder(std::string_view name) {
  std::string folder = scratchFolder() + "/" + std::string(name);
  std::error_code ignored;
  std::filesystem::create_directories(folder, ignored);
  return folder;
}

void writeScratchFile(const std::string& path, std::string_view bytes) {
  if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
  }
}

const platform::RunOptions& quietRunOptions() {
  static const platform::RunOptions options = [] {
    platform::RunOptions read = platform::RunOptions::fromEnvironment();
    read.trace.clear();
    read.screenDump.clear();
    return read;
  }();
  return options;
}

const std::string& engineDataFolder() {
  static const std::string folder = KALDRO_BUILD_DIR "/share/kaldro/ormiatts/";
  return folder;
}

std::pair<std::string_view, std::string_view> splitInput(std::string_view input) {
  for (size_t pos = 0; pos < input.size();) {
    size_t end = input.find('\n', pos);
    if (end == std::string_view::npos) end = input.size();
    if (input.substr(pos, end - pos) == "%%")
      return {input.substr(0, pos), end < input.size() ? input.substr(end + 1) : std::string_view()};
    pos = end + 1;
  }
  return {input, {}};
}

}  // namespace kaldro::fuzz
