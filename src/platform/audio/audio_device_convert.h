// Conversion of a stream of PCM blocks into 16-bit signed samples of another rate and layout.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "platform/audio/audio_device.h"

namespace kaldro::platform {

// Sample buffers that grow without being cleared first: every sample is written right after.
template <typename T>
struct UninitializedAllocator : std::allocator<T> {
  template <typename U>
  struct rebind {
    using other = UninitializedAllocator<U>;
  };
  UninitializedAllocator() = default;
  template <typename U>
  UninitializedAllocator(const UninitializedAllocator<U>&) noexcept {}
  template <typename U>
  void construct(U* at) noexcept {
    ::new (static_cast<void*>(at)) U;
  }
  template <typename U, typename... Arguments>
  void construct(U* at, Arguments&&... arguments) {
    ::new (static_cast<void*>(at)) U(std::forward<Arguments>(arguments)...);
  }
};
using Samples = std::vector<int16_t, UninitializedAllocator<int16_t>>;

// A polyphase windowed-sinc resampler in integer arithmetic, continuous across blocks; the sound
// card and the wav: file both convert through it.
//
// Output frame k stands at input frame k * fromRate / toRate of the stream (output 0 on input 0),
// so after n input frames the stream has floor(n * toRate / fromRate) output frames. A frame is
// settled once the input reaches the end of its kernel (KernelReach input frames after it when
// raising the rate, proportionally more when lowering it): convert hands out the frames that a
// block settled, tail the frames still waiting for input, computed as if silence followed.
class StreamResampler {
 public:
  // Kernel half-length in input frames when raising the rate.
  static constexpr int KernelReach = 8;

  // False when the source cannot be converted.
  bool configure(const AudioFormat& from, int toRate, int toChannels);
  // The start of a new stream: history, phase and any partial sample are dropped.
  void restart();
  // Converts one block into out (replacing its contents): the frames it settled, interleaved. A
  // sample split across the end of a block is kept and completed by the next block.
  void convert(const uint8_t* bytes, size_t length, Samples& out);
  // The stream's frames after the settled ones (replacing out's contents), as if the input ended here.
  void tail(Samples& out);
  // A sound that repeats, converted whole: floor(n * toRate / fromRate) frames whose kernels run on
  // across the sound's ends into its other end. The stream is untouched.
  void convertLoop(const uint8_t* bytes, size_t length, Samples& out);
  // Plain arithmetic instead of the processor's vector instructions: the same samples, slower. The
  // plain path is what a processor without them runs; tests hold the two paths to each other.
  void useScalarArithmetic(bool on) { scalarOnly_ = on; }

 private:
  // The filter's coefficients for one conversion, in 1/16384.
  struct Filter {
    AudioFormat from;
    int toRate = 0;
    int64_t up = 1, down = 1;  // toRate / fromRate, reduced
    int taps = 0;              // a multiple of 8
    int64_t rows = 0;          // phases in the table: up, or fewer when up is large
    bool exactPhases = true;
    bool avx2 = false;
    std::vector<int16_t> coefficients;  // taps per row
    std::vector<int32_t> offsets;       // exact phases: each row's first input frame in its period
    // Raising the rate with AVX2: the same coefficients, arranged for groups of eight outputs.
    int64_t groups = 0;
    int groupPairs = 0;
    std::vector<int16_t> groupTable;
    std::vector<int32_t> groupStart;
  };

  void buildFilter();
  void buildGroups();
  // Decodes whole frames of (pending + block) onto the end of the planes.
  void decode(const uint8_t* bytes, size_t length);
  // count outputs from the stream's output number output (at phase), written to out every stride
  // values; frames starts taps / 2 - 1 input frames before the first output's position.
  void run(const int16_t* frames, int64_t output, int64_t phase, size_t count, int16_t* out, size_t stride) const;
  void advance(int64_t& index, int64_t& phase, int64_t steps) const;
  // How many outputs from (index, phase) have their position at or before input frame last.
  int64_t outputsThrough(int64_t index, int64_t phase, int64_t last) const;

  AudioFormat from_;
  int toChannels_ = 1;
  int planes_ = 1;  // 2 only for stereo to stereo; mono reaches stereo by copying
  Filter filter_;
  bool scalarOnly_ = false;

  Samples plane_[2];  // input frames from bufferStart_
  int64_t bufferStart_ = 0;
  int64_t framesIn_ = 0;
  int64_t nextIndex_ = 0;  // the next output's position: input frame and phase (in 1/up of a frame)
  int64_t nextPhase_ = 0;
  int64_t framesOut_ = 0;  // settled output frames
  uint8_t pending_[4] = {};
  size_t pendingCount_ = 0;
  Samples scratch_[3];
};

}  // namespace kaldro::platform
