// The table of the family's voices.
#include "voice/voice_table.h"

#include "voice/builtin_voice.h"
#include "voice/engine_kinds.h"
#include "voice/engine_voice.h"

namespace kaldro::voice {

namespace {

std::unique_ptr<Voice> makeEngineVoice(const VoiceContext& context) {
  return std::make_unique<EngineVoice>(context.config, context.places);
}

std::unique_ptr<Voice> makeBuiltInVoice(const VoiceContext& context) {
  return std::make_unique<BuiltInVoice>(context.config, context.reading);
}

using speech::engine_kind::Espeak, speech::engine_kind::Ormia, speech::engine_kind::SpeechDispatcher,
    speech::engine_kind::SpeechDispatcherToo;

// The module offers its voices in this order, the first that starts being its default; the
// built-in voice is last, and takes over when another fails.
constexpr VoiceRow kVoices[] = {
    {"", "speechd", {SpeechDispatcher, SpeechDispatcherToo}, "", EngineFamily::SpeechDispatcher, nullptr},
    {"", "espeak", {Espeak, 0}, "", EngineFamily::ESpeak, nullptr},
    {"kaldro-mbrola-br4", "ormia", {Ormia, 0}, "pt-BR", EngineFamily::Ormia, makeEngineVoice},
    {"kaldro-embutida", "", {0, 0}, "pt-BR", std::nullopt, makeBuiltInVoice},
};

}  // namespace

std::span<const VoiceRow> voiceTable() { return kVoices; }

const VoiceRow* voiceOfOption(std::string_view option) {
  if (option.empty()) return nullptr;
  for (const VoiceRow& row : kVoices)
    if (row.option == option) return &row;
  return nullptr;
}

EngineFamily familyOfKind(int kind) {
  for (const VoiceRow& row : kVoices)
    if (row.family && kind != 0 && (row.kinds[0] == kind || row.kinds[1] == kind)) return *row.family;
  return EngineFamily::ESpeak;
}

}  // namespace kaldro::voice
