// The trace: one line per sound-making event, appended to the file named by KALDRO_TRACE.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace kaldro::platform {

class Trace {
 public:
  Trace() = default;
  // An empty path traces nothing.
  explicit Trace(const std::string& path);
  ~Trace();
  Trace(const Trace&) = delete;
  Trace& operator=(const Trace&) = delete;

  bool enabled() const { return file_ != nullptr; }
  // Texts are CP1252 inside the system; the trace is UTF-8.
  void line(std::string_view cp1252Text);
  // "say TEXT", "char 65": a keyword and a CP1252 text.
  void event(std::string_view keyword, std::string_view cp1252Text);
  void event(std::string_view keyword) { line(keyword); }

 private:
  std::FILE* file_ = nullptr;
};

}  // namespace kaldro::platform
