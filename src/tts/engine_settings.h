// Where the engine's voice, MBROLA library and data files are, from [ORMIATTS] of KALDRO.INI: the one
// place both the spoken path and the text views (--pho, --normal, --phones) find them.
#pragma once

#include <string>
#include <vector>

#include "platform/config.h"
#include "tts/front_end.h"

namespace kaldro::tts {

struct EngineSettings {
  std::string databaseName;   // MBROLA_DB: a voice name, or a path to its database
  std::string engineFolder;   // DIR, ending in "/"
  std::string baseName;       // BASE
  std::string mbrolaLibrary;  // MBROLA_LIB: a library name tried before the usual ones
  // The user's dictionaries (dicionario.txt) in the folders KALDRO.INI is searched in, in that
  // order (the user's first, the system-wide one of /etc/kaldro last), and beside the KALDRO.INI
  // in use; those missing hold nothing until they appear.
  std::vector<std::string> dictionaries;
  // The five data files, each found without regard to case when the exact name is not there, and
  // the dictionaries.
  DataFiles files() const {
    DataFiles files = dataFilesIn(engineFolder, baseName);
    files.dictionaries = dictionaries;
    return files;
  }
};

// Paths in UTF-8 with "/" (as Configuration::readPath gives them), with the defaults: br4,
// PREFIX/share/kaldro/ormiatts/, portug.
EngineSettings readEngineSettings(const platform::Configuration& config);

}  // namespace kaldro::tts
