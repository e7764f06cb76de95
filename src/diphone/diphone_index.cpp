// Index records of the diphone database and their binary search.
#include "diphone/diphone_index.h"

#include <algorithm>

namespace kaldro::diphone {

namespace {
uint8_t byteAt(const std::string& bytes, size_t i) { return static_cast<uint8_t>(bytes[i]); }
}  // namespace

DiphoneIndex::DiphoneIndex(std::string bytes) : bytes_(std::move(bytes)) {
  bytes_.resize(size() * kIndexRecordSize);
}

std::string DiphoneIndex::nameAt(size_t record) const {
  size_t base = record * kIndexRecordSize;
  size_t length = std::min<size_t>(byteAt(bytes_, base), kMaxUnitName);
  return bytes_.substr(base + 1, length);
}

UnitLocation DiphoneIndex::locationAt(size_t record) const {
  size_t base = record * kIndexRecordSize;
  UnitLocation location;
  location.length = static_cast<uint16_t>(byteAt(bytes_, base + 9) | (byteAt(bytes_, base + 10) << 8));
  location.offset = static_cast<uint32_t>(byteAt(bytes_, base + 11)) |
                    (static_cast<uint32_t>(byteAt(bytes_, base + 12)) << 8) |
                    (static_cast<uint32_t>(byteAt(bytes_, base + 13)) << 16) |
                    (static_cast<uint32_t>(byteAt(bytes_, base + 14)) << 24);
  return location;
}

std::optional<UnitLocation> DiphoneIndex::find(std::string_view name) const {
  if (name.size() > kMaxUnitName) return std::nullopt;
  size_t low = 0;
  size_t high = size();  // search records low .. high - 1
  while (low < high) {
    size_t middle = low + (high - low) / 2;
    std::string candidate = nameAt(middle);
    int order = std::string_view(candidate).compare(name);
    if (order == 0) return locationAt(middle);
    if (order < 0) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  return std::nullopt;
}

std::string encodeIndexRecord(std::string_view name, UnitLocation location) {
  std::string record(kIndexRecordSize, '\0');
  size_t length = std::min(name.size(), kMaxUnitName);
  record[0] = static_cast<char>(length);
  std::copy_n(name.begin(), length, record.begin() + 1);
  record[9] = static_cast<char>(location.length & 0xFF);
  record[10] = static_cast<char>(location.length >> 8);
  for (int i = 0; i < 4; ++i) record[11 + static_cast<size_t>(i)] = static_cast<char>((location.offset >> (8 * i)) & 0xFF);
  return record;
}

}  // namespace kaldro::diphone
