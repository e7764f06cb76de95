// sd_kaldro side by side with Debian's sd_espeak-ng and sd_espeak-ng-mbrola, each driven through the
// module protocol as Speech Dispatcher drives it, over a corpus of ordinary sentences. Prints:
//   - time from SPEAK to the first audio the module sends to the server, for a module at rest (the
//     previous message stopped 150 ms earlier) and for one interrupted (the previous message stopped
//     just before: what a screen reader does at every key);
//   - time from STOP to the module's silence (its stop or end event; no audio comes after it), and
//     the audio already on its way when STOP was sent (the server drops it: it is never heard);
//   - MBROLA br4's fatal errors (without -e) and silent gaps (unknown diphones replaced, with -e) for
//     the MBROLA input each engine makes of every sentence, and the gaps sd_espeak-ng-mbrola's own
//     MBROLA reported in its log.
//   build/bin/bench_module_compare [sentences-file] [rounds]
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/text.h"
#include "support/piped_program.h"
#include "tts/front_end.h"

extern char** environ;

namespace {

using namespace kaldro;
using Clock = std::chrono::steady_clock;
const std::string kBin = KALDRO_BIN_DIR;
const std::string kModules = "/usr/lib/speech-dispatcher-modules/";
const std::string kModuleConfigs = "/etc/speech-dispatcher/modules/";
const std::string kBr4 = "/usr/share/mbrola/br4/br4";

double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

std::string readText(const std::string& path) {
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

struct Figures {
  std::vector<double> values;
  void add(double v) { values.push_back(v); }
  std::string text() const {
    if (values.empty()) return "        -";
    std::vector<double> sorted = values;
    std::sort(sorted.begin(), sorted.end());
    char out[64];
    std::snprintf(out, sizeof out, "%7.1f /%7.1f", sorted[sorted.size() / 2], sorted.back());
    return out;
  }
};

// One output module on pipes, its standard error in a file.
class Module {
 public:
  Module(const std::vector<std::string>& argv, const std::string& log)
      : program_(argv.front(), {argv.begin() + 1, argv.end()}, {}, log), log_(log) {}
  // Asked to quit, it has a second to end before it is killed.
  ~Module() {
    program_.send("QUIT\n");
    program_.closeInput();
    for (int i = 0; i < 40 && program_.running() && !program_.ended(); ++i) ::usleep(25000);
  }
  bool running() const { return program_.running(); }
  void send(const std::string& text) { program_.send(text); }
  // The next line (audio lines as "705-AUDIO"), or nothing within the time.
  std::optional<std::string> line(int timeoutMs = 20000) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
      const size_t end = pending_.find('\n');
      if (end != std::string::npos) {
        std::string text = pending_.substr(0, end);
        pending_.erase(0, end + 1);
        if (text.rfind("705-num_samples=", 0) == 0) lastSamples_ = std::strtoul(text.c_str() + 16, nullptr, 10);
        if (text.rfind("705-AUDIO", 0) == 0) text = "705-AUDIO";
        return text;
      }
      const int left = static_cast<int>(ms(deadline - Clock::now()));
      if (left <= 0 || !program_.readSome(left, pending_)) return std::nullopt;
    }
  }
  // Lines up to and including the first that starts with one of the prefixes.
  std::vector<std::string> until(const std::vector<std::string>& prefixes, int timeoutMs = 20000) {
    std::vector<std::string> lines;
    while (auto next = line(timeoutMs)) {
      lines.push_back(*next);
      for (const std::string& prefix : prefixes)
        if (next->rfind(prefix, 0) == 0) return lines;
    }
    return lines;
  }
  size_t lastSamples() const { return lastSamples_; }
  std::string log() const { return readText(log_); }

 private:
  testing::PipedProgram program_;
  std::string pending_;
  std::string log_;
  size_t lastSamples_ = 0;
};

struct Row {
  std::string label;
  std::vector<std::string> argv;
  std::string voice;  // synthesis_voice
};

std::string settings(const std::string& voice) {
  return "SET\npitch=0\npitch_range=0\nrate=0\nvolume=100\npunctuation_mode=some\nspelling_mode=off\n"
         "cap_let_recogn=none\nvoice=MALE1\nlanguage=pt-BR\nsynthesis_voice=" +
         voice + "\n.\n";
}

// Counts the lines of text holding a word.
size_t countOf(const std::string& text, const std::string& word) {
  size_t count = 0;
  for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + word.size())) ++count;
  return count;
}

void measureModule(const Row& row, const std::vector<std::string>& sentences, int rounds, const std::string& scratch) {
  Module module(row.argv, scratch + "/module.log");
  if (!module.running()) {
    std::printf("%-36s não começou\n", row.label.c_str());
    return;
  }
  module.send("INIT\n");
  const std::vector<std::string> init = module.until({"299 ", "399 "});
  if (init.empty() || init.back().rfind("299 ", 0) != 0) {
    std::printf("%-36s não iniciou\n", row.label.c_str());
    return;
  }
  module.send("AUDIO\naudio_output_method=server\n.\nLIST VOICES\n");
  const std::vector<std::string> voices = module.until({"200 OK VOICE", "304"});
  if (std::none_of(voices.begin(), voices.end(),
                   [&](const std::string& l) { return l.rfind("200-" + row.voice + "\t", 0) == 0; })) {
    std::printf("%-36s sem a voz %s\n", row.label.c_str(), row.voice.c_str());
    return;
  }
  module.send(settings(row.voice));
  module.until({"203 OK SETTINGS", "303"});

  Figures firstSound, firstSoundAtRest, stopToSilence, soundAfterStop;
  size_t failures = 0;
  for (int round = 0; round < rounds * 2; ++round) {
    const bool atRest = round % 2 == 0;
    for (const std::string& sentence : sentences) {
      if (atRest) ::usleep(150000);
      // As the server sends every message: settings, then the text as SSML.
      module.send(settings(row.voice));
      module.until({"203 OK SETTINGS", "303"});
      module.send("SPEAK\n<speak>" + sentence + "</speak>\n");
      const auto sent = Clock::now();
      module.send(".\n");
      const std::vector<std::string> start = module.until({"705-AUDIO", "702 END", "301", "703"});
      if (start.empty() || start.back() != "705-AUDIO") {
        ++failures;
        continue;
      }
      (atRest ? firstSoundAtRest : firstSound).add(ms(Clock::now() - sent));
      const auto stopSent = Clock::now();
      module.send("STOP\n");
      size_t samplesAfter = 0;
      bool ended = false;
      while (auto next = module.line()) {
        if (*next == "705 AUDIO") samplesAfter += module.lastSamples();
        if (*next == "703 STOP" || *next == "702 END") {
          ended = true;
          break;
        }
      }
      if (!ended) {
        ++failures;
        continue;
      }
      stopToSilence.add(ms(Clock::now() - stopSent));
      soundAfterStop.add(1000.0 * static_cast<double>(samplesAfter) / 16000.0);
    }
  }
  std::printf("%-36s %s   %s   %s   %s   %zu\n", row.label.c_str(), firstSoundAtRest.text().c_str(),
              firstSound.text().c_str(),
              stopToSilence.text().c_str(), soundAfterStop.text().c_str(), failures);
}

// MBROLA br4 on a .pho text: whether it ends in a fatal error (without -e), and how many unknown
// diphones it replaces with silence (with -e).
struct MbrolaVerdict {
  bool fatal = false;
  size_t gaps = 0;
};

std::string runMbrola(const std::vector<std::string>& argv, const std::string& errFile, int& status) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = 0;
  status = -1;
  if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) == 0) {
    int raw = 0;
    ::waitpid(pid, &raw, 0);
    status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128;
  }
  posix_spawn_file_actions_destroy(&actions);
  return readText(errFile);
}

MbrolaVerdict judgePho(const std::string& pho, const std::string& scratch) {
  const std::string phoFile = scratch + "/frase.pho";
  std::ofstream(phoFile) << pho << "\n#\n";
  MbrolaVerdict verdict;
  int status = 0;
  const std::string strict = runMbrola({"mbrola", kBr4, phoFile, scratch + "/frase.wav"}, scratch + "/mbrola.err", status);
  verdict.fatal = status != 0 || strict.find("Fatal") != std::string::npos;
  const std::string lenient =
      runMbrola({"mbrola", "-e", kBr4, phoFile, scratch + "/frase.wav"}, scratch + "/mbrola.err", status);
  verdict.gaps = countOf(lenient, "unknown");
  return verdict;
}

std::string espeakPho(const std::string& sentence, const std::string& scratch) {
  const std::string out = scratch + "/espeak.pho";
  int status = 0;
  runMbrola({"espeak-ng", "-q", "-v", "mb-br4", "--pho", "--phonout=" + out, sentence}, scratch + "/espeak.err", status);
  return readText(out);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace kaldro;
  const std::string corpus = argc > 1 ? argv[1] : std::string(KALDRO_SOURCE_DIR) + "/bench/frases-modulo.txt";
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1;
  std::vector<std::string> sentences;
  std::ifstream file(corpus);
  for (std::string line; std::getline(file, line);)
    if (!line.empty()) sentences.push_back(line);
  if (sentences.empty()) {
    std::fprintf(stderr, "nenhuma frase em %s\n", corpus.c_str());
    return 1;
  }
  const std::string scratch = std::filesystem::temp_directory_path() / ("kaldro-bench-" + std::to_string(::getpid()));
  std::filesystem::create_directories(scratch);
  ::signal(SIGPIPE, SIG_IGN);

  std::printf("%zu frases, %d rodada(s); tempos em ms: mediana / pior\n\n", sentences.size(), rounds);
  std::printf("%-36s %-16s   %-16s   %-16s   %-16s   falhas\n", "módulo e voz", "1º som, em repouso",
              "1º som, após STOP", "STOP → silêncio", "áudio em trânsito");
  const std::vector<Row> rows = {
      {"sd_kaldro kaldro-mbrola-br4", {kBin + "/sd_kaldro"}, "kaldro-mbrola-br4"},
      {"sd_kaldro kaldro-embutida", {kBin + "/sd_kaldro"}, "kaldro-embutida"},
      {"sd_espeak-ng pt-BR", {kModules + "sd_espeak-ng", kModuleConfigs + "espeak-ng.conf"}, "Portuguese (Brazil)"},
      {"sd_espeak-ng-mbrola brazil-mbrola-4",
       {kModules + "sd_espeak-ng-mbrola", kModuleConfigs + "espeak-ng-mbrola.conf"},
       "brazil-mbrola-4"},
  };
  for (const Row& row : rows) measureModule(row, sentences, rounds, scratch);

  // What each engine asks of MBROLA br4 for every sentence.
  if (::access(kBr4.c_str(), R_OK) != 0) {
    std::printf("\nMBROLA br4 ausente (%s): sem a contagem de erros do MBROLA\n", kBr4.c_str());
  } else {
    tts::FrontEnd frontEnd;
    const std::string data = kBin + "/../share/kaldro/ormiatts/portug";
    const bool loaded = frontEnd.load({data + ".nrl", data + ".exc", data + ".abr", data + ".pro", data + ".dfn"}).ok();
    size_t oursFatal = 0, oursGaps = 0, espeakFatal = 0, espeakGaps = 0, oursWith = 0, espeakWith = 0;
    for (const std::string& sentence : sentences) {
      if (loaded) {
        std::string pho;
        for (const std::string& line : frontEnd.mbrolaLines(platform::utf8ToCp1252(sentence), 1.0, 1.0))
          pho += line + "\n";
        const MbrolaVerdict ours = judgePho(pho, scratch);
        oursFatal += ours.fatal;
        oursGaps += ours.gaps;
        oursWith += ours.gaps > 0;
      }
      const MbrolaVerdict espeak = judgePho(espeakPho(sentence, scratch), scratch);
      espeakFatal += espeak.fatal;
      espeakGaps += espeak.gaps;
      espeakWith += espeak.gaps > 0;
    }
    std::printf("\nMBROLA br4 sobre %zu frases        fatais (sem -e)   lacunas de silêncio (com -e)   frases com lacuna\n",
                sentences.size());
    if (loaded) std::printf("%-36s %8zu          %8zu                       %8zu\n", "motor do kaldro", oursFatal, oursGaps, oursWith);
    std::printf("%-36s %8zu          %8zu                       %8zu\n", "eSpeak NG mb-br4", espeakFatal, espeakGaps,
                espeakWith);
  }

  // The gaps sd_espeak-ng-mbrola's own MBROLA reported while it spoke every sentence whole.
  {
    Module module({kModules + "sd_espeak-ng-mbrola", kModuleConfigs + "espeak-ng-mbrola.conf"}, scratch + "/em.log");
    module.send("INIT\nAUDIO\naudio_output_method=server\n.\n");
    module.until({"203 OK AUDIO", "300"});
    size_t spoken = 0;
    for (const std::string& sentence : sentences) {
      module.send(settings("brazil-mbrola-4"));
      module.until({"203 OK SETTINGS", "303"});
      module.send("SPEAK\n<speak>" + sentence + "</speak>\n.\n");
      const std::vector<std::string> lines = module.until({"702 END", "703", "301"});
      spoken += !lines.empty() && lines.back() == "702 END";
    }
    const std::string log = module.log();
    std::printf("\nsd_espeak-ng-mbrola, %zu frases faladas inteiras: %zu difones desconhecidos trocados por silêncio, "
                "%zu erros fatais no registro\n",
                spoken, countOf(log, "unknown, replaced"), countOf(log, "Fatal"));
  }
  std::filesystem::remove_all(scratch);
  return 0;
}
