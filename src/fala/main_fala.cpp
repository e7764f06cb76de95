// kaldro-fala: speaks texts with the family's speech services, writes them to a WAV file, shows their
// phonemes or phones, or plays WAV files.
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <algorithm>
#include <iterator>
#include <sstream>
#include <string_view>
#include <utility>
#include <string>
#include <vector>

#include "fala/input_texts.h"
#include "fala/ormia_text.h"
#include "program/program_runtime.h"
#include "platform/standard_options.h"
#include "fala/voice_listing.h"
#include "diphone/diphone_synth.h"
#include "diphone/unit_phones.h"
#include "platform/host/host_headless.h"
#include "platform/host/host_quiet.h"
#include "platform/text.h"
#include "platform/words.h"
#include "voice/voice_table.h"

namespace {

using namespace kaldro;
namespace words = platform::words;

// One line on standard error, after the program's name.
void tell(const std::string& utf8) { std::fprintf(stderr, "kaldro-fala: %s\n", utf8.c_str()); }

// The kind number of the synthesizer --engine names, as the voice table has it; -1 for a name no
// external synthesizer has.
int engineKind(const std::string& name) {
  const voice::VoiceRow* row = voice::voiceOfOption(name);
  return row != nullptr && row->family ? row->kinds[0] : -1;
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
        tell(words::OptionLacksValue.utf8({argument}));
        return std::nullopt;
      }
      const std::string& value = arguments[++i];
      if (argument == "-w") {
        options.wavFile = value;
        continue;
      }
      if (argument == "--engine") {
        if (engineKind(value) < 0) {
          tell(words::UnknownEngine.utf8({value}));
          return std::nullopt;
        }
        options.engine = value;
        continue;
      }
      char* end = nullptr;
      const long level = std::strtol(value.c_str(), &end, 10);
      if (value.empty() || *end != '\0' || level < 1 || level > 5) {
        tell(words::BadSpeedLevel.utf8({value}));
        return std::nullopt;
      }
      options.level = static_cast<int>(level);
    } else if (flag != std::end(kFlags)) {
      options.*(flag->second) = true;
    } else if (argument == "--") {
      for (++i; i < arguments.size(); ++i) options.items.push_back(arguments[i]);
    } else if (argument.size() > 1 && argument[0] == '-' && argument != "-") {
      tell(words::UnknownOption.utf8({argument}));
      return std::nullopt;
    } else {
      options.items.push_back(argument);
    }
  }
  if ((options.pho && options.engine != "ormia") || (options.normal && options.pho) ||
      (options.normal && !options.engine.empty() && options.engine != "ormia")) {
    tell(words::ViewNeedsOrmia.utf8());
    return std::nullopt;
  }
  if (options.play && options.items.empty()) {
    tell(words::PlayNeedsFiles.utf8());
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
      tell(words::WaveUnreadable.utf8({file}));
    else if (result == platform::audio_error::BadFormat)
      tell(words::SoundFormatInvalid.utf8({file}));
    else
      tell(words::DeviceDidNotPlay.utf8({file, std::to_string(result)}));
  }
  if (!allPlayed) throw platform::ProgramExit{platform::exit_status::Failure};
}

// --normal for the built-in voice: the text its run cutting gets, one line per text.
int printBuiltInReading(const Options& options, const platform::Configuration& configuration) {
  app::TextReading reading(configuration);
  if (options.literal) reading.setMode(tts::Reading::Literal);
  app::InputTexts(configuration).forEach(options.items, std::cin, [&](const std::string&, const std::string& text) {
    const std::string own = reading.ownWords(text);
    const std::string read = reading.mode() == tts::Reading::Natural ? reading.natural(own) : own;
    std::printf("%s\n", platform::cp1252ToUtf8(read).c_str());
  });
  return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
}

void speakAll(app::ProgramRuntime& runtime, const Options& options) {
  speech::Speech& speech = runtime.speech();
  if (int error = speech.tryStartSpeech(options.level, ""); error != 0) {
    tell(words::VoiceStartupError.utf8({std::to_string(error), platform::cp1252ToUtf8(speech.diphoneSynth().diphoneBase())}));
    throw platform::ProgramExit{platform::exit_status::Failure};
  }
  diphone::UnitPhones inventory;
  if (options.phones) {
    const std::string folder = diphone::diphoneFoldersFromConfig(runtime.configuration()).diphones;
    if (const platform::Status loaded = inventory.loadFromFolder(folder); !loaded.ok()) {
      std::istringstream faults(platform::cp1252ToUtf8(loaded.message()));
      for (std::string fault; std::getline(faults, fault);) tell(fault);
      throw platform::ProgramExit{platform::exit_status::Failure};
    }
  }
  auto handle = [&](const std::string& given, const std::string& text) {
    if (options.phones) {
      std::string phones;
      // The views follow the reading the voice speaks: "07/12/2026" as the date it says.
      for (const std::string& phone : inventory.phonesOf(speech.diphoneSynth().translateText(speech.readingOf(text))))
        phones += (phones.empty() ? "" : " ") + phone;
      std::printf("%s\t%s\n", given.c_str(), platform::cp1252ToUtf8(phones).c_str());
      std::fflush(stdout);
    } else if (options.phonemes) {
      std::printf("%s\n", platform::cp1252ToUtf8(speech.diphoneSynth().translateText(speech.readingOf(text))).c_str());
      std::fflush(stdout);
    } else {
      speech.speakText(text);
    }
  };
  app::InputTexts(runtime.configuration()).forEach(options.items, std::cin, handle);
  // A signal interrupts the read of standard input: the console meets it as the quit message.
  runtime.console().pumpAllMessages();
  speech.stopAndFinishSpeech();
}

// Speaks every text through an external synthesizer, to the device or into the -w file.
void speakWithEngine(app::ProgramRuntime& runtime, const Options& options) {
  if (options.engine == "speechd" && !options.wavFile.empty()) {
    tell(words::SpeechServiceRecordsNoWave.utf8());
    throw platform::ProgramExit{1};
  }
  speech::ExternalSynth& synth = runtime.externalSynth();
  // The engine's own cause, in one line, where it can tell one.
  auto tellFailure = [&](const platform::Cp1252Words& alone, const platform::Cp1252Words& because) {
    const std::string cause = platform::cp1252ToUtf8(synth.synthFailureText());
    tell(cause.empty() ? alone.utf8({options.engine}) : because.utf8({options.engine, cause}));
  };
  if (!synth.synthStart(0, engineSpeed(options.level), 0, options.wavFile, engineKind(options.engine))) {
    tellFailure(words::EngineDidNotStart, words::EngineDidNotStartBecause);
    throw platform::ProgramExit{platform::exit_status::Failure};
  }
  bool lost = false;
  app::InputTexts(runtime.configuration()).forEach(options.items, std::cin, [&](const std::string&, const std::string& text) {
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
    tell(cause.empty() ? words::WaveRecordingFailed.utf8({options.wavFile}) : cause);
    throw platform::ProgramExit{1};
  }
  if (lost) {
    tellFailure(words::EngineFailed, words::EngineFailedBecause);
    throw platform::ProgramExit{platform::exit_status::Failure};
  }
}

}  // namespace

int main(int argc, char** argv) {
  const platform::RunOptions run = platform::RunOptions::fromEnvironment();
  if (platform::answerStandardOption(std::vector<std::string>(argv + 1, argv + argc), "kaldro-fala", words::FalaHelp)) return 0;
  const std::optional<Options> options = parseOptions(std::vector<std::string>(argv + 1, argv + argc));
  if (!options) {
    // The reason is already said; the whole help would bury it.
    tell(words::SeeOptions.utf8());
    return platform::exit_status::Usage;
  }
  if (options->help) {
    std::fputs(platform::utf8Lines(words::FalaHelp).c_str(), stdout);
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
      tell(words::WaveNotCreated.utf8({options->wavFile}));
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
      tell(platform::cp1252ToUtf8(failure));
      throw platform::ProgramExit{platform::exit_status::Failure};
    }
  });
}
