// The choice of sound device from KALDRO_AUDIO.
#include "platform/audio/audio_device.h"
#include "platform/audio/audio_device_none.h"
#include "platform/text.h"
#include "platform/words.h"

namespace kaldro::platform {

std::unique_ptr<AudioDevice> makeAudioDeviceNone(Host& host) { return std::make_unique<AudioDeviceNone>(host); }

namespace {
// The devices KALDRO_AUDIO may name; a name ending in ":" takes what follows it (a file).
struct NamedDevice {
  std::string_view name;
  Made<AudioDevice> (*make)(Host& host, const std::string& argument);
};
constexpr NamedDevice kDevices[] = {
    {"device", [](Host& host, const std::string&) { return Made<AudioDevice>{makeAudioDeviceSdl(host), {}}; }},
    {"none", [](Host& host, const std::string&) { return Made<AudioDevice>{makeAudioDeviceNone(host), {}}; }},
    {"wav:", [](Host& host, const std::string& path) { return makeAudioDeviceWav(host, path); }},
};
}  // namespace

Made<AudioDevice> makeAudioDevice(Host& host, std::string choice) {
  for (const NamedDevice& device : kDevices) {
    const bool takesArgument = device.name.ends_with(':');
    if (takesArgument ? choice.starts_with(device.name) && choice.size() > device.name.size() : choice == device.name)
      return device.make(host, choice.substr(takesArgument ? device.name.size() : choice.size()));
  }
  return {makeAudioDeviceNone(host),
          Status::failure(StatusCode::NotFound, utf8ToCp1252(words::UnknownAudioChoice.utf8({choice})))};
}

std::string audioChoice(const RunOptions& options, const Host& host) {
  if (!options.audio.empty()) return options.audio;
  return host.name() == "headless" ? "none" : "device";
}

}  // namespace kaldro::platform
