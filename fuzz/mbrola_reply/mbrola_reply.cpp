// A co-process that answers the engine's MBROLA binding as the fuzz input says, for the mbrola_lines
// target: mbrola -e REPLY - -. It reads .pho lines. A flush ("#") after the end phone is answered
// with MBROLA's warning about it, as MBROLA run with -e does; the first other flush gets the bytes of
// REPLY on standard output and those of REPLY.err on standard error. After that reply, the next end
// phone's flush ends it with the status held in REPLY.status, or is answered when that is empty.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace {
std::string contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void writeAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) std::exit(1);
    done += static_cast<size_t>(n);
  }
}
}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) return 1;
  const std::string reply = argv[argc - 3];
  const std::string status = contents(reply + ".status");
  bool replied = false;
  std::string line, previous;
  char buffer[4096];
  for (ssize_t n; (n = ::read(0, buffer, sizeof buffer)) > 0;) {
    for (const char c : std::string_view(buffer, static_cast<size_t>(n))) {
      if (c != '\n') {
        line += c;
        continue;
      }
      if (line == "#" && previous.rfind("kaldro-fim", 0) == 0) {
        if (replied && !status.empty()) return std::atoi(status.c_str());
        writeAll(2, "Warning: kaldro-fim-_ unknown, replaced with _-_\n");
      } else if (line == "#" && !replied) {
        writeAll(1, contents(reply));
        writeAll(2, contents(reply + ".err"));
        replied = true;
      }
      previous = line;
      line.clear();
    }
  }
  return 0;
}
