// kaldro-fala: speaks texts with the family's speech services, writes them to a WAV file, shows their
// phonemes or phones, or plays WAV files.
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <algorithm>
#include <iterator>
#include <string_view>
#include <utility>
#include <string>
#include <vector>

#include "app/input_texts.h"
#include "app/ormia_text.h"
#include "app/program_runtime.h"
#include "app/standard_options.h"
#include "app/voice_listing.h"
#include "diphone/diphone_synth.h"
#include "diphone/unit_phones.h"
#include "platform/host/host_headless.h"
#include "platform/host/host_quiet.h"
#include "platform/text.h"

namespace {

using namespace kaldro;

constexpr const char* kUsage =
    "uso: kaldro-fala [-v N] [-w ARQUIVO.wav] [--phonemes | --phones] [TEXTO...]\n"
    "     kaldro-fala --engine ormia|speechd|espeak [-v N] [-w ARQUIVO.wav] [TEXTO...]\n"
    "     kaldro-fala [-w ARQUIVO.wav] --play ARQUIVO.wav...\n"
    "     kaldro-fala [--engine ormia] [--literal] --normal [TEXTO...]\n"
    "     kaldro-fala --engine ormia [-v N] (--pho | --phones) [TEXTO...]\n"
    "     kaldro-fala --voices [--engine ormia|speechd|espeak]\n"
    "     kaldro-fala --help | --version\n"
    "Sem TEXTO, fala cada linha da entrada padrão.\n"
    "  -v N        nível de velocidade 1 a 5 (sem ele, o de KALDRO.INI; com --engine, a\n"
    "              velocidade normal do motor)\n"
    "  -w ARQUIVO  grava o som num arquivo WAV em vez de tocá-lo (as pausas viram silêncio)\n"
    "  --phonemes  escreve a cadeia de fonemas de cada texto em vez de falá-lo\n"
    "  --phones    escreve cada texto, uma tabulação e os fones da voz embutida (nomes do\n"
    "              MBROLA br4), com > antes da vogal tônica\n"
    "  --play      toca os arquivos WAV pelo tocador do sistema (8, 16, 24 e 32 bits, ponto\n"
    "              flutuante; mais de dois canais são misturados num só)\n"
    "  --literal   lê cada sinal como está escrito (como LEITURA=LITERAL no KALDRO.INI), em vez\n"
    "              da leitura natural de datas, horas, valores, documentos e números\n"
    "  --normal    escreve as palavras que a voz embutida lê em cada texto\n"
    "  --engine ormia --normal  escreve o texto normalizado pelo motor de português\n"
    "  --engine ormia --pho     escreve as linhas que o motor de português manda ao MBROLA, na\n"
    "              velocidade de -v\n"
    "  --engine ormia --phones  escreve cada texto, uma tabulação e os fones do motor (voz br4)\n"
    "  --engine ormia  fala pelo motor de português sobre o MBROLA (o programa mbrola\n"
    "              no PATH, ou uma biblioteca do MBROLA, e a voz br4 ou MBROLA_DB de [ORMIATTS])\n"
    "  --engine speechd  fala pelo Speech Dispatcher, em português do Brasil\n"
    "              (não grava arquivos)\n"
    "  --engine espeak   fala pelo eSpeak NG, com a voz de português do Brasil\n"
    "  --voices    lista as vozes de cada motor (ou só do motor de --engine), português do\n"
    "              Brasil primeiro: o número, o nome e a língua de cada uma; VOZ de [SERVFALA]\n"
    "              no KALDRO.INI aceita o número ou o nome\n"
    "  --help      mostra este texto\n"
    "  --version   mostra a versão\n"
    "Có" "digo de saí" "da (o motivo de cada falha vai numa linha para a saí" "da de erro):\n"
    "  0  tudo foi falado, gravado ou tocado\n"
    "  1  falha: a voz não começ" "a ou se perde no meio da fala, o WAV não pode ser criado,\n"
    "     um arquivo não pode ser lido ou tem um formato que não toca, ou um motor de\n"
    "     --voices não mostrou suas vozes\n"
    "  2  linha de comando errada (o que está errado vai numa linha para a saí" "da de erro)\n";

// The kind numbers of the synthesizers --engine names; -1 for an unknown name.
int engineKind(const std::string& name) {
  if (name == "ormia") return 3;
  if (name == "speechd") return 5;
  if (name == "espeak") return 4;
  return -1;
}

// The engines' speed (-10 to 10) at each of kaldro-fala's levels 1 to 5, near the built-in voice's
// pace at that level; without -v, the engines' normal pace.
int engineSpeed(int level) {
  constexpr int kSpeeds[] = {-6, -2, 0, 5, 7};
  return level >= 1 && level <= 5 ? kSpeeds[level - 1] : 0;
}

struct Options {
  int level = 0;  // 0: the configured level
  std::string wavFile;
  bool phonemes = false;
  bool phones = false;
  bool play = false;
  bool help = false;
  bool voices = false;  // list the external synthesizers' voices
  bool normal = false;  // the Portuguese engine's normalised text
  bool pho = false;     // the Portuguese engine's MBROLA lines
  bool literal = false;  // each sign as written, not the natural reading
  std::string engine;  // an external synthesizer by name; empty: the built-in voice
  std::vector<std::string> items;  // texts or file names, as given
};

// The options that are a word alone.
constexpr std::pair<std::string_view, bool Options::*> kFlags[] = {
    {"--phonemes", &Options::phonemes}, {"--phones", &Options::phones}, {"--normal", &Options::normal},
    {"--pho", &Options::pho},           {"--play", &Options::play},     {"--help", &Options::help},
    {"--voices", &Options::voices},     {"--literal", &Options::literal},
};

// Nothing when the command line is wrong (the reason is on standard error).
std::optional<Options> parseOptions(const std::vector<std::string>& arguments) {
  Options options;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    const auto flag = std::find_if(std::begin(kFlags), std::end(kFlags), [&](const auto& f) { return f.first == argument; });
    if (options.play) {
      options.items.push_back(argument);
    } else if (argument == "-v" || argument == "-w" || argument == "--engine") {
      if (i + 1 >= arguments.size()) {
        std::fprintf(stderr, "kaldro-fala: falta o valor de %s\n", argument.c_str());
        return std::nullopt;
      }
      const std::string& value = arguments[++i];
      if (argument == "-w") {
        options.wavFile = value;
        continue;
      }
      if (argument == "--engine") {
        if (engineKind(value) < 0) {
          std::fprintf(stderr, "kaldro-fala: motor desconhecido: %s\n", value.c_str());
          return std::nullopt;
        }
        options.engine = value;
        continue;
      }
      char* end = nullptr;
      const long level = std::strtol(value.c_str(), &end, 10);
      if (value.empty() || *end != '\0' || level < 1 || level > 5) {
        std::fprintf(stderr, "kaldro-fala: nível de velocidade inválido: %s (1 a 5)\n", value.c_str());
        return std::nullopt;
      }
      options.level = static_cast<int>(level);
    } else if (flag != std::end(kFlags)) {
      options.*(flag->second) = true;
    } else if (argument == "--") {
      for (++i; i < arguments.size(); ++i) options.items.push_back(arguments[i]);
    } else if (argument.size() > 1 && argument[0] == '-' && argument != "-") {
      std::fprintf(stderr, "kaldro-fala: opção desconhecida: %s\n", argument.c_str());
      return std::nullopt;
    } else {
      options.items.push_back(argument);
    }
  }
  if ((options.pho && options.engine != "ormia") || (options.normal && options.pho) ||
      (options.normal && !options.engine.empty() && options.engine != "ormia")) {
    std::fprintf(stderr, "kaldro-fala: use --engine ormia com --pho, e --normal sem motor ou com --engine ormia\n");
    return std::nullopt;
  }
  if (options.play && options.items.empty()) {
    std::fprintf(stderr, "kaldro-fala: --play precisa de arquivos\n");
    return std::nullopt;
  }
  return options;
}

void playFiles(app::ProgramRuntime& runtime, const Options& options) {
  bool allPlayed = true;
  for (const std::string& file : options.items) {
    const int result = runtime.wavPlayer().playWaveFile(file);
    if (result == 0) continue;
    allPlayed = false;
    if (result == audio::WavPlayer::FileError)
      std::fprintf(stderr, "kaldro-fala: não foi possível ler o arquivo WAV %s\n", file.c_str());
    else if (result == platform::audio_error::BadFormat)
      std::fprintf(stderr, "kaldro-fala: formato de som inválido em %s\n", file.c_str());
    else
      std::fprintf(stderr, "kaldro-fala: o dispositivo de som não tocou %s (erro %d)\n", file.c_str(), result);
  }
  if (!allPlayed) throw platform::ProgramExit{platform::exit_status::Failure};
}

// Calls handle(given, text) for each text of the command line, else each line (or part of a long
// line) of standard input; given is the text as it came, text the same in CP1252.
template <typename Handle>
void forEachText(const Options& options, Handle&& handle) {
  app::forEachInputText(options.items, std::cin, handle);
}

// --normal for the built-in voice: the text its run cutting gets, one line per text.
int printBuiltInReading(const Options& options, const platform::Configuration& configuration) {
  app::TextReading reading(configuration);
  if (options.literal) reading.setMode(tts::Reading::Literal);
  forEachText(options, [&](const std::string&, const std::string& text) {
    const std::string read = reading.mode() == tts::Reading::Natural ? reading.natural(text) : text;
    std::printf("%s\n", platform::cp1252ToUtf8(read).c_str());
  });
  return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
}

void speakAll(app::ProgramRuntime& runtime, const Options& options) {
  speech::Speech& speech = runtime.speech();
  if (int error = speech.tryStartSpeech(options.level, ""); error != 0) {
    std::fprintf(stderr, "kaldro-fala: erro de inicialização da voz: %d (banco de dados de voz: %s)\n",
                 error, platform::cp1252ToUtf8(speech.diphoneSynth().diphoneBase()).c_str());
    throw platform::ProgramExit{platform::exit_status::Failure};
  }
  diphone::UnitPhones inventory;
  if (options.phones) {
    const std::string folder = diphone::diphoneFoldersFromConfig(runtime.configuration()).diphones;
    const std::vector<std::string> faults = inventory.loadFromFolder(folder);
    for (const std::string& fault : faults) std::fprintf(stderr, "kaldro-fala: %s\n", fault.c_str());
    if (!faults.empty()) throw platform::ProgramExit{platform::exit_status::Failure};
  }
  auto handle = [&](const std::string& given, const std::string& text) {
    if (options.phones) {
      std::string phones;
      for (const std::string& phone : inventory.phonesOf(speech.diphoneSynth().translateText(text)))
        phones += (phones.empty() ? "" : " ") + phone;
      std::printf("%s\t%s\n", given.c_str(), platform::cp1252ToUtf8(phones).c_str());
      std::fflush(stdout);
    } else if (options.phonemes) {
      std::printf("%s\n", platform::cp1252ToUtf8(speech.diphoneSynth().translateText(text)).c_str());
      std::fflush(stdout);
    } else {
      speech.speakText(text);
    }
  };
  forEachText(options, handle);
  // A signal interrupts the read of standard input: the console meets it as the quit message.
  runtime.console().pumpAllMessages();
  speech.stopAndFinishSpeech();
}

// Speaks every text through an external synthesizer, to the device or into the -w file.
void speakWithEngine(app::ProgramRuntime& runtime, const Options& options) {
  if (options.engine == "speechd" && !options.wavFile.empty()) {
    std::fprintf(stderr, "kaldro-fala: o Speech Dispatcher não grava arquivos; para gravar um WAV use --engine espeak\n");
    throw platform::ProgramExit{1};
  }
  speech::ExternalSynth& synth = runtime.externalSynth();
  // The engine's own cause, in one line, where it can tell one.
  auto tellFailure = [&](const char* what) {
    const std::string cause = platform::cp1252ToUtf8(synth.synthFailureText());
    if (cause.empty())
      std::fprintf(stderr, "kaldro-fala: o motor %s %s (veja --help)\n", options.engine.c_str(), what);
    else
      std::fprintf(stderr, "kaldro-fala: o motor %s %s: %s\n", options.engine.c_str(), what, cause.c_str());
  };
  if (!synth.synthStart(0, engineSpeed(options.level), 0, options.wavFile, engineKind(options.engine))) {
    tellFailure("não começou");
    throw platform::ProgramExit{platform::exit_status::Failure};
  }
  bool lost = false;
  forEachText(options, [&](const std::string&, const std::string& text) {
    if (lost) return;  // a synthesizer that failed for good would lose the rest as well
    synth.synthSpeak(text);
    runtime.console().waitWhile(console::WaitSteps::messages(), [&synth] { return synth.synthBusy(false); });
    lost = synth.synthSpeechLost();
  });
  runtime.console().pumpAllMessages();
  synth.synthFinish();
  // A text cut off at the end is lost when no service comes back to say it.
  lost = lost || synth.synthSpeechLost();
  if (synth.synthOutputFailed()) {
    const std::string cause = platform::cp1252ToUtf8(synth.synthFailureText());
    if (cause.empty())
      std::fprintf(stderr, "kaldro-fala: a gravação de %s falhou (disco cheio?)\n", options.wavFile.c_str());
    else
      std::fprintf(stderr, "kaldro-fala: %s\n", cause.c_str());
    throw platform::ProgramExit{1};
  }
  if (lost) {
    tellFailure("falhou");
    throw platform::ProgramExit{platform::exit_status::Failure};
  }
}

}  // namespace

int main(int argc, char** argv) {
  const platform::RunOptions run = platform::RunOptions::fromEnvironment();
  if (app::answerStandardOption(std::vector<std::string>(argv + 1, argv + argc), "kaldro-fala", kUsage)) return 0;
  const std::optional<Options> options = parseOptions(std::vector<std::string>(argv + 1, argv + argc));
  if (!options) {
    // The reason is already said; the whole help would bury it.
    std::fputs("kaldro-fala: veja as opções com kaldro-fala --help\n", stderr);
    return platform::exit_status::Usage;
  }
  if (options->help) {
    std::fputs(kUsage, stdout);
    return platform::exit_status::Success;
  }
  if (options->voices) {
    const platform::Configuration configuration(platform::configLocations(run));
    const std::unique_ptr<engines::EspeakLibrary> espeak = engines::makeEspeakLibrary();
    return app::listVoices(options->engine, configuration, *espeak, stdout);
  }
  if (options->normal && options->engine.empty()) {
    const platform::Configuration configuration(platform::configLocations(run));
    return printBuiltInReading(*options, configuration);
  }
  if (options->normal || options->pho || (options->phones && options->engine == "ormia")) {
    const platform::Configuration configuration(platform::configLocations(run));
    const tts::Reading reading = options->literal ? tts::Reading::Literal : tts::readingFromConfig(configuration);
    return app::printOrmiaText(options->normal ? app::OrmiaTextMode::Normalised
                               : options->pho  ? app::OrmiaTextMode::MbrolaLines
                                               : app::OrmiaTextMode::Phones,
                               options->items, configuration, reading, engineSpeed(options->level));
  }
  // Writing a file or only showing phonemes or phones needs no real time: the headless host's
  // virtual clock makes it as fast as the synthesizer.
  const bool virtualTime =
      !options->wavFile.empty() || options->phonemes || options->phones || run.host == "headless";
  auto makeHost = [&](platform::Trace& trace) -> std::unique_ptr<platform::Host> {
    if (virtualTime) return std::make_unique<platform::HostHeadless>(trace, std::string_view());
    return std::make_unique<platform::HostQuiet>(trace);
  };
  // An engine writes its -w file itself.
  std::string audio = options->wavFile.empty() ? std::string() : "wav:" + options->wavFile;
  if (!options->engine.empty() && !options->wavFile.empty()) audio = "none";
  return app::runProgram(run, makeHost, audio, [&](app::ProgramRuntime& runtime) {
    if (options->literal) runtime.setReading(tts::Reading::Literal);
    if (!runtime.audioError().empty()) {
      std::fprintf(stderr, "kaldro-fala: não foi possível criar o arquivo WAV %s\n", options->wavFile.c_str());
      throw platform::ProgramExit{platform::exit_status::Failure};
    }
    if (options->play)
      playFiles(runtime, *options);
    else if (!options->engine.empty())
      speakWithEngine(runtime, *options);
    else
      speakAll(runtime, *options);
    // The -w file of the built-in voice and the player: what it lost is said.
    if (const std::string failure = runtime.audioFailure(); !failure.empty()) {
      std::fprintf(stderr, "kaldro-fala: %s\n", platform::cp1252ToUtf8(failure).c_str());
      throw platform::ProgramExit{platform::exit_status::Failure};
    }
  });
}
