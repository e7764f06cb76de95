// An MBROLA library that answers the engine's library binding as the fuzz input says, for the
// mbrola_library target. init_MBR(REPLY) reads REPLY: each read_MBR takes the next 4 bytes as the
// count it answers (little-endian, any value: more than asked, negative, zero) and writes at most the
// samples asked for; each lastError_MBR takes the next byte (non-zero: an error); lastErrorStr_MBR
// answers REPLY.err. Once the bytes run out, reads answer 0 and there is no error.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

namespace {
struct Reply {
  std::string bytes;
  size_t at = 0;
  std::string errorText;
};
Reply& reply() {
  static Reply r;
  return r;
}
std::string contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}
}  // namespace

extern "C" {
int init_MBR(char* path) {
  reply() = {contents(path), 0, contents(std::string(path) + ".err")};
  return reply().bytes.empty() ? -1 : 0;
}
int init_rename_MBR(char* path, char*, char*) { return init_MBR(path); }
int write_MBR(char*) { return 0; }
int flush_MBR() { return 0; }
int read_MBR(short* buffer, int wanted) {
  Reply& r = reply();
  if (r.at + 4 > r.bytes.size()) return 0;
  uint32_t raw = 0;
  std::memcpy(&raw, r.bytes.data() + r.at, 4);
  r.at += 4;
  const int answer = static_cast<int>(raw);
  const int written = std::clamp(answer, 0, std::max(wanted, 0));
  std::fill(buffer, buffer + written, static_cast<short>(answer));
  return answer;
}
int readtype_MBR(char* buffer, int wanted, int) { return read_MBR(reinterpret_cast<short*>(buffer), wanted / 2) * 2; }
void close_MBR() {}
int reset_MBR() { return 0; }
int lastError_MBR() {
  Reply& r = reply();
  return r.at < r.bytes.size() ? static_cast<unsigned char>(r.bytes[r.at++]) : 0;
}
int lastErrorStr_MBR(char* buffer, int wanted) {
  if (wanted <= 0) return 0;
  const std::string& text = reply().errorText;
  const size_t n = std::min(text.size(), static_cast<size_t>(wanted - 1));
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
  return static_cast<int>(n);
}
void setNoError_MBR(int) {}
int getNoError_MBR() { return 1; }
void setFreq_MBR(int) {}
int getFreq_MBR() { return 16000; }
void setVolumeRatio_MBR(float) {}
float getVolumeRatio_MBR() { return 1.0f; }
int getVersion_MBR(char*, int) { return 0; }
int getDatabaseInfo_MBR(char*, int, int) { return 0; }
void setParser_MBR(void*) {}
void* init_Phone(const char*, float) { return nullptr; }
void reset_Phone(void*) {}
void close_Phone(void*) {}
void appendf0_Phone(void*, float, float) {}
}
