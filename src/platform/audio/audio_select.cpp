// The choice of sound device from KALDRO_AUDIO.
#include "platform/audio/audio_device.h"
#include "platform/audio/audio_device_none.h"
#include "platform/words.h"

namespace kaldro::platform {

std::unique_ptr<AudioDevice> makeAudioDeviceNone(Host& host) { return std::make_unique<AudioDeviceNone>(host); }

namespace {
// The devices KALDRO_AUDIO may name; a name ending in ":" takes what follows it (a file).
struct NamedDevice {
  std::string_view name;
  std::unique_ptr<AudioDevice> (*make)(Host& host, const std::string& argument, std::string* error);
};
constexpr NamedDevice kDevices[] = {
    {"device", [](Host& host, const std::string&, std::string*) { return makeAudioDeviceSdl(host); }},
    {"none", [](Host& host, const std::string&, std::string*) { return makeAudioDeviceNone(host); }},
    {"wav:", [](Host& host, const std::string& path, std::string* error) { return makeAudioDeviceWav(host, path, error); }},
};
}  // namespace

std::unique_ptr<AudioDevice> makeAudioDevice(Host& host, std::string choice, std::string* error) {
  for (const NamedDevice& device : kDevices) {
    const bool takesArgument = device.name.ends_with(':');
    if (takesArgument ? choice.starts_with(device.name) && choice.size() > device.name.size() : choice == device.name)
      return device.make(host, choice.substr(takesArgument ? device.name.size() : choice.size()), error);
  }
  if (error) *error = words::UnknownAudioChoice.utf8({choice});
  return makeAudioDeviceNone(host);
}

std::string audioChoice(const RunOptions& options, const Host& host) {
  if (!options.audio.empty()) return options.audio;
  return host.name() == "headless" ? "none" : "device";
}

}  // namespace kaldro::platform
