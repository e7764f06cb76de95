// The unit inventory (data/voice/unidades.txt): which units the voice has, how each is cut, which phones it holds.
//
// Lines:
//   # heading or comment                      (also blank lines)
//   símbolo a^ = a                             a phoneme-string symbol and its phones
//   $KA = a'[ka]ta = k a                       a unit: its name, the eSpeak NG carrier with the cut
//                                              in brackets, and its phones
//   $KUCIRC = como $KU                         a unit that sounds exactly like another one
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kaldro::voz {

struct InventoryUnit {
  std::string name;     // as written, "$" first
  std::string carrier;  // eSpeak mnemonics with "[" and "]" around the part cut out; empty for an alias
  std::string sameAs;   // the unit an alias copies
  std::vector<std::string> phones;
  size_t line = 0;
};

// The carrier split for synthesis: the mnemonics without brackets, and the cut as positions in
// those mnemonics once the stress marks (' and ,) are removed.
struct CarrierCut {
  std::string mnemonics;  // what eSpeak NG is given
  std::string bare;       // mnemonics without stress marks
  size_t begin = 0;       // in bare
  size_t end = 0;         // in bare
};
std::optional<CarrierCut> parseCarrier(std::string_view carrier);

class UnitInventory {
 public:
  // Reads the file (UTF-8). Faults are "file:line: problem" texts; an empty list means success.
  std::vector<std::string> load(const std::string& path);
  std::vector<std::string> parse(std::string_view text, const std::string& fileName);

  const std::vector<InventoryUnit>& units() const { return units_; }
  // Phoneme-string symbols and their phones, longest symbols first when matching.
  const std::map<std::string, std::vector<std::string>>& symbols() const { return symbols_; }
  const InventoryUnit* find(std::string_view name) const;

  // The phones of the phoneme string of one word ("[ k/A/ z/a^]"): each symbol replaced by its
  // phones, the stressed vowel's phone preceded by "'". Unknown symbols give "?".
  std::vector<std::string> phonesOf(std::string_view phonemeString) const;

 private:
  std::vector<InventoryUnit> units_;
  std::map<std::string, std::vector<std::string>> symbols_;
};

}  // namespace kaldro::voz
