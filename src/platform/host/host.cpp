// What every host shares: the palette, the clock started at KALDRO_NOW, and the harmless defaults.
#include "platform/host/host.h"

#include <chrono>
#include <cstdlib>
#include <ctime>

namespace kaldro::platform {

Rgb paletteColour(int index) {
  static constexpr Rgb kPalette[16] = {
      {0, 0, 0},       {0, 0, 255},     {0, 255, 0},     {0, 255, 255},   {255, 0, 0},     {142, 0, 142},
      {68, 34, 34},    {192, 192, 192}, {128, 128, 128}, {128, 128, 255}, {128, 255, 128}, {128, 255, 255},
      {255, 128, 128}, {255, 128, 255}, {255, 255, 0},   {255, 255, 255}};
  if (index < 0 || index > 15) return {0, 0, 0};
  return kPalette[index];
}

namespace {
// Parses YYYY-MM-DDTHH:MM:SS into wall-clock milliseconds since 1970 (as if the zone were UTC).
std::optional<int64_t> parseNow(const char* text) {
  std::tm fields{};
  int year, month, day, hour, minute, second;
  if (std::sscanf(text, "%d-%d-%dT%d:%d:%d", &year, &month, &day, &hour, &minute, &second) != 6) return std::nullopt;
  fields.tm_year = year - 1900;
  fields.tm_mon = month - 1;
  fields.tm_mday = day;
  fields.tm_hour = hour;
  fields.tm_min = minute;
  fields.tm_sec = second;
  return static_cast<int64_t>(timegm(&fields)) * 1000;
}

int64_t realWallMs() {
  using namespace std::chrono;
  auto now = system_clock::now();
  std::time_t seconds = system_clock::to_time_t(now);
  std::tm local{};
  localtime_r(&seconds, &local);
  int64_t ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
  return (static_cast<int64_t>(seconds) + local.tm_gmtoff) * 1000 + ms;
}
}  // namespace

void Host::startClockAt(std::string_view localTime) {
  const std::optional<int64_t> parsed = parseNow(std::string(localTime).c_str());
  if (!parsed) return;
  clockAnchored_ = true;
  anchorMonotonicMs_ = monotonicMs();
  anchorEpochMs_ = *parsed;
}

LocalDateTime Host::localNow() {
  if (!clockAnchored_) {
    clockAnchored_ = true;
    anchorMonotonicMs_ = monotonicMs();
    anchorEpochMs_ = realWallMs();
  }
  int64_t wallMs = anchorEpochMs_ + (monotonicMs() - anchorMonotonicMs_);
  std::time_t seconds = static_cast<std::time_t>(wallMs / 1000);
  std::tm fields{};
  gmtime_r(&seconds, &fields);
  LocalDateTime now;
  now.year = fields.tm_year + 1900;
  now.month = fields.tm_mon + 1;
  now.day = fields.tm_mday;
  now.weekday = fields.tm_wday;
  now.hour = fields.tm_hour;
  now.minute = fields.tm_min;
  now.second = fields.tm_sec;
  now.millisecond = static_cast<int>(wallMs % 1000);
  return now;
}

}  // namespace kaldro::platform
