// The resampler: a table of windowed-sinc phases built once per rate pair, applied with 16-bit
// multiply-adds (SSE2 on x86-64, AVX2 where the processor has it).
#include "platform/audio/audio_device_convert.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <numeric>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace kaldro::platform {

namespace {

// Coefficients are fixed point with this many fraction bits; with the kernel's sum of magnitudes
// under 2, a 32-bit sum of 16-bit products cannot overflow.
constexpr int kFractionBits = 14;
// Beyond this many phases the position is rounded to the nearest of kMaxRows (a 1/2048-frame error).
constexpr int64_t kMaxRows = 1024;
// The pass band ends near 0.9 of the lower rate's Nyquist frequency; Kaiser window shape.
constexpr double kCutoff = 0.45;
constexpr double kKaiserBeta = 5.0;
constexpr double kPi = 3.14159265358979323846;

double besselI0(double x) {
  const double quarter = x * x / 4;
  double term = 1, sum = 1;
  for (int k = 1; k < 50 && term > sum * 1e-13; ++k) {
    term *= quarter / (static_cast<double>(k) * k);
    sum += term;
  }
  return sum;
}

// What one run of the filter needs. With exact phases the table follows the outputs of one period
// of up outputs (down input frames): row n belongs to output n, which reads from input frame
// offsets[n] of the period on; kLookahead more rows repeat the first ones, so a batch of outputs
// never has to wrap inside the period. Otherwise each output's phase is rounded to one of rows.
struct Kernel {
  const int16_t* table;
  const int32_t* offsets;  // exact phases only
  int taps;
  int64_t up, down, rows;
  // Raising the rate with AVX2: outputs in groups of eight that read one stretch of input, as pairs
  // of frames, each pair multiplied by eight pairs of coefficients at once (see buildGroups).
  const int16_t* groupTable;
  const int32_t* groupStart;
  int groupPairs;
  int64_t groups;
};

constexpr int64_t kLookahead = 8;
// Input frames readable after the last one: a group's stretch may reach that far past what its
// kernels use (with zero coefficients there).
constexpr size_t kSlack = 32;

inline int16_t saturated(int32_t sum) {
  const int32_t value = (sum + (1 << (kFractionBits - 1))) >> kFractionBits;
  return static_cast<int16_t>(std::clamp(value, -32768, 32767));
}

inline int32_t dotScalar(const int16_t* s, const int16_t* c, int taps) {
  int32_t sum = 0;
  for (int t = 0; t < taps; ++t) sum += static_cast<int32_t>(s[t]) * c[t];
  return sum;
}

// Batches of Batch outputs with exact phases; the rest one by one. x points at the input frame
// (taps / 2 - 1) before the first output's position; slot is that output's place in the period.
template <int Batch, typename Compute>
[[gnu::always_inline]] inline void runPeriodic(const Kernel& k, const int16_t* x, int64_t slot, size_t count,
                                               int16_t* out, size_t stride, Compute compute) {
  // Input of output slot s: x + base + offsets[s].
  ptrdiff_t base = -k.offsets[slot];
  size_t n = 0;
  alignas(32) int16_t lanes[16];
  for (; n + Batch <= count; n += Batch) {
    int16_t* to = stride == 1 ? out + n : lanes;
    compute(x + base, k.offsets + slot, k.table + slot * k.taps, to);
    if (stride != 1)
      for (size_t i = 0; i < Batch; ++i) out[(n + i) * stride] = lanes[i];
    slot += Batch;
    if (slot >= k.up) {
      const int64_t periods = slot / k.up;
      slot -= periods * k.up;
      base += static_cast<ptrdiff_t>(periods * k.down);
    }
  }
  for (; n < count; ++n) {
    out[n * stride] = saturated(dotScalar(x + base + k.offsets[slot], k.table + slot * k.taps, k.taps));
    if (++slot == k.up) {
      slot = 0;
      base += static_cast<ptrdiff_t>(k.down);
    }
  }
}

#if defined(__SSE2__)
// Four outputs of any multiple of 8 taps, sharing one transposed horizontal sum.
void computeFourSse2(const int16_t* x, const int32_t* offsets, const int16_t* rows, int taps, int16_t* out) {
  auto dot = [&](int i) {
    const int16_t* s = x + offsets[i];
    const int16_t* c = rows + i * taps;
    __m128i sum = _mm_madd_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s)),
                                 _mm_loadu_si128(reinterpret_cast<const __m128i*>(c)));
    for (int t = 8; t < taps; t += 8)
      sum = _mm_add_epi32(sum, _mm_madd_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s + t)),
                                              _mm_loadu_si128(reinterpret_cast<const __m128i*>(c + t))));
    return sum;
  };
  const __m128i v0 = dot(0), v1 = dot(1), v2 = dot(2), v3 = dot(3);
  const __m128i a = _mm_add_epi32(_mm_unpacklo_epi32(v0, v1), _mm_unpackhi_epi32(v0, v1));
  const __m128i b = _mm_add_epi32(_mm_unpacklo_epi32(v2, v3), _mm_unpackhi_epi32(v2, v3));
  __m128i sums = _mm_add_epi32(_mm_unpacklo_epi64(a, b), _mm_unpackhi_epi64(a, b));
  sums = _mm_srai_epi32(_mm_add_epi32(sums, _mm_set1_epi32(1 << (kFractionBits - 1))), kFractionBits);
  _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packs_epi32(sums, sums));  // saturates to 16 bits
}

inline int32_t loadPair(const int16_t* at) {
  int32_t pair;
  std::memcpy(&pair, at, sizeof pair);
  return pair;
}

// output: the stream's output number; its place among the groups' outputs decides the group.
template <int Pairs>
__attribute__((target("avx2"))) void runGroupedAvx2(const Kernel& k, const int16_t* x, int64_t output, size_t count,
                                                    int16_t* out, size_t stride) {
  const int64_t cycle = 8 * k.groups;  // outputs until the groups start over
  const auto cycleInput = static_cast<ptrdiff_t>(k.down * cycle / k.up);
  int64_t s = output % cycle;
  auto offsetOf = [&](int64_t slot) { return k.offsets[slot % k.up] + slot / k.up * k.down; };
  ptrdiff_t base = -static_cast<ptrdiff_t>(offsetOf(s));
  size_t n = 0;
  auto single = [&]() {
    out[n * stride] = saturated(dotScalar(x + base + offsetOf(s), k.table + s % k.up * k.taps, k.taps));
    ++n;
    if (++s == cycle) {
      s = 0;
      base += cycleInput;
    }
  };
  while (n < count && s % 8 != 0) single();
  const __m256i half = _mm256_set1_epi32(1 << (kFractionBits - 1));
  alignas(16) int16_t lanes[8];
  for (; n + 8 <= count; n += 8) {
    const int64_t g = s / 8;
    const int16_t* stretch = x + base + k.groupStart[g];
    const int16_t* pairs = k.groupTable + g * Pairs * 16;
    auto term = [&](int m) __attribute__((always_inline, target("avx2"))) {
      return _mm256_madd_epi16(_mm256_set1_epi32(loadPair(stretch + 2 * m)),
                               _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pairs + 16 * m)));
    };
    // Two sums, so that the additions do not wait on one another.
    __m256i even = term(0), odd = term(1);
#pragma GCC unroll 8
    for (int m = 2; m + 1 < Pairs; m += 2) {
      even = _mm256_add_epi32(even, term(m));
      odd = _mm256_add_epi32(odd, term(m + 1));
    }
    if constexpr (Pairs % 2 == 1) even = _mm256_add_epi32(even, term(Pairs - 1));
    __m256i sum = _mm256_srai_epi32(_mm256_add_epi32(_mm256_add_epi32(even, odd), half), kFractionBits);
    const __m128i packed = _mm_packs_epi32(_mm256_castsi256_si128(sum), _mm256_extracti128_si256(sum, 1));
    if (stride == 1) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + n), packed);
    } else {
      _mm_store_si128(reinterpret_cast<__m128i*>(lanes), packed);
      for (size_t i = 0; i < 8; ++i) out[(n + i) * stride] = lanes[i];
    }
    s += 8;
    if (s == cycle) {
      s = 0;
      base += cycleInput;
    }
  }
  while (n < count) single();
}

#endif

// Every coefficient is the kernel at a distance of n / rows input frames, |n| <= rows * half:
// the kernel is sampled once on that grid. Its sine runs by rotation (re-anchored now and then)
// and its window is interpolated from a coarse table, which keeps this well under a millisecond.
std::vector<double> sampledKernel(int64_t rows, int half, double cutoff) {
  const int64_t span = rows * half;
  constexpr int kWindowPoints = 512;
  double window[kWindowPoints + 2];
  const double edge = besselI0(kKaiserBeta);
  for (int g = 0; g <= kWindowPoints; ++g) {
    const double x = static_cast<double>(g) / kWindowPoints;
    window[g] = besselI0(kKaiserBeta * std::sqrt(std::max(0.0, 1 - x * x))) / edge;
  }
  window[kWindowPoints + 1] = window[kWindowPoints];
  std::vector<double> kernel(static_cast<size_t>(span) + 1);
  const double theta = 2 * kPi * cutoff / static_cast<double>(rows);
  const double turnSin = std::sin(theta), turnCos = std::cos(theta);
  const double piPerRow = kPi / static_cast<double>(rows);
  const double pointsPerStep = static_cast<double>(kWindowPoints) / static_cast<double>(span);
  double sine = 0, cosine = 1;
  for (int64_t n = 0; n <= span; ++n) {
    if (n % 256 == 0) {
      sine = std::sin(theta * static_cast<double>(n));
      cosine = std::cos(theta * static_cast<double>(n));
    }
    const double lowPass = n == 0 ? 2 * cutoff : sine / (piPerRow * static_cast<double>(n));
    const double at = static_cast<double>(n) * pointsPerStep;
    const int cell = std::min(static_cast<int>(at), kWindowPoints);
    const double weight = window[cell] + (window[cell + 1] - window[cell]) * (at - cell);
    kernel[static_cast<size_t>(n)] = lowPass * weight;
    const double nextSine = sine * turnCos + cosine * turnSin;
    cosine = cosine * turnCos - sine * turnSin;
    sine = nextSine;
  }
  return kernel;
}

enum class Arithmetic { scalar, sse2, avx2 };

void runExact(const Kernel& k, Arithmetic arithmetic, const int16_t* x, int64_t output, size_t count, int16_t* out,
              size_t stride) {
  const int64_t slot = output % k.up;
#if defined(__SSE2__)
  if (arithmetic == Arithmetic::avx2) switch (k.groupPairs) {  // 8 + (7 * down / up + 1) / 2 when raising the rate
      case 8: return runGroupedAvx2<8>(k, x, output, count, out, stride);
      case 9: return runGroupedAvx2<9>(k, x, output, count, out, stride);
      case 10: return runGroupedAvx2<10>(k, x, output, count, out, stride);
      case 11: return runGroupedAvx2<11>(k, x, output, count, out, stride);
      case 12: return runGroupedAvx2<12>(k, x, output, count, out, stride);
      default: break;
    }
  if (arithmetic != Arithmetic::scalar)
    return runPeriodic<4>(k, x, slot, count, out, stride,
                          [&](const int16_t* at, const int32_t* offsets, const int16_t* rows, int16_t* to) {
                            computeFourSse2(at, offsets, rows, k.taps, to);
                          });
#endif
  runPeriodic<1>(k, x, slot, count, out, stride,
                 [&](const int16_t* at, const int32_t* offsets, const int16_t* rows, int16_t* to) {
                   *to = saturated(dotScalar(at + *offsets, rows, k.taps));
                 });
}

// Phases rounded to the table's rows: rates whose reduced ratio has a large numerator.
void runRounded(const Kernel& k, const int16_t* x, int64_t phase, size_t count, int16_t* out, size_t stride) {
  const int64_t stepWhole = k.down / k.up, stepPart = k.down % k.up;
  size_t offset = 0;
  for (size_t n = 0; n < count; ++n) {
    const int64_t row = (phase * k.rows + k.up / 2) / k.up;
    out[n * stride] = saturated(dotScalar(x + offset, k.table + row * k.taps, k.taps));
    offset += static_cast<size_t>(stepWhole);
    phase += stepPart;
    if (phase >= k.up) {
      phase -= k.up;
      ++offset;
    }
  }
}

// Whole frames of the source as 16-bit planes: one (mono, or stereo mixed down) or two.
void decodeFrames(const uint8_t* src, size_t frames, const AudioFormat& from, int planes, bool scalar,
                  int16_t* left, int16_t* right) {
  auto eight = [](uint8_t v) { return static_cast<int>(v) - 128; };
  auto sixteen = [](const uint8_t* p) { return static_cast<int>(static_cast<int16_t>(p[0] | (p[1] << 8))); };
  if (from.channels == 1) {
    if (from.bits == 8) {
      size_t i = 0;
#if defined(__SSE2__)
      // (v - 128) * 256 is v with its top bit flipped, moved to the high byte.
      const __m128i flip = _mm_set1_epi8(static_cast<char>(0x80)), zero = _mm_setzero_si128();
      for (; !scalar && i + 16 <= frames; i += 16) {
        const __m128i v = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i)), flip);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(left + i), _mm_unpacklo_epi8(zero, v));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(left + i + 8), _mm_unpackhi_epi8(zero, v));
      }
#endif
      for (; i < frames; ++i) left[i] = static_cast<int16_t>(eight(src[i]) * 256);
    } else {
      for (size_t i = 0; i < frames; ++i) left[i] = static_cast<int16_t>(sixteen(src + 2 * i));
    }
    return;
  }
  for (size_t i = 0; i < frames; ++i) {
    int l, r;
    if (from.bits == 8) {
      l = eight(src[2 * i]) * 256;
      r = eight(src[2 * i + 1]) * 256;
    } else {
      l = sixteen(src + 4 * i);
      r = sixteen(src + 4 * i + 2);
    }
    if (planes == 2) {
      left[i] = static_cast<int16_t>(l);
      right[i] = static_cast<int16_t>(r);
    } else {
      left[i] = static_cast<int16_t>((l + r) >> 1);
    }
  }
}

// Row r of the filter: the kernel sampled at phase r / rows over values.size() taps, in fixed
// point, summing to exactly one.
void fillFilterRow(int16_t* row, const std::vector<double>& kernel, int64_t r, int64_t rows,
                   std::vector<double>& values) {
  const int taps = static_cast<int>(values.size());
  const int half = taps / 2;
  const double one = 1 << kFractionBits;
  double sum = 0;
  for (int j = 0; j < taps; ++j) {
    const int64_t n = r + rows * (half - 1 - j);
    values[static_cast<size_t>(j)] = kernel[static_cast<size_t>(std::llabs(n))];
    sum += values[static_cast<size_t>(j)];
  }
  const double scale = one / sum;
  int total = 0;
  for (int j = 0; j < taps; ++j) {
    const double value = values[static_cast<size_t>(j)] * scale;
    row[j] = static_cast<int16_t>(value < 0 ? value - 0.5 : value + 0.5);
    total += row[j];
  }
  // The rounding's remainder goes to the largest coefficient, the tap nearest the position.
  const int nearest = 2 * r < rows ? half - 1 : half;
  row[nearest] = static_cast<int16_t>(row[nearest] + (static_cast<int>(one) - total));
}

}  // namespace

bool StreamResampler::configure(const AudioFormat& from, int toRate, int toChannels) {
  if (!from.playable() || toRate <= 0 || toRate > 384000 || (toChannels != 1 && toChannels != 2)) return false;
  from_ = from;
  toChannels_ = toChannels;
  planes_ = from.channels == 2 && toChannels == 2 ? 2 : 1;
  // The table depends on the rates only; reopening at the same rate keeps it.
  if (filter_.coefficients.empty() || filter_.from.rate != from.rate || filter_.toRate != toRate) {
    filter_.from = from;
    filter_.toRate = toRate;
    buildFilter();
  }
  restart();
  return true;
}

void StreamResampler::buildFilter() {
  Filter& f = filter_;
  const int64_t divisor = std::gcd(static_cast<int64_t>(f.from.rate), static_cast<int64_t>(f.toRate));
  f.up = f.toRate / divisor;
  f.down = f.from.rate / divisor;
  // Lowering the rate stretches the kernel over more input frames and lowers its cut-off.
  const double ratio = std::min(1.0, static_cast<double>(f.up) / static_cast<double>(f.down));
  const int reach = static_cast<int>(std::ceil(KernelReach / ratio));
  f.taps = (2 * reach + 7) / 8 * 8;
  const int half = f.taps / 2;
  f.exactPhases = f.up <= kMaxRows;
  f.rows = f.exactPhases ? f.up : kMaxRows;
  const double cutoff = kCutoff * ratio;  // cycles per input frame

  const std::vector<double> kernel = sampledKernel(f.rows, half, cutoff);

  // With exact phases row n serves output n of each period (then kLookahead rows again from the
  // first); otherwise row r holds phase r / rows, and row rows (phase 1) lets a rounded phase reach
  // the next frame. Each row sums to exactly 1, so no phase changes the level.
  const int64_t stored = f.exactPhases ? f.up + kLookahead : f.rows + 1;
  f.coefficients.assign(static_cast<size_t>(stored * f.taps), 0);
  f.offsets.assign(f.exactPhases ? static_cast<size_t>(stored) : 0, 0);
  std::vector<double> values(static_cast<size_t>(f.taps));
  for (int64_t slot = 0; slot < stored; ++slot) {
    if (f.exactPhases) f.offsets[static_cast<size_t>(slot)] = static_cast<int32_t>(slot * f.down / f.up);
    int16_t* row = f.coefficients.data() + slot * f.taps;
    if (slot >= f.rows + (f.exactPhases ? 0 : 1)) {  // the lookahead: the period's first rows again
      std::copy_n(f.coefficients.data() + (slot - f.up) * f.taps, f.taps, row);
      continue;
    }
    fillFilterRow(row, kernel, f.exactPhases ? slot * f.down % f.up : slot, f.rows, values);
  }
  f.avx2 = false;
  f.groups = 0;
  f.groupTable.clear();
  f.groupStart.clear();
#if defined(__SSE2__)
  if (f.exactPhases && f.up >= f.down && __builtin_cpu_supports("avx2")) {
    f.avx2 = true;
    buildGroups();
  }
#endif
}

// Eight outputs in a row read at most 16 + 7 * down / up frames from where the first one starts.
// Group g (outputs 8g .. 8g + 7 of a cycle of lcm(up, 8) outputs) keeps, for each pair m of that
// stretch, the two coefficients each output gives frames 2m and 2m + 1 (zero outside its kernel).
void StreamResampler::buildGroups() {
  Filter& f = filter_;
  f.groups = f.up / std::gcd(f.up, int64_t{8});
  auto offsetOf = [&](int64_t slot) { return slot * f.down / f.up; };
  int64_t widest = 0;
  for (int64_t g = 0; g < f.groups; ++g) widest = std::max(widest, offsetOf(8 * g + 7) - offsetOf(8 * g));
  f.groupPairs = static_cast<int>((widest + f.taps + 1) / 2);
  f.groupStart.resize(static_cast<size_t>(f.groups));
  f.groupTable.assign(static_cast<size_t>(f.groups * f.groupPairs * 16), 0);
  for (int64_t g = 0; g < f.groups; ++g) {
    const int64_t start = offsetOf(8 * g);
    f.groupStart[static_cast<size_t>(g)] = static_cast<int32_t>(start);
    int16_t* group = f.groupTable.data() + g * f.groupPairs * 16;
    for (int lane = 0; lane < 8; ++lane) {
      const int64_t slot = 8 * g + lane;
      const int16_t* row = f.coefficients.data() + slot % f.up * f.taps;
      const auto shift = static_cast<unsigned>(offsetOf(slot) - start);
      for (unsigned tap = 0; tap < static_cast<unsigned>(f.taps); ++tap) {
        const unsigned frame = tap + shift;
        group[frame / 2 * 16 + static_cast<unsigned>(lane) * 2 + frame % 2] = row[tap];
      }
    }
  }
}

void StreamResampler::restart() {
  const int half = filter_.taps / 2;
  // Before the stream's first frame there is silence.
  for (auto& plane : plane_) plane.assign(static_cast<size_t>(std::max(half - 1, 0)) + kSlack, 0);
  bufferStart_ = -(half - 1);
  framesIn_ = 0;
  nextIndex_ = 0;
  nextPhase_ = 0;
  framesOut_ = 0;
  pendingCount_ = 0;
}

void StreamResampler::run(const int16_t* frames, int64_t output, int64_t phase, size_t count, int16_t* out,
                          size_t stride) const {
  const Filter& f = filter_;
  const Kernel kernel{f.coefficients.data(), f.offsets.data(), f.taps,   f.up,  f.down,
                      f.rows,                f.groupTable.data(), f.groupStart.data(), f.groupPairs, f.groups};
  if (f.exactPhases)
    runExact(kernel, scalarOnly_ ? Arithmetic::scalar : f.avx2 ? Arithmetic::avx2 : Arithmetic::sse2, frames, output,
             count, out, stride);
  else
    runRounded(kernel, frames, phase, count, out, stride);
}

void StreamResampler::advance(int64_t& index, int64_t& phase, int64_t steps) const {
  const int64_t position = phase + steps * filter_.down;
  index += position / filter_.up;
  phase = position % filter_.up;
}

int64_t StreamResampler::outputsThrough(int64_t index, int64_t phase, int64_t last) const {
  if (index > last) return 0;
  // Output m sits at (index * up + phase + m * down) / up; it must stay below last + 1.
  const int64_t room = (last + 1 - index) * filter_.up - phase;
  return (room + filter_.down - 1) / filter_.down;
}

void StreamResampler::decode(const uint8_t* bytes, size_t length) {
  const size_t frameBytes = static_cast<size_t>(from_.bytesPerFrame());
  const size_t frames = (pendingCount_ + length) / frameBytes;
  if (frames == 0) {
    std::memcpy(pending_ + pendingCount_, bytes, length);
    pendingCount_ += length;
    return;
  }
  const auto old = static_cast<size_t>(framesIn_ - bufferStart_);
  for (int c = 0; c < planes_; ++c) {
    plane_[c].resize(old + frames + kSlack);
    std::fill(plane_[c].end() - kSlack, plane_[c].end(), int16_t{0});
  }
  int16_t* right = planes_ == 2 ? plane_[1].data() + old : nullptr;
  size_t used = 0, done = 0;
  if (pendingCount_ > 0) {  // the frame split across the previous block's end
    uint8_t joined[4];
    used = frameBytes - pendingCount_;
    std::memcpy(joined, pending_, pendingCount_);
    std::memcpy(joined + pendingCount_, bytes, used);
    decodeFrames(joined, 1, from_, planes_, scalarOnly_, plane_[0].data() + old, right);
    done = 1;
  }
  decodeFrames(bytes + used, frames - done, from_, planes_, scalarOnly_, plane_[0].data() + old + done,
               right ? right + done : nullptr);
  used += (frames - done) * frameBytes;
  pendingCount_ = length - used;
  std::memcpy(pending_, bytes + used, pendingCount_);
  framesIn_ += static_cast<int64_t>(frames);
}

void StreamResampler::convert(const uint8_t* bytes, size_t length, Samples& out) {
  out.clear();
  if (filter_.taps == 0) return;
  decode(bytes, length);
  const int half = filter_.taps / 2;
  const auto count = static_cast<size_t>(outputsThrough(nextIndex_, nextPhase_, framesIn_ - 1 - half));
  if (count > 0) {
    out.resize(count * static_cast<size_t>(toChannels_));
    const auto first = static_cast<size_t>(nextIndex_ - (half - 1) - bufferStart_);
    for (int c = 0; c < planes_; ++c)
      run(plane_[c].data() + first, framesOut_, nextPhase_, count, out.data() + c, static_cast<size_t>(toChannels_));
    if (planes_ == 1 && toChannels_ == 2)
      for (size_t i = 0; i < count; ++i) out[2 * i + 1] = out[2 * i];
    advance(nextIndex_, nextPhase_, static_cast<int64_t>(count));
    framesOut_ += static_cast<int64_t>(count);
  }
  // Only the frames the next output's kernel starts from are kept.
  const int64_t drop = std::min(nextIndex_ - (half - 1) - bufferStart_, framesIn_ - bufferStart_);
  if (drop > 0) {
    for (int c = 0; c < planes_; ++c) plane_[c].erase(plane_[c].begin(), plane_[c].begin() + drop);
    bufferStart_ += drop;
  }
}

void StreamResampler::tail(Samples& out) {
  out.clear();
  if (filter_.taps == 0) return;
  const int64_t total = framesIn_ * filter_.up / filter_.down;
  const auto count = static_cast<size_t>(std::max<int64_t>(0, total - framesOut_));
  if (count == 0) return;
  const int half = filter_.taps / 2;
  const auto first = static_cast<size_t>(nextIndex_ - (half - 1) - bufferStart_);
  out.resize(count * static_cast<size_t>(toChannels_));
  for (int c = 0; c < planes_; ++c) {
    // The kernels reach past the input: silence there.
    Samples& frames = scratch_[0];
    frames.assign(plane_[c].begin() + static_cast<std::ptrdiff_t>(first),
                  plane_[c].begin() + static_cast<std::ptrdiff_t>(framesIn_ - bufferStart_));
    frames.insert(frames.end(), static_cast<size_t>(filter_.taps) + kSlack, 0);
    run(frames.data(), framesOut_, nextPhase_, count, out.data() + c, static_cast<size_t>(toChannels_));
  }
  if (planes_ == 1 && toChannels_ == 2)
    for (size_t i = 0; i < count; ++i) out[2 * i + 1] = out[2 * i];
}

void StreamResampler::convertLoop(const uint8_t* bytes, size_t length, Samples& out) {
  out.clear();
  const size_t frames = length / static_cast<size_t>(from_.bytesPerFrame());
  if (filter_.taps == 0 || frames == 0) return;
  const auto count = static_cast<size_t>(static_cast<int64_t>(frames) * filter_.up / filter_.down);
  if (count == 0) return;
  Samples& left = scratch_[1];
  Samples& right = scratch_[2];
  left.resize(frames);
  right.resize(planes_ == 2 ? frames : 0);
  decodeFrames(bytes, frames, from_, planes_, scalarOnly_, left.data(), right.data());
  const int half = filter_.taps / 2;
  out.resize(count * static_cast<size_t>(toChannels_));
  for (int c = 0; c < planes_; ++c) {
    const Samples& plane = c == 0 ? left : right;
    // The sound with its other end on each side, so that every kernel wraps around.
    Samples& wrapped = scratch_[0];
    const size_t before = static_cast<size_t>(half - 1);
    wrapped.resize(before + frames + static_cast<size_t>(filter_.taps) + kSlack);
    for (size_t i = 0; i < wrapped.size(); ++i)
      wrapped[i] = plane[(i + frames * (before / frames + 1) - before) % frames];
    run(wrapped.data(), 0, 0, count, out.data() + c, static_cast<size_t>(toChannels_));
  }
  if (planes_ == 1 && toChannels_ == 2)
    for (size_t i = 0; i < count; ++i) out[2 * i + 1] = out[2 * i];
}

}  // namespace kaldro::platform
