// Picking and listing the voices of the external synthesizers.
#include "engines/engine_voices.h"

#include <algorithm>

namespace kaldro::engines {

namespace {

// Lower case, "_" as a blank: the forms the same voice name takes in different lists.
std::string comparable(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c == '_') c = ' ';
  }
  return out;
}

}  // namespace

bool isBrazilianPortuguese(std::string_view language) {
  const std::string form = comparable(language);
  return form == "pt-br" || form == "pt br";
}

std::optional<size_t> findVoice(const std::vector<EngineVoice>& voices, int number, std::string_view name) {
  if (name.empty()) {
    if (number >= 1 && static_cast<size_t>(number) <= voices.size()) return static_cast<size_t>(number - 1);
    return std::nullopt;
  }
  const std::string wanted = comparable(name);
  const auto found = std::find_if(voices.begin(), voices.end(), [&](const EngineVoice& voice) {
    return comparable(voice.name) == wanted || (!voice.identifier.empty() && comparable(voice.identifier) == wanted);
  });
  if (found == voices.end()) return std::nullopt;
  return static_cast<size_t>(found - voices.begin());
}

std::vector<size_t> brazilianFirst(const std::vector<EngineVoice>& voices) {
  std::vector<size_t> order(voices.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_partition(order.begin(), order.end(), [&](size_t i) { return isBrazilianPortuguese(voices[i].language); });
  return order;
}

}  // namespace kaldro::engines
