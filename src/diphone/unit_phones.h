// The unit inventory (unidades.txt) as the voice reads it: its units, the phones each holds, and
// the phones a phoneme string is spoken with.
//
// Lines:
//   # heading or comment                      (also blank lines)
//   símbolo a^ = a                             a phoneme-string symbol and its phones
//   $KA = a'[ka]ta = k a                       a unit: its name, the eSpeak NG carrier it is cut
//                                              from (the voice builder's business), and its phones
//   $KUCIRC = como $KU                         a unit that sounds exactly like another one
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"

namespace kaldro::diphone {

// Beside the database, in the diphone folder.
constexpr std::string_view kInventoryFileName = "unidades.txt";
// Written before the phone of the stressed vowel.
constexpr std::string_view kStressMark = ">";

struct InventoryUnit {
  std::string name;     // as written, "$" first
  std::string carrier;  // as written; empty for a copy
  std::string sameAs;   // the unit a copy sounds like
  std::vector<std::string> phones;
  size_t line = 0;
};

class UnitPhones {
 public:
  // Reads the file (UTF-8). Ok, or the file unreadable (Unreadable), or its faults (Malformed): one
  // "file:line: problem" line each (CP1252, parted by "\n").
  platform::Status load(const std::string& path);
  // The inventory in folder (a file-system path ending in "/"), its name found without regard to case.
  platform::Status loadFromFolder(const std::string& folder);
  // The faults of a text, as "file:line: problem" lines (UTF-8); none when it is whole.
  std::vector<std::string> parse(std::string_view text, const std::string& fileName);

  const std::vector<InventoryUnit>& units() const { return units_; }
  const InventoryUnit* find(std::string_view name) const;

  // The phones of a phoneme string made by Translator::translateText ("[ k/A/ z/a^]"): each symbol
  // replaced by its phones (the longest symbol first), the stressed vowel's phone preceded by
  // kStressMark, a character spoken by name as "<c>", an unknown symbol as "?".
  std::vector<std::string> phonesOf(std::string_view phonemeString) const;

 private:
  // A unit line ("$NAME = carrier = phones" or "$NAME = como OTHER") into unit; the fault, or "".
  std::string parseUnit(std::string_view line, InventoryUnit& unit) const;

  std::vector<InventoryUnit> units_;
  std::map<std::string, std::vector<std::string>> symbols_;
};

}  // namespace kaldro::diphone
