// kaldro-fala's text modes of the Portuguese engine: each text's normalised form, MBROLA lines or phones.
#pragma once

#include <string>
#include <vector>

#include "platform/config.h"
#include "tts/natural_reading.h"

namespace kaldro::app {

enum class OrmiaTextMode { Normalised, MbrolaLines, Phones };

// Prints, for every text (the items, or each line of standard input when there are none), its
// normalised form on one line, its MBROLA lines followed by "#" (a .pho stream: the lines the
// engine sends MBROLA at the speed given, -10 to 10), or the text, a tab and its phones (what
// tools/compara-fonemas reads). The engine's data comes from [ORMIATTS] of KALDRO.INI; texts are
// read naturally or literally as reading says. Returns the exit status: 1 when the data cannot be
// loaded (the reason on standard error).
int printOrmiaText(OrmiaTextMode mode, const std::vector<std::string>& items,
                   const platform::Configuration& configuration, tts::Reading reading, int speed = 0);

}  // namespace kaldro::app
