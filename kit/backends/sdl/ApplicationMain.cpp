#include "kit/ApplicationMain.h"

#include <SDL.h>
#include <sys/time.h>

#include <cmath>
#include <cstring>
#include <ctime>
#include <map>
#include <optional>
#include <string>

#include "kit/Animation.h"
#include "kit/Application.h"
#include "kit/Clock.h"
#include "kit/Log.h"
#include "kit/Renderer.h"
#include "kit/Screen.h"
#include "kit/TextField.h"
#include "kit/backends/sdl/Letterbox.h"

namespace kit {

namespace {

using sdl::Letterbox;

std::string programNameFrom(int argc, char** argv) {
  if (argc < 1 || !argv[0] || !*argv[0]) return "kit";
  const char* slash = std::strrchr(argv[0], '/');
  return slash ? slash + 1 : argv[0];
}

std::optional<InterfaceOrientation> interfaceOrientation(int sdlOrientation) {
  switch (sdlOrientation) {
    case SDL_ORIENTATION_PORTRAIT:
      return InterfaceOrientation::Portrait;
    case SDL_ORIENTATION_PORTRAIT_FLIPPED:
      return InterfaceOrientation::PortraitUpsideDown;
    case SDL_ORIENTATION_LANDSCAPE:
      return InterfaceOrientation::LandscapeRight;
    case SDL_ORIENTATION_LANDSCAPE_FLIPPED:
      return InterfaceOrientation::LandscapeLeft;
    default:
      return std::nullopt;
  }
}

// The window, its frame texture, and the translation of SDL events into application input.
class SdlHost {
 public:
  SdlHost(Application& app, SDL_Window* window, SDL_Renderer* renderer)
      : app_(app), window_(window), sdlRenderer_(renderer) {}
  ~SdlHost() {
    if (texture_) SDL_DestroyTexture(texture_);
  }

  // The pixel density and drawable size may change with the window (moved to another display).
  void updateGeometry() {
    int pixelWidth = 0, pixelHeight = 0, pointWidth = 0, pointHeight = 0;
    SDL_GetRendererOutputSize(sdlRenderer_, &pixelWidth, &pixelHeight);
    SDL_GetWindowSize(window_, &pointWidth, &pointHeight);
    pixelWidth_ = std::max(pixelWidth, 1);
    pixelHeight_ = std::max(pixelHeight, 1);
    pointWidth_ = std::max(pointWidth, 1);
    pointHeight_ = std::max(pointHeight, 1);
    double density = std::max(1.0, std::round(4.0 * pixelWidth_ / pointWidth_) / 4.0);
    if (!kitRenderer_ || kitRenderer_->scale() != density) {
      setCurrentRenderScale(density);
      kitRenderer_ = std::make_unique<Renderer>(density);
      if (texture_) SDL_DestroyTexture(texture_);
      texture_ = nullptr;
      app_.setNeedsDisplay();
    }
    frameDirty_ = true;
  }

  Letterbox letterbox() const {
    return Letterbox::fit(pixelWidth_, pixelHeight_,
                          app_.screenOrientation() == InterfaceOrientation::PortraitUpsideDown);
  }

  // Window points (mouse events) to screen points.
  Point fromWindowPoint(double x, double y) const {
    return letterbox().screenPoint(x * pixelWidth_ / pointWidth_, y * pixelHeight_ / pointHeight_);
  }

  void handle(const SDL_Event& event) {
    switch (event.type) {
      case SDL_QUIT:
        quit_ = true;
        break;
      case SDL_WINDOWEVENT:
        if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED ||
            event.window.event == SDL_WINDOWEVENT_RESIZED ||
            event.window.event == SDL_WINDOWEVENT_DISPLAY_CHANGED) {
          updateGeometry();
        } else if (event.window.event == SDL_WINDOWEVENT_EXPOSED ||
                   event.window.event == SDL_WINDOWEVENT_RESTORED) {
          frameDirty_ = true;
        } else if (event.window.event == SDL_WINDOWEVENT_CLOSE) {
          quit_ = true;
        }
        break;
      case SDL_MOUSEBUTTONDOWN:
        // Touch screens also send mouse events for their fingers; those arrive as fingers.
        if (event.button.which == SDL_TOUCH_MOUSEID || event.button.button != SDL_BUTTON_LEFT)
          break;
        mouseDown_ = true;
        app_.touchDown(fromWindowPoint(event.button.x, event.button.y), 0);
        break;
      case SDL_MOUSEMOTION:
        if (event.motion.which == SDL_TOUCH_MOUSEID || !mouseDown_) break;
        app_.touchMoved(fromWindowPoint(event.motion.x, event.motion.y), 0);
        break;
      case SDL_MOUSEBUTTONUP:
        if (event.button.which == SDL_TOUCH_MOUSEID || event.button.button != SDL_BUTTON_LEFT ||
            !mouseDown_) {
          break;
        }
        mouseDown_ = false;
        app_.touchUp(fromWindowPoint(event.button.x, event.button.y), 0);
        break;
      case SDL_FINGERDOWN:
      case SDL_FINGERMOTION:
      case SDL_FINGERUP:
        handleFinger(event.tfinger);
        break;
      case SDL_TEXTINPUT:
        app_.textInput(event.text.text);
        break;
      case SDL_TEXTEDITING:
        // Composition in progress is shown by the input method's own window; the composed text
        // arrives as text input.
        break;
      case SDL_KEYDOWN:
        handleKey(event.key.keysym);
        break;
      case SDL_DISPLAYEVENT:
        if (event.display.event == SDL_DISPLAYEVENT_ORIENTATION) {
          if (auto orientation = interfaceOrientation(static_cast<int>(event.display.data1))) {
            app_.orientationChanged(*orientation);
            frameDirty_ = true;
          }
        }
        break;
      case SDL_APP_LOWMEMORY:
        app_.memoryWarning();
        break;
      case SDL_RENDER_TARGETS_RESET:
      case SDL_RENDER_DEVICE_RESET:
        if (texture_) SDL_DestroyTexture(texture_);
        texture_ = nullptr;
        app_.setNeedsDisplay();
        break;
      default:
        break;
    }
  }

  // The keyboard's text input (and the input method) is on only while a field holds the keyboard;
  // the input method's composition window is placed at that field.
  void updateTextInput() {
    TextField* field = app_.firstResponder();
    if ((field != nullptr) != textInputOn_) {
      if (field) {
        SDL_StartTextInput();
      } else {
        SDL_StopTextInput();
      }
      textInputOn_ = field != nullptr;
    }
    if (field && field != placedField_) placeInputMethod(*field);
    placedField_ = field;
  }
  void stopTextInput() {
    SDL_StopTextInput();
    textInputOn_ = false;
  }

  // Draws the screen into the frame texture when it changed, and shows it letterboxed.
  void display(bool render) {
    if (render) {
      kitRenderer_->renderScreen(app_.screen());
      app_.didDisplay();
      if (!texture_) {
        texture_ =
            SDL_CreateTexture(sdlRenderer_, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING,
                              kitRenderer_->pixelWidth(), kitRenderer_->pixelHeight());
        if (!texture_) {
          log("cannot create the frame texture: %s", SDL_GetError());
          return;
        }
        SDL_SetTextureBlendMode(texture_, SDL_BLENDMODE_NONE);
      }
      SDL_UpdateTexture(texture_, nullptr, kitRenderer_->pixels(), kitRenderer_->stride());
      frameDirty_ = true;
    }
    if (!frameDirty_ || !texture_) return;
    Letterbox box = letterbox();
    SDL_SetRenderDrawColor(sdlRenderer_, 0, 0, 0, 255);
    SDL_RenderClear(sdlRenderer_);
    SDL_Rect target{static_cast<int>(std::lround(box.x)), static_cast<int>(std::lround(box.y)),
                    static_cast<int>(std::lround(box.width())),
                    static_cast<int>(std::lround(box.height()))};
    SDL_RenderCopyEx(sdlRenderer_, texture_, nullptr, &target, box.upsideDown ? 180.0 : 0.0,
                     nullptr, SDL_FLIP_NONE);
    SDL_RenderPresent(sdlRenderer_);
    frameDirty_ = false;
  }

  bool quit() const { return quit_; }

 private:
  void placeInputMethod(const TextField& field) {
    Rect frame = field.bounds();
    Point a = letterbox().pixel(field.convertToAncestor(frame.origin, nullptr));
    Point b = letterbox().pixel(field.convertToAncestor({frame.maxX(), frame.maxY()}, nullptr));
    double toPoints = static_cast<double>(pointWidth_) / pixelWidth_;
    SDL_Rect rect{static_cast<int>(std::min(a.x, b.x) * toPoints),
                  static_cast<int>(std::min(a.y, b.y) * toPoints),
                  static_cast<int>(std::abs(b.x - a.x) * toPoints),
                  static_cast<int>(std::abs(b.y - a.y) * toPoints)};
    SDL_SetTextInputRect(&rect);
  }

  void handleFinger(const SDL_TouchFingerEvent& finger) {
    Point p = letterbox().screenPoint(finger.x * pixelWidth_, finger.y * pixelHeight_);
    if (finger.type == SDL_FINGERDOWN) {
      // Fingers get small numbers from 1 up; 0 is the mouse.
      int number = 1;
      while (true) {
        bool taken = false;
        for (auto& [id, n] : fingers_) taken = taken || n == number;
        if (!taken) break;
        ++number;
      }
      fingers_[finger.fingerId] = number;
      app_.touchDown(p, number);
      return;
    }
    auto it = fingers_.find(finger.fingerId);
    if (it == fingers_.end()) return;
    if (finger.type == SDL_FINGERMOTION) {
      app_.touchMoved(p, it->second);
    } else {
      int number = it->second;
      fingers_.erase(it);
      app_.touchUp(p, number);
    }
  }

  void handleKey(const SDL_Keysym& key) {
    bool control = (key.mod & KMOD_CTRL) != 0;
    switch (key.sym) {
      case SDLK_BACKSPACE:
        app_.keyDown(Application::Key::Backspace);
        break;
      case SDLK_RETURN:
      case SDLK_KP_ENTER:
        app_.keyDown(Application::Key::Return);
        break;
      case SDLK_TAB:
        app_.keyDown(Application::Key::Tab);
        break;
      case SDLK_ESCAPE:
        app_.keyDown(Application::Key::Escape);
        break;
      case SDLK_v:
        if (control) pasteClipboard();
        break;
      case SDLK_INSERT:
        if (key.mod & KMOD_SHIFT) pasteClipboard();
        break;
      default:
        break;
    }
  }

  void pasteClipboard() {
    if (!SDL_HasClipboardText()) return;
    char* text = SDL_GetClipboardText();
    if (!text) return;
    std::string pasted = text;
    SDL_free(text);
    if (!pasted.empty()) app_.paste(pasted);
  }

  Application& app_;
  SDL_Window* window_;
  SDL_Renderer* sdlRenderer_;
  SDL_Texture* texture_ = nullptr;
  std::unique_ptr<Renderer> kitRenderer_;
  int pixelWidth_ = 1, pixelHeight_ = 1, pointWidth_ = 1, pointHeight_ = 1;
  bool frameDirty_ = true;
  bool quit_ = false;
  bool mouseDown_ = false;
  bool textInputOn_ = true;
  const TextField* placedField_ = nullptr;
  std::map<SDL_FingerID, int> fingers_;
};

// Seconds until the wall clock's minute turns, when the status bar's clock must show the new time.
double secondsToNextMinute() {
  timeval now{};
  gettimeofday(&now, nullptr);
  tm local{};
  localtime_r(&now.tv_sec, &local);
  return 60 - local.tm_sec - now.tv_usec / 1e6 + 0.01;
}

int runLoop(Application& app, SdlHost& host) {
  bool wasAnimating = false;
  double minuteTurns = app.clock().now() + secondsToNextMinute();
  SDL_Event event;
  while (!host.quit()) {
    while (SDL_PollEvent(&event)) {
      host.handle(event);
      if (host.quit()) return 0;
    }
    app.runOnce();
    host.updateTextInput();

    // One more frame after the last animation ends, so its final values show.
    bool animating = app.animator().isAnimating();
    bool render = app.needsDisplay() || animating || wasAnimating;
    wasAnimating = animating;
    if (app.clock().now() >= minuteTurns) {
      render = true;
      minuteTurns = app.clock().now() + secondsToNextMinute();
    }
    host.display(render);

    // Sleep until the next event or the next time something changes by itself (at the latest when
    // the status bar's clock turns), so an idle program uses no CPU.
    double wake = std::min(app.nextWakeTime(), minuteTurns);
    double seconds = wake - app.clock().now();
    if (seconds <= 0) continue;
    int milliseconds = static_cast<int>(std::ceil(std::min(seconds, 3600.0) * 1000));
    SDL_WaitEventTimeout(nullptr, milliseconds);
  }
  return 0;
}

}  // namespace

int applicationMain(int argc, char** argv,
                    const std::function<std::unique_ptr<ApplicationDelegate>()>& makeDelegate) {
  std::string title = programNameFrom(argc, argv);
  // Fingers arrive as finger events only; the mouse stays the mouse.
  SDL_SetHint(SDL_HINT_TOUCH_MOUSE_EVENTS, "0");
  SDL_SetHint(SDL_HINT_MOUSE_TOUCH_EVENTS, "0");
  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
  if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
    log("cannot start SDL: %s", SDL_GetError());
    return 1;
  }

  const char* driver = SDL_GetCurrentVideoDriver();
  SDL_Rect display{0, 0, 768, 1024};
  SDL_Rect usable{0, 0, 768, 1024};
  SDL_GetDisplayBounds(0, &display);
  if (SDL_GetDisplayUsableBounds(0, &usable) != 0) usable = display;
  bool fullScreen = sdl::wantsFullScreen(driver ? driver : "", display.w, display.h);
  Size size = sdl::initialWindowSize(usable.w, usable.h);

  Uint32 flags = SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI;
  if (fullScreen) flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
  SDL_Window* window =
      SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                       static_cast<int>(size.width), static_cast<int>(size.height), flags);
  if (!window) {
    log("cannot open a window: %s", SDL_GetError());
    SDL_Quit();
    return 1;
  }
  SDL_Renderer* sdlRenderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_PRESENTVSYNC);
  if (!sdlRenderer) sdlRenderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
  if (!sdlRenderer) {
    log("cannot draw into the window: %s", SDL_GetError());
    SDL_DestroyWindow(window);
    SDL_Quit();
    return 1;
  }

  int status = 0;
  {
    SteadyClock clock;
    Application app(clock);
    SdlHost host(app, window, sdlRenderer);
    host.updateGeometry();  // sets the render scale before launch, so pictures pick theirs
    host.stopTextInput();
    if (app.launch(makeDelegate())) {
      status = runLoop(app, host);
    } else {
      log("the application declined to launch");
      status = 1;
    }
  }
  SDL_DestroyRenderer(sdlRenderer);
  SDL_DestroyWindow(window);
  SDL_Quit();
  return status;
}

}  // namespace kit
