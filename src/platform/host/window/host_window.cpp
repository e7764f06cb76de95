// The window host: the console painted in an SDL2 window with a fontconfig font, keys from SDL.
#include "platform/host/window/host_window.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_ttf.h>
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <deque>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/ending_signals.h"
#include "platform/host/window/font_lookup.h"
#include "platform/host/host_factories.h"
#include "platform/text.h"
#include "platform/host/timed_events.h"
#include "platform/host/window/window_keys.h"
#include "platform/words.h"

namespace kaldro::platform {

WindowSizeLimits windowSizeLimits(CellSize cell, WorkArea screen) {
  WindowSizeLimits limits;
  limits.smallest = {16 * cell.width, 4 * cell.height};
  limits.largest = {std::min(TextGrid::Columns * cell.width, screen.width),
                    std::min(TextGrid::Rows * cell.height, screen.height)};
  limits.largest.width = std::max(limits.largest.width, limits.smallest.width);
  limits.largest.height = std::max(limits.largest.height, limits.smallest.height);
  return limits;
}

PixelRect magnifierSource(int mouseX, int mouseY, PixelSize window, int factor) {
  if (factor <= 0) factor = 1;
  PixelRect source;
  source.x = std::max(0, mouseX - mouseX / factor);
  source.y = std::max(0, mouseY - mouseY / factor);
  source.width = window.width / factor;
  source.height = window.height / factor;
  return source;
}

Rgb logicalColour(int logical, const std::array<uint8_t, 16>& colourTable) {
  return paletteColour(colourTable[logical & 0x0F]);
}

namespace {

constexpr int kMagnifierButton = SDL_BUTTON_RIGHT;
// The longest wait for an event before the ending signals are looked at again.
constexpr int kLongestWaitMs = 100;

struct WindowDeleter {
  void operator()(SDL_Window* window) const { SDL_DestroyWindow(window); }
};
struct RendererDeleter {
  void operator()(SDL_Renderer* renderer) const { SDL_DestroyRenderer(renderer); }
};
struct TextureDeleter {
  void operator()(SDL_Texture* texture) const { SDL_DestroyTexture(texture); }
};
struct FontDeleter {
  void operator()(TTF_Font* font) const { TTF_CloseFont(font); }
};
struct SurfaceDeleter {
  void operator()(SDL_Surface* surface) const { SDL_FreeSurface(surface); }
};
using TexturePointer = std::unique_ptr<SDL_Texture, TextureDeleter>;

struct Glyph {
  TexturePointer texture;
  int width = 0;
  int height = 0;
  bool made = false;
};

// Opens the face of a fontconfig match; only a fixed-width face will do.
std::unique_ptr<TTF_Font, FontDeleter> openFixedFont(const std::optional<FontFile>& file, int pixelSize) {
  if (!file) return nullptr;
  std::unique_ptr<TTF_Font, FontDeleter> font(TTF_OpenFontIndex(file->path.c_str(), pixelSize, file->index));
  if (!font || !TTF_FontFaceIsFixedWidth(font.get())) return nullptr;
  return font;
}

class HostWindow final : public Host {
 public:
  HostWindow(Trace& trace, uint32_t wakeEventType) : Host(trace), wakeEventType_(wakeEventType) {}

  ~HostWindow() override {
    destroyWindow();
    TTF_Quit();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }

  std::string_view name() const override { return "window"; }

  WorkArea workArea() override {
    SDL_Rect usable{};
    if (SDL_GetDisplayUsableBounds(0, &usable) != 0 || usable.w <= 0 || usable.h <= 0) return {};
    return {usable.w, usable.h};
  }

  void openWindow(const WindowSettings& settings, const TextGrid& grid) override {
    settings_ = settings;
    grid_ = &grid;
    if (!loadFont()) SDL_Log("kaldro: %s", words::NoMonospacedFont.utf8().c_str());
    imageSize_ = {TextGrid::Columns * cell_.width, TextGrid::Rows * cell_.height};

    const WorkArea screen = workArea();
    const WindowSizeLimits limits = windowSizeLimits(cell_, screen);
    const std::string title = cp1252ToUtf8(settings.title);
    Uint32 flags = SDL_WINDOW_RESIZABLE | SDL_WINDOW_HIDDEN;
    window_.reset(SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                                   std::min(imageSize_.width, limits.largest.width),
                                   std::min(imageSize_.height, limits.largest.height), flags));
    if (!window_) {
      SDL_Log("kaldro: SDL_CreateWindow: %s", SDL_GetError());
      return;
    }
    renderer_.reset(SDL_CreateRenderer(window_.get(), -1, SDL_RENDERER_ACCELERATED | SDL_RENDERER_TARGETTEXTURE));
    if (!renderer_) renderer_.reset(SDL_CreateRenderer(window_.get(), -1, SDL_RENDERER_SOFTWARE | SDL_RENDERER_TARGETTEXTURE));
    if (!renderer_) {
      SDL_Log("kaldro: SDL_CreateRenderer: %s", SDL_GetError());
      window_.reset();
      return;
    }
    // After the renderer: making it may recreate the window, which forgets the limits.
    SDL_SetWindowMinimumSize(window_.get(), limits.smallest.width, limits.smallest.height);
    SDL_SetWindowMaximumSize(window_.get(), limits.largest.width, limits.largest.height);
    makeTextures();
    paintCells(0, TextGrid::Rows, 0, TextGrid::Columns);
    if (settings.maximized) SDL_MaximizeWindow(window_.get());
    SDL_ShowWindow(window_.get());
    SDL_StartTextInput();
    present();
  }

  void closeWindow() override { destroyWindow(); }

  void drawRow(int row, int firstColumn, int endColumn) override { paintCells(row, row + 1, firstColumn, endColumn); }

  void scrolled(uint8_t fillAttribute) override {
    if (!renderer_) return;
    if (settings_.copyPixelsOnScroll && focused_ && bottomEdgeClearOfScreen()) {
      moveImageUpOneRow(fillAttribute);
    } else {
      paintCells(0, TextGrid::Rows, 0, TextGrid::Columns);
    }
    present();  // the window is updated at once
  }

  void repaintAll() override { paintCells(0, TextGrid::Rows, 0, TextGrid::Columns); }

  void setCaret(bool visible, int column, int row) override {
    caretVisible_ = visible;
    caretColumn_ = std::clamp(column, 0, TextGrid::Columns - 1);
    caretRow_ = std::clamp(row, 0, TextGrid::Rows - 1);
    present();
  }

  // SDL has no beep. The terminal the program was started from, if any, rings its bell (a
  // terminal emulator plays the desktop's bell sound); without one the beep is silent.
  void systemBeep() override {
    const int tty = ::open("/dev/tty", O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (tty < 0) return;
    [[maybe_unused]] ssize_t n = ::write(tty, "\a", 1);
    ::close(tty);
  }

  std::optional<HostEvent> pollEvent() override {
    gather(0);
    if (events_.empty()) {
      if (needsPresent_) present();
      return std::nullopt;
    }
    HostEvent event = events_.front();
    events_.pop_front();
    return event;
  }

  void waitForEvent() override {
    for (;;) {
      gather(0);
      if (!events_.empty()) return;
      if (needsPresent_) present();
      gather(waitTimeoutMs(timedEvents_.nextDueMs(), monotonicMs()));
      if (!events_.empty()) return;
    }
  }

  void postFromAnyThread(const HostEvent& event) override {
    crossThreadEvents_.post(event);
    SDL_Event wake{};
    wake.type = wakeEventType_;
    SDL_PushEvent(&wake);
  }

  void postAt(int64_t dueMs, const HostEvent& event) override { timedEvents_.post(dueMs, event); }

  void cancelTimedEvents() override { timedEvents_.clear(); }

  int64_t monotonicMs() override { return monotonicClockMs(); }

  void sleepMs(uint32_t milliseconds) override {
    if (needsPresent_) present();  // what was written shows during the pause
    SDL_Delay(milliseconds);
  }

  void setClipboardText(const std::string& text) override {
    clipboard_ = text;
    SDL_SetClipboardText(cp1252ToUtf8(text).c_str());
  }

  std::optional<std::string> clipboardText() override {
    if (!SDL_HasClipboardText()) return std::nullopt;
    char* text = SDL_GetClipboardText();
    if (!text) return std::nullopt;
    std::string converted = utf8ToCp1252(text);
    SDL_free(text);
    return converted;
  }

 private:
  // ---- font and textures

  bool loadFont() {
    int pixelSize = settings_.fontHeight;
    const bool cellHeightAsked = pixelSize > 0;  // Windows: a positive height is the cell's, a negative the letters'
    if (pixelSize < 0) pixelSize = -pixelSize;
    if (pixelSize == 0) pixelSize = 16;
    font_ = nullptr;
    std::optional<FontFile> named = matchMonospacedFont(settings_.fontFace);
    if (named && isFamily(*named, settings_.fontFace)) font_ = openFixedFont(named, pixelSize);
    if (!font_) font_ = openFixedFont(matchMonospacedFont("monospace"), pixelSize);
    if (!font_) return false;
    if (cellHeightAsked) {
      const int height = TTF_FontHeight(font_.get());
      if (height > 0 && height != pixelSize) {
        const int scaled = static_cast<int>(std::lround(static_cast<double>(pixelSize) * pixelSize / height));
        TTF_SetFontSize(font_.get(), std::max(1, scaled));
      }
    }
    int advance = 0;
    if (TTF_GlyphMetrics32(font_.get(), 'x', nullptr, nullptr, nullptr, nullptr, &advance) != 0 || advance <= 0)
      advance = std::max(1, TTF_FontHeight(font_.get()) / 2);
    naturalAdvance_ = advance;
    cell_.width = settings_.fontWidth > 0 ? settings_.fontWidth : advance;
    cell_.height = std::max(1, TTF_FontLineSkip(font_.get()));
    ascent_ = std::min(TTF_FontAscent(font_.get()), cell_.height - 2);
    return true;
  }

  void makeTextures() {
    image_.reset(SDL_CreateTexture(renderer_.get(), SDL_PIXELFORMAT_RGBA8888, SDL_TEXTUREACCESS_TARGET,
                                   imageSize_.width, imageSize_.height));
    spare_.reset();
    snapshot_.reset();
    for (Glyph& glyph : glyphs_) glyph = Glyph{};
  }

  Glyph& glyphOf(uint8_t byte) {
    Glyph& glyph = glyphs_[byte];
    if (glyph.made) return glyph;
    glyph.made = true;
    const char32_t codePoint = cp1252ToCodePoint(byte);
    if (!font_ || codePoint <= 0x20 || (codePoint >= 0x7F && codePoint <= 0xA0)) return glyph;
    std::unique_ptr<SDL_Surface, SurfaceDeleter> surface(
        TTF_RenderGlyph32_Blended(font_.get(), static_cast<Uint32>(codePoint), SDL_Color{255, 255, 255, 255}));
    if (!surface) return glyph;
    glyph.texture.reset(SDL_CreateTextureFromSurface(renderer_.get(), surface.get()));
    if (!glyph.texture) return glyph;
    SDL_SetTextureBlendMode(glyph.texture.get(), SDL_BLENDMODE_BLEND);
    // A width asked for in KALDRO.INI stretches the letters, as Windows did.
    SDL_SetTextureScaleMode(glyph.texture.get(), SDL_ScaleModeLinear);
    glyph.width = surface->w * cell_.width / naturalAdvance_;
    glyph.height = surface->h;
    return glyph;
  }

  void setDrawColour(const Rgb& colour) { SDL_SetRenderDrawColor(renderer_.get(), colour.red, colour.green, colour.blue, 255); }

  // Rows [firstRow, endRow), columns [firstColumn, endColumn): in runs of equal attribute.
  void paintCells(int firstRow, int endRow, int firstColumn, int endColumn) {
    if (!renderer_ || !image_ || !grid_) return;
    SDL_SetRenderTarget(renderer_.get(), image_.get());
    for (int row = firstRow; row < endRow; ++row) {
      int column = firstColumn;
      while (column < endColumn) {
        const uint8_t attribute = grid_->attrAt(column, row);
        int runEnd = column + 1;
        while (runEnd < endColumn && grid_->attrAt(runEnd, row) == attribute) ++runEnd;
        const Rgb background = logicalColour(attribute >> 4, settings_.colourTable);
        const Rgb text = logicalColour(attribute & 0x0F, settings_.colourTable);
        setDrawColour(background);
        SDL_Rect run{column * cell_.width, row * cell_.height, (runEnd - column) * cell_.width, cell_.height};
        SDL_RenderFillRect(renderer_.get(), &run);
        for (int c = column; c < runEnd; ++c) {
          Glyph& glyph = glyphOf(grid_->charAt(c, row));
          if (!glyph.texture) continue;
          SDL_SetTextureColorMod(glyph.texture.get(), text.red, text.green, text.blue);
          SDL_Rect place{c * cell_.width, row * cell_.height, glyph.width, glyph.height};
          SDL_RenderSetClipRect(renderer_.get(), &run);
          SDL_RenderCopy(renderer_.get(), glyph.texture.get(), nullptr, &place);
          SDL_RenderSetClipRect(renderer_.get(), nullptr);
        }
        column = runEnd;
      }
    }
    SDL_SetRenderTarget(renderer_.get(), nullptr);
    needsPresent_ = true;
  }

  bool bottomEdgeClearOfScreen() {
    int x = 0, y = 0, width = 0, height = 0;
    SDL_GetWindowPosition(window_.get(), &x, &y);
    SDL_GetWindowSize(window_.get(), &width, &height);
    SDL_Rect screen{};
    if (SDL_GetDisplayBounds(std::max(0, SDL_GetWindowDisplayIndex(window_.get())), &screen) != 0) return false;
    return y + height < screen.y + screen.h - 32;
  }

  // Scrolling by moving the pixels of rows 2..25 up one cell and filling the last row.
  void moveImageUpOneRow(uint8_t fillAttribute) {
    if (!spare_) {
      spare_.reset(SDL_CreateTexture(renderer_.get(), SDL_PIXELFORMAT_RGBA8888, SDL_TEXTUREACCESS_TARGET,
                                     imageSize_.width, imageSize_.height));
      if (!spare_) {
        paintCells(0, TextGrid::Rows, 0, TextGrid::Columns);
        return;
      }
    }
    SDL_SetRenderTarget(renderer_.get(), spare_.get());
    SDL_Rect from{0, cell_.height, imageSize_.width, imageSize_.height - cell_.height};
    SDL_Rect to{0, 0, imageSize_.width, imageSize_.height - cell_.height};
    SDL_RenderCopy(renderer_.get(), image_.get(), &from, &to);
    setDrawColour(logicalColour(fillAttribute >> 4, settings_.colourTable));
    SDL_Rect last{0, imageSize_.height - cell_.height, imageSize_.width, cell_.height};
    SDL_RenderFillRect(renderer_.get(), &last);
    SDL_SetRenderTarget(renderer_.get(), nullptr);
    std::swap(image_, spare_);
    needsPresent_ = true;
  }

  void present() {
    needsPresent_ = false;
    if (!renderer_ || !image_) return;
    SDL_SetRenderTarget(renderer_.get(), nullptr);
    SDL_SetRenderDrawColor(renderer_.get(), 0, 0, 0, 255);
    SDL_RenderClear(renderer_.get());
    if (magnifying_ && snapshot_) {
      drawMagnified();
    } else {
      SDL_Rect whole{0, 0, imageSize_.width, imageSize_.height};
      SDL_RenderCopy(renderer_.get(), image_.get(), nullptr, &whole);
      if (caretVisible_ && focused_ && grid_) {
        // An underline one cell wide on the base line, in the cell's text colour.
        setDrawColour(logicalColour(grid_->attrAt(caretColumn_, caretRow_) & 0x0F, settings_.colourTable));
        SDL_Rect caret{caretColumn_ * cell_.width, caretRow_ * cell_.height + ascent_, cell_.width, 2};
        SDL_RenderFillRect(renderer_.get(), &caret);
      }
    }
    SDL_RenderPresent(renderer_.get());
  }

  // ---- magnifier

  void startMagnifier(int x, int y) {
    if (magnifying_ || !renderer_) return;
    snapshot_.reset(SDL_CreateTexture(renderer_.get(), SDL_PIXELFORMAT_RGBA8888, SDL_TEXTUREACCESS_TARGET,
                                      imageSize_.width, imageSize_.height));
    if (!snapshot_) return;
    SDL_SetTextureScaleMode(snapshot_.get(), SDL_ScaleModeNearest);
    SDL_SetRenderTarget(renderer_.get(), snapshot_.get());
    SDL_RenderCopy(renderer_.get(), image_.get(), nullptr, nullptr);
    SDL_SetRenderTarget(renderer_.get(), nullptr);
    magnifying_ = true;
    mouseX_ = x;
    mouseY_ = y;
    present();
  }

  void drawMagnified() {
    const int factor = settings_.magnifierFactor > 0 ? settings_.magnifierFactor : 1;
    PixelSize window;
    SDL_GetWindowSize(window_.get(), &window.width, &window.height);
    const PixelRect source = magnifierSource(mouseX_, mouseY_, window, factor);
    // The window's image is the grid's image at its top left, black elsewhere; only that part is drawn.
    SDL_Rect shown{source.x, source.y, std::min(source.width, imageSize_.width - source.x),
                   std::min(source.height, imageSize_.height - source.y)};
    if (shown.w <= 0 || shown.h <= 0) return;
    SDL_Rect place{0, 0, shown.w * factor, shown.h * factor};
    SDL_RenderCopy(renderer_.get(), snapshot_.get(), &shown, &place);
  }

  void stopMagnifier() {
    if (!magnifying_) return;
    magnifying_ = false;
    snapshot_.reset();
    present();
  }

  // ---- events

  void gather(int timeoutMs) {
    if (!endingReported_ && endingSignalPending()) {
      endingReported_ = true;
      push(EventKind::Quit);
    }
    SDL_Event event;
    bool waited = false;
    for (;;) {
      int got;
      if (!waited && timeoutMs != 0) {
        waited = true;
        // A signal need not wake the library's wait: it ends now and then, and the callers wait again.
        const int boundedMs = timeoutMs < 0 ? kLongestWaitMs : std::min(timeoutMs, kLongestWaitMs);
        got = SDL_WaitEventTimeout(&event, boundedMs);
      } else {
        got = SDL_PollEvent(&event);
      }
      if (!got) break;
      handle(event);
    }
    timedEvents_.moveDue(monotonicMs(), events_);
  }

  void push(EventKind kind) {
    HostEvent event;
    event.kind = kind;
    events_.push_back(event);
  }

  void handle(const SDL_Event& event) {
    std::vector<HostEvent> keys;
    if (event.type == wakeEventType_) {
      crossThreadEvents_.moveAll(events_);
      return;
    }
    switch (event.type) {
      case SDL_KEYDOWN: translator_.keyDown(event.key.keysym, event.key.repeat != 0, keys); break;
      case SDL_KEYUP: translator_.keyUp(event.key.keysym, keys); break;
      case SDL_TEXTINPUT: translator_.textInput(event.text.text, static_cast<uint16_t>(SDL_GetModState()), keys); break;
      case SDL_QUIT: push(EventKind::Quit); break;
      case SDL_MOUSEBUTTONDOWN:
        if (event.button.button == kMagnifierButton) startMagnifier(event.button.x, event.button.y);
        break;
      case SDL_MOUSEMOTION:
        if (magnifying_) {
          mouseX_ = event.motion.x;
          mouseY_ = event.motion.y;
          present();
        }
        break;
      case SDL_MOUSEBUTTONUP:
        if (event.button.button == kMagnifierButton) stopMagnifier();
        break;
      case SDL_RENDER_TARGETS_RESET:
      case SDL_RENDER_DEVICE_RESET:
        makeTextures();
        paintCells(0, TextGrid::Rows, 0, TextGrid::Columns);
        break;
      case SDL_WINDOWEVENT:
        switch (event.window.event) {
          case SDL_WINDOWEVENT_CLOSE: push(EventKind::CloseRequest); break;
          case SDL_WINDOWEVENT_FOCUS_GAINED: focused_ = true; needsPresent_ = true; break;
          case SDL_WINDOWEVENT_FOCUS_LOST:
            focused_ = false;
            stopMagnifier();
            needsPresent_ = true;
            break;
          default: needsPresent_ = true; break;  // exposed, resized, restored: paint again
        }
        break;
      default: break;
    }
    for (const HostEvent& key : keys) events_.push_back(key);
  }

  void destroyWindow() {
    if (window_) SDL_StopTextInput();
    glyphs_ = {};
    image_.reset();
    spare_.reset();
    snapshot_.reset();
    renderer_.reset();
    window_.reset();
    font_.reset();
    magnifying_ = false;
    grid_ = nullptr;
  }

  uint32_t wakeEventType_;
  WindowSettings settings_;
  const TextGrid* grid_ = nullptr;

  std::unique_ptr<SDL_Window, WindowDeleter> window_;
  std::unique_ptr<SDL_Renderer, RendererDeleter> renderer_;
  std::unique_ptr<TTF_Font, FontDeleter> font_;
  TexturePointer image_;     // the whole grid as painted
  TexturePointer spare_;     // the second image that pixel scrolling draws into
  TexturePointer snapshot_;  // the image as it was when the magnifier started
  std::array<Glyph, 256> glyphs_{};
  CellSize cell_;
  int ascent_ = 12;
  int naturalAdvance_ = 8;
  PixelSize imageSize_;
  bool needsPresent_ = false;

  bool focused_ = true;
  bool endingReported_ = false;  // SIGTERM, SIGINT or SIGHUP met once as the quit message
  bool caretVisible_ = false;
  int caretColumn_ = 0;
  int caretRow_ = 0;
  bool magnifying_ = false;
  int mouseX_ = 0;
  int mouseY_ = 0;

  WindowKeyTranslator translator_;
  std::deque<HostEvent> events_;
  TimedEvents timedEvents_;
  CrossThreadEvents crossThreadEvents_;
};

}  // namespace

Made<Host> makeWindowHost(Trace& trace, const RunOptions& options) {
  // Without a display SDL would quietly pick its offscreen driver, which nobody can see.
  if (!options.displayReachable) return notMade<Host>(StatusCode::NotFound, words::NoGraphicalScreen.str());
  // The window class users' tools know the console by (X11 WM_CLASS, Wayland app id).
  ::setenv("SDL_VIDEO_X11_WMCLASS", "KdWinCrt", 0);
  ::setenv("SDL_VIDEO_WAYLAND_WMCLASS", "KdWinCrt", 0);
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");  // closing the window is a close request, not a quit
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
    return notMade<Host>(StatusCode::Refused, utf8ToCp1252(std::string("SDL: ") + SDL_GetError()));
  const char* driver = SDL_GetCurrentVideoDriver();
  const std::string_view driverName = driver ? driver : "";
  if (driverName != "x11" && driverName != "wayland") {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return notMade<Host>(StatusCode::NotFound, driverName.empty() ? words::SdlFoundNoDriver.str()
                                                                   : words::SdlFoundNoScreen.with({driverName}));
  }
  if (!matchMonospacedFont("monospace")) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return notMade<Host>(StatusCode::NotFound, words::NoFontFound.str());
  }
  if (TTF_Init() != 0) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return notMade<Host>(StatusCode::Refused, utf8ToCp1252(std::string("SDL_ttf: ") + TTF_GetError()));
  }
  const Uint32 wakeEventType = SDL_RegisterEvents(1);
  if (wakeEventType == static_cast<Uint32>(-1)) {
    TTF_Quit();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return notMade<Host>(StatusCode::Refused, words::SdlLacksUserEvents.str());
  }
  return {std::make_unique<HostWindow>(trace, wakeEventType), {}};
}

}  // namespace kaldro::platform
