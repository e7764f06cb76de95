// The answer of an operation that can fail: a code a caller can act on and the Portuguese words
// (CP1252) that tell the user why.
#pragma once

#include <memory>
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

// What a factory answers: the object it made and, when it is not what was asked (nothing, or a
// stand-in), why.
template <typename T>
struct Made {
  std::unique_ptr<T> object;
  Status status;
};

// A factory's failure: no object, the reason (the words, CP1252).
template <typename T>
Made<T> notMade(StatusCode code, std::string message) {
  return {nullptr, Status::failure(code, std::move(message))};
}

}  // namespace kaldro::platform
