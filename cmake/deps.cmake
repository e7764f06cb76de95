# Every dependency is a Debian package; the README's commands install them.
find_package(Threads REQUIRED)
find_package(PkgConfig REQUIRED)
pkg_check_modules(SDL2 REQUIRED IMPORTED_TARGET sdl2)
pkg_check_modules(SDL2_TTF REQUIRED IMPORTED_TARGET SDL2_ttf)
pkg_check_modules(FONTCONFIG REQUIRED IMPORTED_TARGET fontconfig)
# The desktop speech service's client library (Debian: libspeechd-dev).
pkg_check_modules(SPEECHD REQUIRED speech-dispatcher)
add_library(speechd_headers INTERFACE)
target_include_directories(speechd_headers INTERFACE ${SPEECHD_INCLUDE_DIRS})
# SDL2's declarations without its library, for code that binds SDL2 at run time.
add_library(sdl2_headers INTERFACE)
target_include_directories(sdl2_headers INTERFACE ${SDL2_INCLUDE_DIRS})
# A program loads only the shared libraries it calls: start-up relocates every library it loads.
add_link_options(LINKER:--as-needed)
find_path(ESPEAK_NG_INCLUDE_DIR espeak-ng/speak_lib.h)
find_library(ESPEAK_NG_LIBRARY espeak-ng)
if(NOT ESPEAK_NG_INCLUDE_DIR OR NOT ESPEAK_NG_LIBRARY)
  message(FATAL_ERROR "libespeak-ng is missing: install the Debian package libespeak-ng-dev "
                      "(the voice builder makes the built-in voice with it, and the eSpeak NG adapter speaks with it)")
endif()
add_library(espeak_ng INTERFACE)
target_include_directories(espeak_ng INTERFACE ${ESPEAK_NG_INCLUDE_DIR})
target_link_libraries(espeak_ng INTERFACE ${ESPEAK_NG_LIBRARY})
add_library(espeak_ng_headers INTERFACE)
target_include_directories(espeak_ng_headers INTERFACE ${ESPEAK_NG_INCLUDE_DIR})
# Unicode composition and character classes (libutf8proc-dev), and XML (libpugixml-dev, which
# expands no DTD entities): the Unicode character annotations (from unicode-cldr-core) and the parts
# of word-processor templates.
pkg_check_modules(UTF8PROC REQUIRED IMPORTED_TARGET libutf8proc)
find_package(pugixml REQUIRED)
# The zip package of word-processor templates (libzip-dev).
pkg_check_modules(LIBZIP REQUIRED IMPORTED_TARGET libzip)
