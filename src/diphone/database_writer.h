// Writes a diphone database (index + data file): used by the voice builder and by test fixtures.
//
// On disk a database is two files beside each other:
//   NAME.IND  one 15-byte record per unit, sorted ascending by unit name in byte order (a name that
//             is a prefix of another comes first):
//               byte 0       name length, 0..8
//               bytes 1..8   the name in upper case, unused bytes zero
//               bytes 9..10  unit length in samples, unsigned little-endian (at most 65535)
//               bytes 11..14 offset of the unit in NAME.DIF, little-endian
//   NAME.DIF  the units' raw samples one after the other: unsigned 8-bit mono at 11025 samples per
//             second, 128 being silence.
// Unit names: "$" + phoneme letters ($KA for the pair ka, $A for a vowel alone, $NN the nasal
// resonance), ending in CIRC for a closed (circumflex) vowel and TIL for a nasal (tilde) vowel.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kaldro::diphone {

struct DiphoneUnit {
  std::string name;              // upper-cased (a to z) when written
  std::vector<uint8_t> samples;  // 8-bit unsigned, 11025 Hz
};

// Writes basePath + ".IND" and basePath + ".DIF". Returns an empty text on success, else what is
// wrong (a name longer than 8 characters or repeated, a unit of more than 65535 samples, data past
// 4 GiB, a file that cannot be written); for a wrong unit nothing is written.
std::string writeDiphoneDatabase(const std::string& basePath, std::vector<DiphoneUnit> units);

}  // namespace kaldro::diphone
