// Speed of the Portuguese engine's front end (text to MBROLA lines) against eSpeak NG's text to
// phonemes, on the same page of Portuguese (bench/pagina.txt), side by side in one run:
//   espeak-ng -q -x -v pt-br -f pagina.txt       against   kaldro-fala --engine ormia --pho < pagina.txt
// whole processes, start-up and data loading included, taking turns; then the front end alone in
// this process, the data loaded once.
//   build/bin/bench_front_end_speed [rounds]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/config.h"
#include "platform/text.h"
#include "process_timing.h"
#include "tts/engine_settings.h"
#include "tts/front_end.h"

namespace {

using namespace kaldro;
using Clock = std::chrono::steady_clock;

const std::string kPage = std::string(KALDRO_SOURCE_DIR) + "/bench/pagina.txt";

std::vector<std::string> pageLines() {
  std::ifstream file(kPage);
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);)
    if (!line.empty()) lines.push_back(platform::utf8ToCp1252(line));
  return lines;
}

// Milliseconds of the front end for the whole page in this process, median of rounds.
double inProcessMs(const tts::FrontEnd& frontEnd, const std::vector<std::string>& lines, int rounds,
                   size_t* mbrolaLineCount) {
  std::vector<double> times;
  for (int i = -1; i < rounds; ++i) {
    size_t count = 0;
    const auto start = Clock::now();
    for (const std::string& line : lines) count += frontEnd.mbrolaLines(line, 1.0, 1.0).size();
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    if (i >= 0) times.push_back(ms);
    *mbrolaLineCount = count;
  }
  return bench::median(times);
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 11;
  const std::vector<std::string> lines = pageLines();
  if (lines.empty()) {
    std::printf("cannot read %s\n", kPage.c_str());
    return 1;
  }
  size_t words = 0;
  for (const std::string& line : lines) {
    std::istringstream in(line);
    for (std::string word; in >> word;) ++words;
  }
  const std::string fala = std::string(KALDRO_BIN_DIR) + "/kaldro-fala";
  const std::vector<std::string> espeak{"espeak-ng", "-q", "-x", "-v", "pt-br", "-f", kPage};
  const std::vector<std::string> ours{fala, "--engine", "ormia", "--pho"};
  std::printf("command: %s %d\npage: %s (%zu lines, %zu words)\n", argv[0], rounds, kPage.c_str(), lines.size(), words);
  std::printf("  espeak-ng -q -x -v pt-br -f PAGE\n  %s --engine ormia --pho < PAGE\n", fala.c_str());

  // One warm-up round, then the two commands take turns, so that a drift in the machine's speed
  // reaches both; the medians of the rounds and of the rounds' ratios.
  std::vector<double> espeakMs, oursMs, ratios, espeakStartMs, oursStartMs;
  const std::vector<std::string> espeakEmpty{"espeak-ng", "-q", "-x", "-v", "pt-br", ""};
  for (int i = -1; i < rounds; ++i) {
    const auto e = bench::runOnce(espeak);
    const auto o = bench::runOnce(ours, nullptr, kPage.c_str());
    const auto es = bench::runOnce(espeakEmpty);
    const auto os = bench::runOnce(ours);  // no input: start-up and data loading only
    if (!e || !o || !es || !os) {
      std::printf("a run failed (is espeak-ng installed, kaldro-fala built with the engine's data?)\n");
      return 1;
    }
    if (i < 0) continue;
    espeakMs.push_back(*e);
    oursMs.push_back(*o);
    espeakStartMs.push_back(*es);
    oursStartMs.push_back(*os);
    ratios.push_back(*e / *o);
  }
  const double ratio = bench::median(ratios);
  std::printf("whole process, median wall time of %d rounds:\n", rounds);
  std::printf("  eSpeak NG (text to phonemes)        %8.2f ms\n", bench::median(espeakMs));
  std::printf("  kaldro-fala (text to MBROLA lines)  %8.2f ms\n", bench::median(oursMs));
  std::printf("  start-up (empty text): eSpeak NG %.2f ms, kaldro-fala %.2f ms\n", bench::median(espeakStartMs),
              bench::median(oursStartMs));
  std::printf("  ratio                               %8.1fx (median of the rounds' ratios; goal >= 5x): %s\n", ratio,
              ratio >= 5 ? "met" : "NOT MET");

  const platform::Configuration configuration(platform::configLocationsFromEnvironment());
  tts::FrontEnd frontEnd;
  const platform::Status loaded = frontEnd.load(tts::readEngineSettings(configuration).files());
  if (!loaded.ok()) {
    std::printf("front end in this process: %s\n", platform::cp1252ToUtf8(loaded.message()).c_str());
    return 1;
  }
  size_t mbrolaLines = 0;
  const double page = inProcessMs(frontEnd, lines, rounds, &mbrolaLines);
  std::printf("front end alone in this process (data loaded once): %.3f ms for the page (%zu MBROLA lines), "
              "%.1f us per word\n",
              page, mbrolaLines, 1000 * page / static_cast<double>(words));
  return ratio >= 5 ? 0 : 1;
}
