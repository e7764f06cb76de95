// The zip package of a word-processor document, through libzip: read with a cap, written anew.
#include "documents/zip_package.h"

#include <zip.h>

#include <set>

#include "platform/words.h"

namespace kaldro::documents {

namespace words = platform::words;
using platform::Status;
using platform::StatusCode;

namespace {
// The smallest zip file: its end-of-directory record alone.
constexpr size_t kSmallestZip = 22;

Status damaged() { return Status::failure(StatusCode::Malformed, words::DocumentDamaged.str()); }
Status protectedByPassword() { return Status::failure(StatusCode::Refused, words::DocumentProtected.str()); }
Status writeFailed() { return Status::failure(StatusCode::WriteFailed, words::OutputWriteError.str()); }

// A package with an encrypted entry, or two entries of one name (one would shadow the other).
Status checkEntries(zip* archive) {
  std::set<std::string> names;
  const zip_int64_t count = zip_get_num_entries(archive, 0);
  for (zip_int64_t i = 0; i < count; ++i) {
    zip_stat_t entry;
    if (zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &entry) != 0 || !(entry.valid & ZIP_STAT_NAME))
      return damaged();
    if ((entry.valid & ZIP_STAT_ENCRYPTION_METHOD) && entry.encryption_method != ZIP_EM_NONE)
      return protectedByPassword();
    if (!names.insert(entry.name).second) return damaged();
  }
  return {};
}

// The bytes a zip written into a buffer source came to.
Status takeBytes(zip_source_t* target, std::string& bytes) {
  zip_stat_t written;
  if (zip_source_stat(target, &written) != 0 || !(written.valid & ZIP_STAT_SIZE) || zip_source_open(target) != 0)
    return writeFailed();
  bytes.resize(written.size);
  const zip_int64_t read = zip_source_read(target, bytes.data(), bytes.size());
  zip_source_close(target);
  if (read < 0 || static_cast<zip_uint64_t>(read) != written.size) return writeFailed();
  return {};
}
}  // namespace

Status ZipPackage::open(std::string_view bytes, std::unique_ptr<ZipPackage>& package) {
  // A zip's first entry begins "PK\3\4": such a file that libzip cannot open was cut short.
  const bool startsAsZip = bytes.substr(0, 4) == std::string_view("PK\x03\x04", 4);
  const Status notZip = startsAsZip ? damaged() : Status::failure(StatusCode::Malformed, words::DocumentNotZip.str());
  if (bytes.size() < kSmallestZip) return notZip;
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
  zip* archive = source ? zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error) : nullptr;
  const int code = zip_error_code_zip(&error);
  zip_error_fini(&error);
  if (!archive) {
    zip_source_free(source);
    return code == ZIP_ER_NOZIP ? notZip : damaged();
  }
  package.reset(new ZipPackage(archive));
  return checkEntries(archive);
}

ZipPackage::~ZipPackage() { zip_discard(archive_); }

bool ZipPackage::has(const std::string& name) const { return zip_name_locate(archive_, name.c_str(), 0) >= 0; }

Status ZipPackage::read(const std::string& name, std::string& contents) {
  contents.clear();
  const zip_int64_t index = zip_name_locate(archive_, name.c_str(), 0);
  if (index < 0) return damaged();
  zip_file_t* file = zip_fopen_index(archive_, static_cast<zip_uint64_t>(index), 0);
  if (!file) return zip_error_code_zip(zip_get_error(archive_)) == ZIP_ER_NOPASSWD ? protectedByPassword() : damaged();
  char buffer[65536];
  for (;;) {
    const zip_int64_t got = zip_fread(file, buffer, sizeof buffer);
    if (got < 0) {  // a bad deflate stream, or a CRC that does not match
      zip_fclose(file);
      return damaged();
    }
    if (got == 0) break;
    unpacked_ += static_cast<size_t>(got);
    if (unpacked_ > kMaxUnpackedBytes) {
      zip_fclose(file);
      return Status::failure(StatusCode::FormatLimit, words::DocumentTooLarge.str());
    }
    contents.append(buffer, static_cast<size_t>(got));
  }
  return zip_fclose(file) == 0 ? Status() : damaged();
}

Status ZipPackage::write(const std::map<std::string, std::string>& replaced, const std::string& storedFirst,
                         std::string& bytes) const {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* target = zip_source_buffer_create(nullptr, 0, 0, &error);
  zip_error_fini(&error);
  if (!target) return writeFailed();
  zip_source_keep(target);  // read back after zip_close
  zip* out = zip_open_from_source(target, ZIP_TRUNCATE, nullptr);
  if (!out) {
    zip_source_free(target);
    return writeFailed();
  }
  bool ok = true;
  auto addReplaced = [&](const std::string& name, const std::string& contents, zip_int32_t method) {
    zip_source_t* source = zip_source_buffer(out, contents.data(), contents.size(), 0);
    const zip_int64_t at = source ? zip_file_add(out, name.c_str(), source, ZIP_FL_ENC_UTF_8) : -1;
    if (at < 0) {
      zip_source_free(source);
      return zip_int64_t{-1};
    }
    zip_set_file_compression(out, static_cast<zip_uint64_t>(at), method, 0);
    return at;
  };
  if (!storedFirst.empty()) ok = replaced.count(storedFirst) && addReplaced(storedFirst, replaced.at(storedFirst), ZIP_CM_STORE) >= 0;
  const zip_int64_t count = zip_get_num_entries(archive_, 0);
  for (zip_int64_t i = 0; ok && i < count; ++i) {
    zip_stat_t entry;
    if (zip_stat_index(archive_, static_cast<zip_uint64_t>(i), 0, &entry) != 0) {
      ok = false;
      break;
    }
    const std::string name = entry.name;
    if (name == storedFirst) continue;
    zip_int64_t at = -1;
    if (auto found = replaced.find(name); found != replaced.end()) {
      at = addReplaced(name, found->second, ZIP_CM_DEFLATE);
    } else {
      zip_source_t* source = zip_source_zip(out, archive_, static_cast<zip_uint64_t>(i), ZIP_FL_COMPRESSED, 0, -1);
      at = source ? zip_file_add(out, name.c_str(), source, ZIP_FL_ENC_UTF_8) : -1;
      if (at < 0) zip_source_free(source);
    }
    ok = at >= 0;
    if (ok && (entry.valid & ZIP_STAT_MTIME)) zip_file_set_mtime(out, static_cast<zip_uint64_t>(at), entry.mtime, 0);
  }
  if (!ok || zip_close(out) != 0) {
    zip_discard(out);
    zip_source_free(target);
    return writeFailed();
  }
  const Status taken = takeBytes(target, bytes);
  zip_source_free(target);
  return taken;
}

}  // namespace kaldro::documents
