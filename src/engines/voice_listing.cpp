// Listing the external synthesizers' voices: Speech Dispatcher asked over a connection of its own,
// the Portuguese engine's voice found as the engine finds it.
#include "engines/voice_listing.h"

#include <sys/stat.h>

#include "engines/speech_service_client.h"
#include "tts/engine_settings.h"
#include "tts/ormia_engine.h"

namespace kaldro::engines {

std::optional<std::vector<EngineVoice>> speechdVoices(const std::string& clientName) {
  std::unique_ptr<SpeechServiceClient> client = makeSpeechdClient(nullptr);
  if (!client->connect(clientName)) return std::nullopt;
  std::vector<EngineVoice> voices = client->synthesisVoices();
  client->disconnect();
  if (voices.empty()) return std::nullopt;
  return voices;
}

MbrolaVoice ormiaVoice(const platform::Configuration& config) {
  const tts::EngineSettings settings = tts::readEngineSettings(config);
  MbrolaVoice voice{settings.databaseName, ""};
  std::string file = settings.databaseName;
  if (file.find('/') == std::string::npos) {
    const tts::OrmiaEngine engine{tts::EnginePlaces{}};
    if (!engine.readRegistryString(std::string(tts::kVoiceRecordKey) + settings.databaseName + "\\", file)) return voice;
  }
  struct stat info {};
  if (::stat(file.c_str(), &info) == 0 && S_ISREG(info.st_mode)) voice.file = file;
  return voice;
}

}  // namespace kaldro::engines
