// Every input that once made a fuzz target fail (tests/crash_vectors/TARGET/) runs again here.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "targets.h"

namespace kaldro::fuzz {
namespace {

TEST(CrashVectors, EveryKeptInputRunsThroughItsTarget) {
  const std::filesystem::path root = std::filesystem::path(KALDRO_SOURCE_DIR) / "tests" / "crash_vectors";
  size_t ran = 0;
  for (const auto& folder : std::filesystem::directory_iterator(root)) {
    if (!folder.is_directory()) continue;
    const Target target = targetNamed(folder.path().filename().string());
    ASSERT_NE(target, nullptr) << "no fuzz target for " << folder.path();
    for (const auto& file : std::filesystem::directory_iterator(folder.path())) {
      std::ifstream in(file.path(), std::ios::binary);
      const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      SCOPED_TRACE(file.path().string());
      target(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
      ++ran;
    }
  }
  EXPECT_GT(ran, 0u);
}

}  // namespace
}  // namespace kaldro::fuzz
