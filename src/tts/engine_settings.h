// Where the engine's voice, MBROLA library and data files are, from [ORMIATTS] of KALDRO.INI: the one
// place both the spoken path and the text views (--pho, --normal, --phones) find them.
#pragma once

#include <string>

#include "platform/config.h"
#include "tts/front_end.h"

namespace kaldro::tts {

struct EngineSettings {
  std::string databaseName;   // MBROLA_DB: a voice name, or a path to its database
  std::string engineFolder;   // DIR, ending in "/"
  std::string baseName;       // BASE
  std::string mbrolaLibrary;  // MBROLA_LIB: a library name tried before the usual ones
  // The five data files, each found without regard to case when the exact name is not there.
  DataFiles files() const { return dataFilesIn(engineFolder, baseName); }
};

// Paths in UTF-8 with "/" (as Configuration::readPath gives them), with the defaults: br4,
// PREFIX/share/kaldro/ormiatts/, portug.
EngineSettings readEngineSettings(const platform::Configuration& config);

}  // namespace kaldro::tts
