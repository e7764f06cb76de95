// The answer of an operation that can fail: a code a caller can act on and the Portuguese words
// (CP1252) that tell the user why.
#pragma once

#include <string>
#include <utility>

namespace kaldro::platform {

enum class StatusCode {
  Ok,
  NotFound,      // a file, program or library that is not there
  Unreadable,    // there, but it could not be read
  Malformed,     // read, but not what it should be
  CannotCreate,  // a file that could not be made
  WriteFailed,   // a write that did not go through (a full disk, a file size limit)
  FormatLimit,   // more than the format can hold
  Refused,       // another program or library said no
};

class Status {
 public:
  Status() = default;  // done
  static Status failure(StatusCode code, std::string message) { return Status(code, std::move(message)); }

  bool ok() const { return code_ == StatusCode::Ok; }
  StatusCode code() const { return code_; }
  const std::string& message() const { return message_; }

 private:
  Status(StatusCode code, std::string message) : code_(code), message_(std::move(message)) {}
  StatusCode code_ = StatusCode::Ok;
  std::string message_;
};

}  // namespace kaldro::platform
