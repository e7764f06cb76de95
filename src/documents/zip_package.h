// The zip package of a word-processor document: its entries read with a cap on what is unpacked,
// and a new package written from it with some entries replaced.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"

struct zip;

namespace kaldro::documents {

// Far beyond the text of any letter, small enough to hold in memory at once: a zip bomb stops here.
inline constexpr size_t kMaxUnpackedBytes = 64u << 20;

class ZipPackage {
 public:
  // Opens the package held in bytes, which must outlive it.
  static platform::Status open(std::string_view bytes, std::unique_ptr<ZipPackage>& package);
  ~ZipPackage();
  ZipPackage(const ZipPackage&) = delete;
  ZipPackage& operator=(const ZipPackage&) = delete;

  bool has(const std::string& name) const;
  // The entry unpacked. Every entry read counts against one cap on unpacked bytes
  // (kMaxUnpackedBytes), whatever the sizes the package claims.
  platform::Status read(const std::string& name, std::string& contents);

  // A new package holding the same entries in the same order, the replaced ones with their new
  // contents; storedFirst (when not empty) comes first and uncompressed, as ODF's mimetype must.
  // The entries not replaced are copied as they are packed, never unpacked.
  platform::Status write(const std::map<std::string, std::string>& replaced, const std::string& storedFirst,
                         std::string& bytes) const;

 private:
  explicit ZipPackage(zip* archive) : archive_(archive) {}
  zip* archive_;
  size_t unpacked_ = 0;
};

}  // namespace kaldro::documents
