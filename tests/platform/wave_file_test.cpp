// The one walk of a WAV file's chunks gives the same answer over memory and over an open file; the
// WAV file sink's header tells what the file holds at every moment, up to the format's limit.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/wave_file.h"
#include "platform/wave_file_sink.h"
#include "support/program_run.h"

namespace kaldro::platform {
namespace {

std::vector<uint8_t> bytesOf(const std::string& text) { return {text.begin(), text.end()}; }

std::string le32(uint32_t value) {
  return {static_cast<char>(value), static_cast<char>(value >> 8), static_cast<char>(value >> 16),
          static_cast<char>(value >> 24)};
}

// A RIFF file: a 16-byte format chunk (11025 Hz, 8-bit mono), then `middle`, then a data chunk
// stating `stated` bytes and holding `samples`.
std::vector<uint8_t> waveWith(const std::string& middle, uint32_t stated, const std::string& samples,
                              const std::string& dataName = "data") {
  const std::string format = "fmt " + le32(16) + std::string("\x01\x00\x01\x00", 4) + le32(11025) +
                             le32(11025) + std::string("\x01\x00\x08\x00", 4);
  const std::string body = "WAVE" + format + middle + dataName + le32(stated) + samples;
  return bytesOf("RIFF" + le32(static_cast<uint32_t>(body.size())) + body);
}

struct Case {
  const char* name;
  std::vector<uint8_t> bytes;
  bool ok;
  size_t dataStart;
  size_t dataLength;
  size_t statedDataLength;
};

// The layout, and the byte the file stands at afterwards (-1 at its end).
struct FileWalk {
  WaveLayout layout;
  int next = -1;
};

FileWalk walkOpenFile(std::FILE* file) {
  FileWalk walk{parseWaveFile(file)};
  walk.next = std::fgetc(file);
  std::fclose(file);
  return walk;
}

FileWalk walkedFile(const std::vector<uint8_t>& bytes) {
  std::FILE* file = std::tmpfile();
  EXPECT_NE(nullptr, file);
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::rewind(file);
  return walkOpenFile(file);
}

// The same bytes through a pipe, which cannot seek (all of them fit its buffer).
FileWalk walkedPipe(const std::vector<uint8_t>& bytes) {
  int ends[2];
  EXPECT_EQ(0, ::pipe(ends));
  EXPECT_EQ(static_cast<ssize_t>(bytes.size()), ::write(ends[1], bytes.data(), bytes.size()));
  ::close(ends[1]);
  return walkOpenFile(::fdopen(ends[0], "rb"));
}

WaveLayout parsedFromFile(const std::vector<uint8_t>& bytes) { return walkedFile(bytes).layout; }

// The bytes with those at `at` replaced.
std::vector<uint8_t> with(std::vector<uint8_t> bytes, size_t at, const std::string& replacement) {
  std::copy(replacement.begin(), replacement.end(), bytes.begin() + static_cast<long>(at));
  return bytes;
}

TEST(WaveFile, MemoryAndFilesWalkTheChunksAlike) {
  const std::string odd = "LIST" + le32(3) + std::string("abc", 3);
  const Case cases[] = {
      {"RIFF and fmt in small letters", with(with(waveWith("", 2, "ab"), 0, "riff"), 12, "FMT "), true, 44, 2, 2},
      {"no format chunk", with(waveWith("", 2, "ab"), 12, "junk"), false, 0, 0, 0},
      {"a chunk stating more than the file holds", waveWith("fact" + le32(0x7FFFFFF0), 2, "ab"), false, 0, 0, 0},
      {"plain", waveWith("", 4, "wxyz"), true, 44, 4, 4},
      {"odd chunk with its pad byte", waveWith(odd + std::string(1, '\0'), 2, "ab"), true, 56, 2, 2},
      {"odd chunk without a pad byte", waveWith(odd, 2, "ab"), true, 55, 2, 2},
      {"names in small letters", waveWith("", 2, "ab", "DATA"), true, 44, 2, 2},
      {"data cut short", waveWith("", 100, "abc"), true, 44, 3, 100},
      {"no data chunk", waveWith("", 2, "ab", "note"), false, 0, 0, 0},
      {"not RIFF", bytesOf("RIFX" + std::string(40, '\0')), false, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const WaveLayout fromMemory = parseWaveImage(c.bytes);
    const WaveLayout fromFile = parsedFromFile(c.bytes);
    EXPECT_EQ(c.ok, fromMemory.ok);
    EXPECT_EQ(c.dataStart, fromMemory.dataStart);
    EXPECT_EQ(c.dataLength, fromMemory.dataLength);
    EXPECT_EQ(c.statedDataLength, fromMemory.statedDataLength);
    EXPECT_EQ(fromMemory.ok, fromFile.ok);
    EXPECT_EQ(fromMemory.dataStart, fromFile.dataStart);
    EXPECT_EQ(fromMemory.dataLength, fromFile.dataLength);
    EXPECT_EQ(fromMemory.rate, fromFile.rate);
    if (c.ok) {
      EXPECT_EQ(FamilySampleRate, fromFile.rate);
      EXPECT_EQ(c.dataStart + c.dataLength, fromMemory.totalLength);
    }
    // Both stand at the first sample after a walk that found it; a pipe takes the stated length.
    const FileWalk file = walkedFile(c.bytes), pipe = walkedPipe(c.bytes);
    EXPECT_EQ(c.ok, pipe.layout.ok);
    EXPECT_EQ(c.dataStart, pipe.layout.dataStart);
    EXPECT_EQ(c.statedDataLength, pipe.layout.dataLength);
    if (c.ok) {
      EXPECT_EQ(c.bytes[c.dataStart], file.next);
      EXPECT_EQ(c.bytes[c.dataStart], pipe.next);
    }
  }
}

// A file whose format chunk has the given tag and, after the 16 bytes of fields, `extension`.
std::vector<uint8_t> waveTagged(uint16_t tag, const std::string& extension, bool withData = true) {
  const std::string fields = std::string{static_cast<char>(tag), static_cast<char>(tag >> 8), 2, 0} + le32(48000) +
                             le32(384000) + std::string("\x08\x00\x20\x00", 4);
  const std::string format = "fmt " + le32(static_cast<uint32_t>(16 + extension.size())) + fields + extension;
  const std::string body = "WAVE" + format + (withData ? "data" + le32(8) + std::string(8, '\0') : "");
  return bytesOf("RIFF" + le32(static_cast<uint32_t>(body.size())) + body);
}

TEST(WaveFile, TheFormatTagIsTheSubFormatsForAnExtensibleFormat) {
  // cbSize, valid bits, channel mask, then the sub-format's GUID, whose first two bytes are its tag.
  const std::string extensible = std::string("\x16\x00\x20\x00", 4) + le32(3) + std::string("\x03\x00", 2) +
                                 std::string(14, '\x01');
  struct TagCase {
    const char* name;
    std::vector<uint8_t> bytes;
    uint16_t tag;
    bool ok;
  };
  const TagCase cases[] = {
      {"integer samples", waveTagged(wave_tag::Pcm, ""), wave_tag::Pcm, true},
      {"floating point", waveTagged(wave_tag::Float, std::string(2, '\0')), wave_tag::Float, true},
      {"extensible, floating point", waveTagged(wave_tag::Extensible, extensible), wave_tag::Float, true},
      {"extensible cut before its sub-format", waveTagged(wave_tag::Extensible, std::string(2, '\0')),
       wave_tag::Extensible, true},
      {"format but no data", waveTagged(wave_tag::Float, "", false), wave_tag::Float, false},
  };
  for (const TagCase& c : cases) {
    SCOPED_TRACE(c.name);
    for (const WaveLayout& layout : {parseWaveImage(c.bytes), parsedFromFile(c.bytes)}) {
      EXPECT_TRUE(layout.formatRead);
      EXPECT_EQ(c.ok, layout.ok);
      EXPECT_EQ(c.tag, layout.formatTag);
      EXPECT_EQ(48000, layout.rate);
      EXPECT_EQ(32, layout.bits);
      EXPECT_EQ(2, layout.channels);
    }
  }
}

// Each case writes blocks of samples; after every block the file, read as a killed process would
// leave it, states exactly the whole samples it holds. A block past the limit, or past what the
// system lets the file grow to (in the middle of a sample), is written in whole samples as far as it
// goes, and nothing after it.
TEST(WaveFileSink, TheHeaderAlwaysTellsTheWholeSamplesTheFileHolds) {
  struct Case {
    const char* what;
    std::vector<size_t> blocks;  // samples per block
    uint64_t limitBytes;
    rlim_t fileSizeLimit;  // 0: none
    size_t heldBytes;      // data bytes after all the blocks
    StatusCode code;
  };
  const Case cases[] = {
      {"three blocks", {1600, 7, 16000}, WaveFileSink::FormatLimitBytes, 0, 2 * 17607, StatusCode::Ok},
      {"the limit in the middle of the second block", {100, 100, 100}, 301, 0, 300, StatusCode::FormatLimit},
      {"the limit at the end of a block", {100, 100}, 200, 0, 200, StatusCode::FormatLimit},
      {"the disk full in the middle of a sample", {100, 100}, WaveFileSink::FormatLimitBytes, 44 + 200 + 51, 250,
       StatusCode::WriteFailed},
  };
  const std::string path = ::testing::TempDir() + "/sink_" + std::to_string(::getpid()) + ".wav";
  auto read = [&] { return kaldro::testing::readFile(path); };
  auto stated = [](const std::string& bytes) {
    return static_cast<size_t>(readLe32(reinterpret_cast<const uint8_t*>(bytes.data()) + 40));
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    struct sigaction ignore {}, previous {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &previous);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    if (c.fileSizeLimit) {
      rlimit small = old;
      small.rlim_cur = c.fileSizeLimit;
      setrlimit(RLIMIT_FSIZE, &small);
    }
    WaveFileSink sink(path, 22050, c.limitBytes);
    ASSERT_TRUE(sink.status().ok());
    EXPECT_EQ(stated(read()), 0u);
    size_t sent = 0;
    for (const size_t count : c.blocks) {
      std::vector<int16_t> samples(count);
      for (size_t i = 0; i < count; ++i) samples[i] = static_cast<int16_t>(sent + i);
      const bool taken = sink.takeSamples(samples);
      sent += count;
      const std::string bytes = read();
      const WaveLayout layout = parseWaveImage({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
      ASSERT_TRUE(layout.ok);
      EXPECT_EQ(layout.rate, 22050);
      EXPECT_EQ(layout.statedDataLength, bytes.size() - 44);
      EXPECT_EQ(layout.statedDataLength % 2, 0u);
      EXPECT_EQ(taken, layout.statedDataLength == 2 * sent && sink.status().ok());
    }
    setrlimit(RLIMIT_FSIZE, &old);
    sigaction(SIGXFSZ, &previous, nullptr);
    EXPECT_EQ(sink.close().code(), c.code);
    const std::string bytes = read();
    EXPECT_EQ(stated(bytes), c.heldBytes);
    EXPECT_EQ(bytes.size(), 44 + c.heldBytes);
    EXPECT_EQ(readLe32(reinterpret_cast<const uint8_t*>(bytes.data()) + 4), 36 + c.heldBytes);
    // The samples are the ones sent, in order.
    for (size_t i = 0; i < c.heldBytes / 2; ++i)
      ASSERT_EQ(readLe16(reinterpret_cast<const uint8_t*>(bytes.data()) + 44 + 2 * i), i) << i;
    EXPECT_FALSE(sink.takeSamples(std::vector<int16_t>(10)));  // a closed file takes nothing
  }
  std::remove(path.c_str());
  // A device that is always full fails at the start, saying why.
  WaveFileSink full("/dev/full", 16000);
  EXPECT_EQ(full.status().code(), StatusCode::CannotCreate);
  EXPECT_NE(full.status().message().find("/dev/full"), std::string::npos);
}

}  // namespace
}  // namespace kaldro::platform
