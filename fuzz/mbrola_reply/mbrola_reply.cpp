// A co-process that answers the engine's MBROLA binding as the fuzz input says, for the mbrola_lines
// target: mbrola -e REPLY - -. It reads .pho lines; the first flush ("#", the binding's start-up
// probe) gets 50 ms of silence, the second gets the bytes of REPLY on standard output and those of
// REPLY.err on standard error, and then it ends with the status held in REPLY.status (0 without it).
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
  int flushes = 0;
  std::string line;
  char buffer[4096];
  for (ssize_t n; (n = ::read(0, buffer, sizeof buffer)) > 0;) {
    for (const char c : std::string_view(buffer, static_cast<size_t>(n))) {
      if (c != '\n') {
        line += c;
        continue;
      }
      if (line == "#" && ++flushes == 1) {
        writeAll(1, std::string(1600, '\0'));
      } else if (line == "#") {
        writeAll(1, contents(reply));
        writeAll(2, contents(reply + ".err"));
        return std::atoi(contents(reply + ".status").c_str());
      }
      line.clear();
    }
  }
  return 0;
}
