// The unit inventory's reader: malformed lines, copies, and the phones of phoneme strings.
#include "diphone/unit_phones.h"

#include <gtest/gtest.h>

namespace kaldro::diphone {
namespace {

TEST(Inventory, ReportsEveryMalformedLineAndResolvesCopies) {
  UnitPhones inventory;
  auto faults = inventory.parse(
      "# título\n"
      "símbolo a = a\n"
      "símbolo tch = t x\n"
      "símbolo t = t\n"
      "símbolo i = i\n"
      "$KA = a'[ka]ta = k a\n"
      "$KA = a'[ka]ta = k a\n"          // repeated
      "$KUCIRC = como $KU\n"            // copies nothing
      "$TOOLONGNAME = a'[ka]ta = k a\n" // more than 8 characters
      "qualquer coisa\n"
      "$KACOPIA = como $KA\n",
      "teste.txt");
  ASSERT_EQ(faults.size(), 4u);
  EXPECT_NE(faults[0].find("teste.txt:7:"), std::string::npos);
  EXPECT_NE(faults[3].find("$KUCIRC"), std::string::npos);
  const InventoryUnit* copy = inventory.find("$kacopia");
  ASSERT_TRUE(copy);
  EXPECT_EQ(copy->phones, (std::vector<std::string>{"k", "a"}));
  // The longest symbol wins; a stressed vowel is marked; a spelled character stays visible.
  EXPECT_EQ(inventory.phonesOf("[ tch/I/ t/a]"), (std::vector<std::string>{"t", "x", ">i", "t", "a"}));
  EXPECT_EQ(inventory.phonesOf("[ /_C]"), (std::vector<std::string>{"<C>"}));
}

}  // namespace
}  // namespace kaldro::diphone
