// The engine's settings from KALDRO.INI.
#include "tts/engine_settings.h"

#include <algorithm>

namespace kaldro::tts {

EngineSettings readEngineSettings(const platform::Configuration& config) {
  EngineSettings settings;
  settings.databaseName = config.readPath("ORMIATTS", "MBROLA_DB");
  settings.engineFolder = config.readPath("ORMIATTS", "DIR");
  settings.baseName = config.readPath("ORMIATTS", "BASE");
  settings.mbrolaLibrary = config.readPath("ORMIATTS", "MBROLA_LIB");
  if (settings.databaseName.empty()) settings.databaseName = "br4";
  // Our data and the voice live apart on Linux: the data folder is the one of our install.
  if (settings.engineFolder.empty()) settings.engineFolder = config.prefix() + "/share/kaldro/ormiatts/";
  if (settings.baseName.empty()) settings.baseName = "portug";
  if (settings.engineFolder.back() != '/') settings.engineFolder += '/';
  for (const std::string& folder : config.systemFolders()) settings.dictionaries.push_back(folder + "/dicionario.txt");
  const std::string inUse = config.lookupFile();
  const std::string besideInUse = inUse.substr(0, inUse.rfind('/') + 1) + "dicionario.txt";
  if (std::find(settings.dictionaries.begin(), settings.dictionaries.end(), besideInUse) == settings.dictionaries.end())
    settings.dictionaries.push_back(besideInUse);
  return settings;
}

}  // namespace kaldro::tts
