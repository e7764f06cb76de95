// The voices an external synthesizer offers: how VOZ picks one (by number or by name) and the
// order they are listed in (Brazilian Portuguese first).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kaldro::engines {

// One voice as the synthesizer reports it (UTF-8).
struct EngineVoice {
  std::string name;        // "Portuguese (Brazil)"
  std::string language;    // "pt-BR"; empty when the synthesizer does not say
  std::string identifier;  // a second name the synthesizer knows it by ("roa/pt-BR"); may be empty
};

// The language asked for when VOZ picks no voice: the programs speak Brazilian Portuguese.
inline constexpr const char* DefaultLanguage = "pt-BR";

// pt-BR in any of the spellings synthesizers use (pt-br, pt_BR).
bool isBrazilianPortuguese(std::string_view language);

// The voice VOZ picks: a number counts from 1 in the synthesizer's order; a name (UTF-8, not empty)
// matches a voice's name or identifier without regard to case, "_" standing for a blank as
// eSpeak NG's own lists write it. Nothing when neither picks a voice.
std::optional<size_t> findVoice(const std::vector<EngineVoice>& voices, int number, std::string_view name);

// The order a listing shows: the Brazilian Portuguese voices, then the rest, each part in the
// synthesizer's order; indexes into voices.
std::vector<size_t> brazilianFirst(const std::vector<EngineVoice>& voices);

}  // namespace kaldro::engines
