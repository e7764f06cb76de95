// The diphone database's index: 15-byte records sorted by unit name, searched by binary search.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kaldro::diphone {

// Index record layout: name length (1 byte, 0..8), name (8 bytes, upper case, unused bytes after
// it), unit length in samples (2 bytes, little-endian), offset in the data file (4 bytes,
// little-endian).
constexpr size_t kIndexRecordSize = 15;
constexpr size_t kMaxUnitName = 8;

struct UnitLocation {
  uint16_t length = 0;  // samples (= bytes)
  uint32_t offset = 0;  // in the data file
};

class DiphoneIndex {
 public:
  DiphoneIndex() = default;
  // The file's bytes; a remainder smaller than a record is ignored.
  explicit DiphoneIndex(std::string bytes);

  size_t size() const { return bytes_.size() / kIndexRecordSize; }
  bool empty() const { return size() == 0; }
  // The record whose name equals name exactly (byte order, a prefix sorts first).
  std::optional<UnitLocation> find(std::string_view name) const;
  std::string nameAt(size_t record) const;
  UnitLocation locationAt(size_t record) const;

 private:
  std::string bytes_;
};

// Encodes one record (name cut to 8 characters).
std::string encodeIndexRecord(std::string_view name, UnitLocation location);

}  // namespace kaldro::diphone
