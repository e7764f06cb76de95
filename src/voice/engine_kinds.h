// The engine kinds KALDRO.INI names ([SERVFALA] TIPOSAPI), known below the speech services.
#pragma once

namespace kaldro::speech {

// The engine kinds KALDRO.INI names ([SERVFALA] TIPOSAPI): the Portuguese engine, Speech Dispatcher (5, and 54, which
// behaves as 5); every other kind is eSpeak NG, 4 among them.
namespace engine_kind {
inline constexpr int Ormia = 3;
inline constexpr int Espeak = 4;
inline constexpr int SpeechDispatcher = 5;
inline constexpr int SpeechDispatcherToo = 54;
}  // namespace engine_kind

}  // namespace kaldro::speech
