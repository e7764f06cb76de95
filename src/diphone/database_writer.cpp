// Builds the index and data files of a diphone database from a list of units.
#include "diphone/database_writer.h"

#include <algorithm>
#include <fstream>

#include "diphone/diphone_index.h"
#include "platform/text.h"
#include "platform/words.h"

namespace kaldro::diphone {

namespace words = platform::words;

std::string writeDiphoneDatabase(const std::string& basePath, std::vector<DiphoneUnit> units) {
  for (DiphoneUnit& unit : units) {
    unit.name = platform::upperAscii(unit.name);
    if (unit.name.size() > kMaxUnitName) return words::UnitNameTooLong.utf8({unit.name});
    if (unit.samples.size() > 0xFFFF) return words::UnitTooLong.utf8({unit.name});
  }
  std::sort(units.begin(), units.end(), [](const DiphoneUnit& a, const DiphoneUnit& b) { return a.name < b.name; });
  for (size_t i = 1; i < units.size(); ++i)
    if (units[i].name == units[i - 1].name) return words::UnitRepeated.utf8({units[i].name});

  std::string index;
  uint64_t offset = 0;
  for (const DiphoneUnit& unit : units) {
    if (offset > 0xFFFFFFFFu) return words::DatabaseTooLarge.utf8();
    index += encodeIndexRecord(unit.name, {static_cast<uint16_t>(unit.samples.size()), static_cast<uint32_t>(offset)});
    offset += unit.samples.size();
  }

  std::ofstream data(basePath + ".DIF", std::ios::binary | std::ios::trunc);
  for (const DiphoneUnit& unit : units)
    data.write(reinterpret_cast<const char*>(unit.samples.data()), static_cast<std::streamsize>(unit.samples.size()));
  data.close();
  std::ofstream indexFile(basePath + ".IND", std::ios::binary | std::ios::trunc);
  indexFile.write(index.data(), static_cast<std::streamsize>(index.size()));
  indexFile.close();
  if (!data || !indexFile) return words::DatabaseNotWritten.utf8({basePath});
  return "";
}

}  // namespace kaldro::diphone
