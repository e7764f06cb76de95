// kaldro-fala --engine ormia --normal / --pho / --phones.
#include "fala/ormia_text.h"

#include <cstdio>
#include <iostream>

#include "fala/input_texts.h"
#include "engines/ormia_adapter.h"
#include "platform/text.h"
#include "tts/engine_settings.h"
#include "tts/front_end.h"

namespace kaldro::app {

int printOrmiaText(OrmiaTextMode mode, const std::vector<std::string>& items,
                   const platform::Configuration& configuration, tts::Reading reading, int speed) {
  // Without a window, a loader's message box is a line on standard error.
  tts::FrontEnd frontEnd([](const std::string& message) { std::fprintf(stderr, "%s\n", message.c_str()); });
  if (const platform::Status loaded = frontEnd.load(tts::readEngineSettings(configuration).files()); !loaded.ok()) {
    std::fprintf(stderr, "kaldro-fala: %s\n", platform::cp1252ToUtf8(loaded.message()).c_str());
    return 1;
  }
  frontEnd.setReading(reading);
  // The lines the engine sends MBROLA at this speed, as its adapter makes them.
  const double durationFactor = engines::durationFactorForSpeed(speed);
  const double pitchFactor = engines::pitchFactorForPitch(0);
  auto print = [&](const std::string&, const std::string& text) {
    if (mode == OrmiaTextMode::Phones) {
      std::fputs((platform::cp1252ToUtf8(text) + "\t" + platform::cp1252ToUtf8(frontEnd.phones(text)) + "\n").c_str(), stdout);
    } else if (mode == OrmiaTextMode::Normalised) {
      std::fputs((platform::cp1252ToUtf8(frontEnd.normalise(text)) + "\n").c_str(), stdout);
    } else {
      // Piece by piece, as the engine speaks them: a long text is never held as lines whole.
      frontEnd.forEachPiece(text, durationFactor, pitchFactor, [](std::vector<std::string>& lines, bool lastPiece) {
        std::string out;
        for (const std::string& line : lines) out += platform::cp1252ToUtf8(line) + "\n";
        if (lastPiece) out += "#\n";
        std::fputs(out.c_str(), stdout);
        return true;
      });
    }
  };
  InputTexts(configuration).forEach(items, std::cin, print);
  return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
}

}  // namespace kaldro::app
