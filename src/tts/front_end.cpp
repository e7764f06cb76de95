// Placeholder stages until the normaliser, transcriber and prosody land: utterances are silence.
#include "tts/front_end.h"

namespace kaldro::tts {

struct FrontEnd::Stages {};

FrontEnd::FrontEnd(std::function<void(const std::string&)> showMessage)
    : showMessage_(std::move(showMessage)), stages_(new Stages) {}
FrontEnd::~FrontEnd() { delete stages_; }

LoadResult FrontEnd::load(const DataFiles&, std::string*) { return LoadResult::Loaded; }
void FrontEnd::discard() {}
std::string FrontEnd::normalise(std::string_view text) const { return std::string(text); }
std::vector<std::string> FrontEnd::mbrolaLines(std::string_view, double, double) const {
  return {"_ 100", "#"};
}
std::string FrontEnd::phones(std::string_view) const { return {}; }

}  // namespace kaldro::tts
