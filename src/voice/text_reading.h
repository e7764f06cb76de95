// The reading both voices share: the natural reading with the engine's abbreviations, or the
// literal one (LEITURA=LITERAL in [TRADUTOR], kaldro-fala --literal).
#pragma once

#include <string>
#include <string_view>

#include "platform/config.h"
#include "tts/natural_reading.h"
#include "tts/normaliser.h"
#include "tts/user_dictionary.h"

namespace kaldro::app {

class TextReading {
 public:
  // The mode from LEITURA; the abbreviations from the engine's data folder ([ORMIATTS]), none
  // when its file is missing.
  explicit TextReading(const platform::Configuration& configuration);
  TextReading(const TextReading&) = delete;
  TextReading& operator=(const TextReading&) = delete;

  tts::Reading mode() const { return mode_; }
  const tts::Reading* modePlace() const { return &mode_; }
  void setMode(tts::Reading mode) { mode_ = mode; }
  // The words a reader says for a text (CP1252), whatever the mode.
  std::string natural(std::string_view text) const { return natural_.read(text); }
  // The text with the user's own readings (dicionario.txt), before either reading.
  std::string ownWords(std::string_view text) const { return dictionary_.apply(text); }
  // Where a long text (UTF-8 or CP1252) is best cut so that both parts read as in the whole: after
  // the last sentence end the reading marks (a ! or ?, or a point after a word that is neither
  // an abbreviation nor an initial, followed by a blank and a capital or a digit), else after the
  // last clause mark followed by a blank, else after the last blank, else before the last
  // character that may begin a UTF-8 sequence.
  size_t partEnd(std::string_view text) const;

 private:
  tts::UserDictionary dictionary_;
  tts::Normaliser names_;
  tts::NaturalReading natural_{names_};
  tts::Reading mode_;
};

}  // namespace kaldro::app
