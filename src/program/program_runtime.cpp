// Everything a program of the family runs on, built once by main and torn down in order.
#include "program/program_runtime.h"

#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <optional>

#include "engines/engine_adapters.h"
#include "engines/engine_dispatcher.h"
#include "platform/ending_signals.h"
#include "platform/text.h"
#include "platform/host/host_factories.h"
#include "platform/words.h"

namespace kaldro::app {

namespace {
std::string programPath() {
  const std::string path = platform::executablePath();
  return path.empty() ? std::string("plumar") : path;
}

void writeScreenDump(const console::Console& console, const std::string& path) {
  if (path.empty()) return;
  if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
    std::string dump = console.screenDump();
    std::fwrite(dump.data(), 1, dump.size(), file);
    std::fclose(file);
  }
}
}  // namespace

ProgramRuntime::ProgramRuntime(std::unique_ptr<platform::Host> host, const platform::RunOptions& options,
                               std::string audioChoice)
    : host_(std::move(host)), config_(platform::configLocations(options)) {
  host_->startClockAt(options.now);
  console_ = std::make_unique<console::Console>(*host_, config_, programPath());
  // A device the program chose itself is its own to report; one from the environment is reported here.
  const bool fromEnvironment = audioChoice.empty();
  if (fromEnvironment) audioChoice = platform::audioChoice(options, *host_);
  platform::Made<platform::AudioDevice> device = platform::makeAudioDevice(*host_, audioChoice);
  audioDevice_ = std::move(device.object);
  audioError_ = platform::cp1252ToUtf8(device.status.message());
  if (fromEnvironment && !audioError_.empty()) std::fprintf(stderr, "%s\n", audioError_.c_str());
  toneOutput_ = std::make_unique<audio::DeviceToneOutput>(*audioDevice_);
  console_->setToneOutput(toneOutput_.get());
  wavPlayer_ = std::make_unique<audio::WavPlayer>(*console_, *audioDevice_);
  espeakLibrary_ = engines::makeEspeakLibrary();
  reading_ = std::make_unique<TextReading>(config_);
  tts::MbrolaPlaces mbrola;
  mbrola.programFolders = options.programFolders;
  mbrola.libraryFolders = options.libraryFolders;
  externalSynth_ = std::make_unique<engines::EngineDispatcher>(
      *console_, engines::builtInAdapters(
                     {*console_, config_, *wavPlayer_, espeakLibrary_.get(), reading_->modePlace(), std::move(mbrola)}));
  speech_ = std::make_unique<speech::Speech>(*console_, config_, *wavPlayer_, *externalSynth_);
  speech_->setOwnWords([this](std::string_view text) { return reading_->ownWords(text); });
  setReading(reading_->mode());
  lineEditor_ = std::make_unique<speech::LineEditor>(*speech_);
  fileChooser_ = std::make_unique<files::FileChooser>(*speech_, *lineEditor_);
}

void ProgramRuntime::setReading(tts::Reading reading) {
  reading_->setMode(reading);
  if (reading == tts::Reading::Natural)
    speech_->setTextReader([this](std::string_view text) { return reading_->natural(text); });
  else
    speech_->setTextReader({});
}

ProgramRuntime::~ProgramRuntime() {
  // Users first: the file chooser and editor speak, speech plays, the player and tones use the device.
  fileChooser_.reset();
  lineEditor_.reset();
  speech_.reset();
  externalSynth_.reset();
  espeakLibrary_.reset();
  wavPlayer_.reset();
  if (console_) console_->setToneOutput(nullptr);
  toneOutput_.reset();
  audioDevice_.reset();
}

int runProgram(const platform::RunOptions& options, const std::function<void(ProgramRuntime&)>& body,
               platform::WindowHostFactory makeWindow) {
  return runProgram(
      options, [&](platform::Trace& trace) { return platform::createHost(trace, options, makeWindow); }, {}, body);
}

int runProgram(const platform::RunOptions& options, const HostMaker& makeHost, const std::string& audioChoice,
               const std::function<void(ProgramRuntime&)>& body) {
  platform::Trace trace(options.trace);
  int status = 0;
  std::unique_ptr<ProgramRuntime> runtime;
  // SIGTERM, SIGINT and SIGHUP become the quit message, set before the host is made: a headless
  // host reading its key script from standard input is interrupted, and the window's library and the
  // sound device's see handlers in place and install none of their own (which know SIGTERM and
  // SIGINT but leave SIGHUP to kill the program without its end, or that nobody here reads).
  std::optional<platform::EndingSignals> endingSignals;
  endingSignals.emplace();
  try {
    std::unique_ptr<platform::Host> host = makeHost(trace);
    // The terminal handles these signals itself: it must put the screen back at once.
    if (host->name() == "terminal") {
      const bool asked = platform::endingSignalPending();
      endingSignals.reset();
      if (asked) throw platform::ProgramExit{255};
    }
    runtime = std::make_unique<ProgramRuntime>(std::move(host), options, audioChoice);
    body(*runtime);
  } catch (const platform::ProgramExit& exit) {
    status = exit.status;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", platform::words::InternalError.utf8({error.what()}).c_str());
    status = 1;
  }
  if (runtime) writeScreenDump(runtime->console(), options.screenDump);
  trace.event("exit", std::to_string(status));
  // Tearing down restores the terminal before the process ends.
  runtime.reset();
  return status;
}

}  // namespace kaldro::app
