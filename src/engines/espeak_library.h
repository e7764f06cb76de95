// eSpeak NG as the eSpeak NG adapter uses it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "engines/engine_voices.h"

namespace kaldro::engines {

// libespeak-ng keeps one state for the whole process and may hang when initialised a second time
// (after espeak_Terminate, or in another output mode). So one object, built by main and living
// for the whole run, owns it; every eSpeak NG adapter borrows it. Program's thread only.
class EspeakLibrary {
 public:
  // eSpeak NG's own rate (words per minute) and pitch (0..100) for every voice.
  static constexpr int NormalRate = 175;
  static constexpr int NormalPitch = 50;

  // Receives the samples of one synthesis, block by block; false stops the synthesis at once.
  using SampleSink = std::function<bool(std::span<const int16_t> samples)>;

  virtual ~EspeakLibrary() = default;
  // The sample rate of the sound made (16-bit mono); 0 when the library cannot start. The first
  // call initialises it.
  virtual int sampleRate() = 0;
  // The voices (identifier such as "roa/pt-BR", name, first language), in the library's order.
  virtual std::vector<EngineVoice> voices() = 0;
  virtual bool selectVoice(const std::string& identifier) = 0;
  virtual void setRate(int wordsPerMinute) = 0;
  virtual void setPitch(int pitch) = 0;
  // Synthesizes a UTF-8 text on the calling thread. False when the library refused the text.
  virtual bool synthesize(const std::string& utf8Text, const SampleSink& sink) = 0;
};

// The real library, synthesizing into memory (its synchronous mode: the calling thread gets every
// block, and nothing depends on a sound device).
std::unique_ptr<EspeakLibrary> makeEspeakLibrary();

}  // namespace kaldro::engines
