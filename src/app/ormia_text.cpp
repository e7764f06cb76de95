// kaldro-fala --engine ormia --normal / --pho / --phones.
#include "app/ormia_text.h"

#include <cstdio>
#include <iostream>

#include "platform/text.h"
#include "tts/front_end.h"

namespace kaldro::app {

int printOrmiaText(OrmiaTextMode mode, const std::vector<std::string>& items,
                   const platform::Configuration& configuration, tts::Reading reading) {
  // Without a window, a loader's message box is a line on standard error.
  tts::FrontEnd frontEnd([](const std::string& message) { std::fprintf(stderr, "%s\n", message.c_str()); });
  std::string readError;
  const tts::LoadResult loaded = frontEnd.load(tts::dataFilesFromConfig(configuration), &readError);
  if (loaded != tts::LoadResult::Loaded) {
    std::fprintf(stderr, "kaldro-fala: %s\n", tts::loadFailureText(loaded, readError).c_str());
    return 1;
  }
  frontEnd.setReading(reading);
  auto print = [&](const std::string& text) {
    std::string out;
    if (mode == OrmiaTextMode::Phones) {
      out = platform::cp1252ToUtf8(text) + "\t" + platform::cp1252ToUtf8(frontEnd.phones(text)) + "\n";
    } else if (mode == OrmiaTextMode::Normalised) {
      out = platform::cp1252ToUtf8(frontEnd.normalise(text)) + "\n";
    } else {
      for (const std::string& line : frontEnd.mbrolaLines(text, 1.0, 1.0)) out += platform::cp1252ToUtf8(line) + "\n";
      out += "#\n";
    }
    std::fputs(out.c_str(), stdout);
  };
  if (!items.empty()) {
    for (const std::string& item : items) print(platform::utf8ToCp1252(item));
  } else {
    for (std::string line; std::getline(std::cin, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      print(platform::textFileToCp1252(line));
    }
  }
  return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
}

}  // namespace kaldro::app
