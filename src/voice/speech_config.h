// The speech keys of KALDRO.INI: how their values are read and what they default to.
#pragma once

#include <climits>
#include <optional>
#include <string>
#include <string_view>

#include "platform/config.h"

namespace kaldro::speech {

// The values a key may take; a number outside is held at the nearer end.
struct IntegerRange {
  int lowest = INT_MIN;
  int highest = INT_MAX;
};
// An optional sign, then decimal digits: the leading digits count; none gives 0.
int leadingInteger(std::string_view text, IntegerRange range = {});
// The value when the whole text is a decimal integer; otherwise (empty included) the fallback.
int integerOr(std::string_view text, int fallback, IntegerRange range = {});
// On when the text is not empty and does not begin with "N" or "n".
bool yesAnswer(std::string_view text);

// The SINTETIZADOR keys of one speed level.
struct SynthSettings {
  std::string diphoneBase;  // DIFONESn, at most 8 characters
  int unitCut = 0;          // CORTEFONn
  int unitMinimum = 0;      // SOBRAFONn
  int wordGap = 0;          // INTERPALn
  bool dropPeriods = false; // CORTAFALAn
  bool fastRate = false;    // RAPIDINHOn
  int pauseFullStop = 250;  // PAUSAPONTOn
  int pauseComma = 150;     // PAUSAVIRGn
  int pauseColon = 200;     // PAUSADOISPONTOSn
};
SynthSettings readSynthSettings(const platform::Configuration& config, int level);

// The level speech starts at: the one given when it is at least 1, else VELOCIDADE of TRADUTOR;
// a level outside 1..5 becomes 3.
int chooseSpeedLevel(const platform::Configuration& config, int speed);

// The SERVFALA keys that start an external synthesizer; nothing when SAPI of TRADUTOR keeps it off.
struct ExternalSettings {
  int voice = 0;
  std::string voiceName;  // VOZ when it is a name rather than a number (CP1252)
  int rate = 0;
  int pitch = 0;
  int kind = 0;
};
std::optional<ExternalSettings> readExternalSettings(const platform::Configuration& config);

}  // namespace kaldro::speech
