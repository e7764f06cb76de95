// The trace of sound-making events: one line an event, appended as it happens.
#include "platform/trace.h"

#include "platform/text.h"

namespace kaldro::platform {

Trace::Trace(const std::string& path) {
  if (!path.empty()) file_ = std::fopen(path.c_str(), "a");
}

Trace::~Trace() {
  if (file_) std::fclose(file_);
}

void Trace::line(std::string_view cp1252Text) {
  if (!file_) return;
  std::string utf8 = cp1252ToUtf8(cp1252Text);
  utf8.push_back('\n');
  std::fwrite(utf8.data(), 1, utf8.size(), file_);
  // Flushed at once: a test reads the trace of a process that may be killed.
  std::fflush(file_);
}

void Trace::event(std::string_view keyword, std::string_view cp1252Text) {
  if (!file_) return;
  std::string text(keyword);
  text.push_back(' ');
  text.append(cp1252Text);
  line(text);
}

}  // namespace kaldro::platform
