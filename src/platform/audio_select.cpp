// The choice of sound device from KALDRO_AUDIO.
#include <cstdlib>

#include "platform/audio_device.h"
#include "platform/audio_device_none.h"

namespace kaldro::platform {

std::unique_ptr<AudioDevice> makeAudioDeviceNone(Host& host) { return std::make_unique<AudioDeviceNone>(host); }

std::unique_ptr<AudioDevice> makeAudioDevice(Host& host, std::string choice, std::string* error) {
  if (choice == "device") return makeAudioDeviceSdl(host);
  if (choice == "none") return makeAudioDeviceNone(host);
  if (choice.rfind("wav:", 0) == 0 && choice.size() > 4) return makeAudioDeviceWav(host, choice.substr(4), error);
  if (error) *error = "KALDRO_AUDIO: valor desconhecido \"" + choice + "\" (use device, none ou wav:ARQUIVO); sem som";
  return makeAudioDeviceNone(host);
}

std::string audioChoiceFromEnvironment(const Host& host) {
  const char* chosen = std::getenv("KALDRO_AUDIO");
  if (chosen && *chosen) return chosen;
  return host.name() == "headless" ? "none" : "device";
}

}  // namespace kaldro::platform
