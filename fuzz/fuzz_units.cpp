// The unit inventory (unidades.txt) and the phones of phoneme strings through it (after "%%").
#include "diphone/unit_phones.h"
#include "targets.h"

namespace kaldro::fuzz {

void fuzzUnitInventory(std::span<const uint8_t> input) {
  const auto [text, phonemes] = splitInput(std::string_view(reinterpret_cast<const char*>(input.data()), input.size()));
  diphone::UnitPhones inventory;
  (void)inventory.parse(text, "unidades.txt");
  for (const diphone::InventoryUnit& unit : inventory.units()) (void)inventory.find(unit.name);
  (void)inventory.phonesOf(phonemes.substr(0, 1024));
  (void)inventory.phonesOf("b'Om di'a ma'ria");
}

}  // namespace kaldro::fuzz
