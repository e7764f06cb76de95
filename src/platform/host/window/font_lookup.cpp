// fontconfig queries for the window's font.
#include "platform/host/window/font_lookup.h"

#include <fontconfig/fontconfig.h>

#include <memory>

#include "platform/text.h"

namespace kaldro::platform {

namespace {
struct ConfigDeleter {
  void operator()(FcConfig* config) const { FcConfigDestroy(config); }
};
struct PatternDeleter {
  void operator()(FcPattern* pattern) const { FcPatternDestroy(pattern); }
};
}  // namespace

std::optional<FontFile> matchMonospacedFont(const std::string& family) {
  std::unique_ptr<FcConfig, ConfigDeleter> config(FcInitLoadConfigAndFonts());
  if (!config) return std::nullopt;
  std::unique_ptr<FcPattern, PatternDeleter> pattern(FcPatternCreate());
  if (!pattern) return std::nullopt;
  FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  FcPatternAddInteger(pattern.get(), FC_SPACING, FC_MONO);
  FcPatternAddBool(pattern.get(), FC_SCALABLE, FcTrue);
  FcConfigSubstitute(config.get(), pattern.get(), FcMatchPattern);
  FcDefaultSubstitute(pattern.get());
  FcResult result = FcResultNoMatch;
  std::unique_ptr<FcPattern, PatternDeleter> match(FcFontMatch(config.get(), pattern.get(), &result));
  if (!match || result != FcResultMatch) return std::nullopt;

  FontFile font;
  FcChar8* path = nullptr;
  if (FcPatternGetString(match.get(), FC_FILE, 0, &path) != FcResultMatch || !path) return std::nullopt;
  font.path = reinterpret_cast<const char*>(path);
  int index = 0;
  if (FcPatternGetInteger(match.get(), FC_INDEX, 0, &index) == FcResultMatch) font.index = index;
  FcChar8* name = nullptr;
  for (int n = 0; FcPatternGetString(match.get(), FC_FAMILY, n, &name) == FcResultMatch; ++n)
    font.families.emplace_back(reinterpret_cast<const char*>(name));
  return font;
}

bool isFamily(const FontFile& font, const std::string& family) {
  const std::string wanted = upperAscii(family);
  for (const std::string& name : font.families)
    if (upperAscii(name) == wanted) return true;
  return false;
}

}  // namespace kaldro::platform
