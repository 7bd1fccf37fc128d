#include "kit/app/ApplicationMain.h"

#include <SDL.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <ctime>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "kit/app/Application.h"
#include "kit/app/MainContextWait.h"
#include "kit/backends/Letterbox.h"
#include "kit/backends/StatusBarUpdates.h"
#include "kit/backends/sdl/WindowSetup.h"
#include "kit/base/Clock.h"
#include "kit/base/Log.h"
#include "kit/text/TextField.h"
#include "kit/ui/Animation.h"
#include "kit/ui/Renderer.h"
#include "kit/ui/Screen.h"

namespace kit {

namespace {

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

// Copies a block of premultiplied ARGB32 pixels to (x, y) of a surface of the window's format,
// turned half round when `upsideDown`: rows bottom first, each row reversed.
void copyRows(const uint8_t* from, int fromStride, SDL_Surface* to, int x, int y, int width,
              int height, bool upsideDown, std::vector<uint32_t>& scratch) {
  Uint32 format = to->format->format;
  bool direct = format == SDL_PIXELFORMAT_ARGB8888 || format == SDL_PIXELFORMAT_RGB888;
  auto* target = static_cast<uint8_t*>(to->pixels) + static_cast<size_t>(y) * to->pitch +
                 static_cast<size_t>(x) * to->format->BytesPerPixel;
  scratch.resize(static_cast<size_t>(width));
  for (int row = 0; row < height; ++row) {
    const uint8_t* source =
        from + static_cast<size_t>(upsideDown ? height - 1 - row : row) * fromStride;
    if (upsideDown) {
      const auto* pixels = reinterpret_cast<const uint32_t*>(source);
      std::reverse_copy(pixels, pixels + width, scratch.begin());
      source = reinterpret_cast<const uint8_t*>(scratch.data());
    }
    uint8_t* line = target + static_cast<size_t>(row) * to->pitch;
    if (direct) {
      std::memcpy(line, source, static_cast<size_t>(width) * 4);
    } else {
      SDL_ConvertPixels(width, 1, SDL_PIXELFORMAT_ARGB8888, source, width * 4, format, line,
                        to->pitch);
    }
  }
}

// The window, the kit's frame drawn straight into its surface, and the translation of SDL events
// into application input. The frame is drawn at the letterbox's scale, so showing it is a copy:
// no GPU, no GL driver in memory.
class SdlHost {
 public:
  SdlHost(Application& app, SDL_Window* window, bool kiosk)
      : app_(app), window_(window), kiosk_(kiosk) {}

  // The drawable size may change with the window (resized, moved to another display).
  void updateGeometry() {
    int pixelWidth = 0, pixelHeight = 0, pointWidth = 0, pointHeight = 0;
    SDL_GetWindowSizeInPixels(window_, &pixelWidth, &pixelHeight);
    SDL_GetWindowSize(window_, &pointWidth, &pointHeight);
    pixelWidth_ = std::max(pixelWidth, 1);
    pixelHeight_ = std::max(pixelHeight, 1);
    pointWidth_ = std::max(pointWidth, 1);
    pointHeight_ = std::max(pointHeight, 1);
    double scale = letterbox().scale;
    if (!kitRenderer_ || kitRenderer_->scale() != scale) {
      setCurrentRenderScale(scale);
      kitRenderer_ = std::make_unique<Renderer>(scale);
      app_.setNeedsDisplay();
    }
    surface_ = nullptr;  // the window's surface is made again at its new size
    wholeWindow_ = true;
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
          wholeWindow_ = true;
        } else if (event.window.event == SDL_WINDOWEVENT_CLOSE) {
          quit_ = !kiosk_;
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
        if (event.motion.which == SDL_TOUCH_MOUSEID) break;
        if (kiosk_) SDL_ShowCursor(SDL_ENABLE);
        if (!mouseDown_) break;
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
        // In a kiosk the pointer shows only while a mouse is in use.
        if (kiosk_) SDL_ShowCursor(SDL_DISABLE);
        handleFinger(event.tfinger);
        break;
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
            wholeWindow_ = true;
          }
        }
        break;
      case SDL_APP_LOWMEMORY:
        app_.memoryWarning();
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

  // Draws what changed on the screen, and hands only those pixels to the window (all of it, bars
  // included, when the window lost its contents).
  void display(bool render) {
    std::vector<Rect> drawn;
    if (render) {
      Application::Damage damage = app_.takeDamage();
      if (!damage.isEmpty()) {
        drawn =
            kitRenderer_->renderScreen(app_.screen(), damage.wholeScreen ? nullptr : &damage.rects);
      }
    }
    if (wholeWindow_) {
      drawn = {{{0, 0}, {double(kitRenderer_->pixelWidth()), double(kitRenderer_->pixelHeight())}}};
    }
    if (drawn.empty()) return;
    if (!surface_) surface_ = SDL_GetWindowSurface(window_);
    if (!surface_) {
      log("cannot draw into the window: %s", SDL_GetError());
      quit_ = true;
      return;
    }
    Letterbox box = letterbox();
    int left = static_cast<int>(std::lround(box.x)), top = static_cast<int>(std::lround(box.y));
    int frameWidth = kitRenderer_->pixelWidth(), frameHeight = kitRenderer_->pixelHeight();
    std::vector<SDL_Rect> shown;
    SDL_LockSurface(surface_);
    if (wholeWindow_) SDL_FillRect(surface_, nullptr, SDL_MapRGB(surface_->format, 0, 0, 0));
    for (const Rect& r : drawn) {
      int x = static_cast<int>(r.minX()), y = static_cast<int>(r.minY());
      int width = static_cast<int>(r.size.width), height = static_cast<int>(r.size.height);
      // Upside down, the frame's pixel (x, y) lands at (frameWidth - 1 - x, frameHeight - 1 - y).
      int targetX = left + (box.upsideDown ? frameWidth - x - width : x);
      int targetY = top + (box.upsideDown ? frameHeight - y - height : y);
      // Within the window.
      int cutLeft = std::max(0, -targetX), cutTop = std::max(0, -targetY);
      int cutRight = std::max(0, targetX + width - surface_->w);
      int cutBottom = std::max(0, targetY + height - surface_->h);
      width -= cutLeft + cutRight;
      height -= cutTop + cutBottom;
      if (width <= 0 || height <= 0) continue;
      targetX += cutLeft;
      targetY += cutTop;
      // The source block: what lands in the kept part of the target.
      int sourceX = box.upsideDown ? x + cutRight : x + cutLeft;
      int sourceY = box.upsideDown ? y + cutBottom : y + cutTop;
      const uint8_t* from = kitRenderer_->pixels() +
                            static_cast<size_t>(sourceY) * kitRenderer_->stride() +
                            static_cast<size_t>(sourceX) * 4;
      copyRows(from, kitRenderer_->stride(), surface_, targetX, targetY, width, height,
               box.upsideDown, scratch_);
      shown.push_back({targetX, targetY, width, height});
    }
    SDL_UnlockSurface(surface_);
    if (wholeWindow_) shown = {{0, 0, surface_->w, surface_->h}};
    if (!shown.empty() &&
        SDL_UpdateWindowSurfaceRects(window_, shown.data(), static_cast<int>(shown.size())) != 0) {
      surface_ = nullptr;
    }
    wholeWindow_ = false;
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
  bool kiosk_;
  SDL_Surface* surface_ = nullptr;  // the window's, valid until the window's size changes
  std::unique_ptr<Renderer> kitRenderer_;
  std::vector<uint32_t> scratch_;
  int pixelWidth_ = 1, pixelHeight_ = 1, pointWidth_ = 1, pointHeight_ = 1;
  bool wholeWindow_ = true;  // the bars too, after the window changed or was uncovered
  bool quit_ = false;
  bool mouseDown_ = false;
  bool textInputOn_ = true;
  const TextField* placedField_ = nullptr;
  std::map<SDL_FingerID, int> fingers_;
};

// Frames are due one interval after the previous frame was due, not after its work ended, so that
// a moving animation keeps the display's pace whatever each frame costs. A loop that falls more
// than a frame behind starts counting again from now rather than rushing to catch up.
class FramePacer {
 public:
  bool isDue(double now) const { return now >= next_ - kSlack; }
  double next() const { return next_; }
  void framed(double now) {
    next_ = now - next_ < kFrameInterval ? next_ + kFrameInterval : now + kFrameInterval;
  }

 private:
  // Waking up to a millisecond early still counts as on time.
  static constexpr double kSlack = 0.001;
  double next_ = 0;
};

// SDL waits for its own events only: while it does, a thread polls GLib's descriptors and wakes
// it with an event of its own when one of them is ready.
class GLibWaker {
 public:
  GLibWaker() : wakeType_(SDL_RegisterEvents(1)) {
    if (wakeType_ != Uint32(-1) && pipe2(stop_, O_CLOEXEC | O_NONBLOCK) == 0) {
      thread_ = std::thread(&GLibWaker::watch, this);
    }
  }
  ~GLibWaker() {
    if (!thread_.joinable()) return;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      quit_ = true;
    }
    changed_.notify_one();
    thread_.join();
    close(stop_[0]);
    close(stop_[1]);
  }

  // Sleeps until SDL has an event, one of GLib's sources is ready or `milliseconds` pass; then
  // dispatches GLib's ready sources.
  void wait(int milliseconds) {
    MainContextWait glib;
    std::vector<pollfd> fds;
    int glibTimeout = glib.prepare(fds);
    if (glibTimeout >= 0) milliseconds = std::min(milliseconds, glibTimeout);
    if (!thread_.joinable()) {
      SDL_WaitEventTimeout(nullptr, milliseconds);
      poll(fds.data(), fds.size(), 0);
      glib.dispatch(fds);
      return;
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      fds_ = fds;
      watching_ = true;
    }
    changed_.notify_one();
    SDL_WaitEventTimeout(nullptr, milliseconds);
    char byte = 0;
    (void)!write(stop_[1], &byte, 1);
    {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [this] { return !watching_; });
      fds = fds_;
    }
    while (read(stop_[0], &byte, 1) > 0) {
    }
    glib.dispatch(fds);
  }

 private:
  void watch() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (true) {
      changed_.wait(lock, [this] { return watching_ || quit_; });
      if (quit_) return;
      std::vector<pollfd> fds = fds_;
      lock.unlock();
      fds.push_back({stop_[0], POLLIN, 0});
      while (poll(fds.data(), fds.size(), -1) < 0 && errno == EINTR) {
      }
      if (!(fds.back().revents & POLLIN)) {
        SDL_Event wake{};
        wake.type = wakeType_;
        SDL_PushEvent(&wake);
      }
      fds.pop_back();
      lock.lock();
      fds_ = fds;
      watching_ = false;
      changed_.notify_one();
    }
  }

  Uint32 wakeType_;
  int stop_[2] = {-1, -1};
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<pollfd> fds_;
  bool watching_ = false;
  bool quit_ = false;
};

int runLoop(Application& app, SdlHost& host) {
  StatusBarUpdates statusBar(app);
  FramePacer pacer;
  GLibWaker glib;
  SDL_Event event;
  while (!host.quit()) {
    while (SDL_PollEvent(&event)) {
      host.handle(event);
      if (host.quit()) return 0;
    }
    app.runOnce();
    host.updateTextInput();

    double now = app.clock().now();
    statusBar.update();
    bool render = app.needsDisplay();
    if (render && pacer.isDue(now)) {
      host.display(true);
      pacer.framed(now);
      render = false;
    } else {
      host.display(false);  // only what the window lost
    }

    // Nothing to draw and no input waiting: a step of preparing what a coming transition needs,
    // then a look for input again.
    if (!render && !SDL_HasEvents(SDL_FIRSTEVENT, SDL_LASTEVENT) && app.prepareWhileIdle())
      continue;

    // Sleep until the next event, the next frame's time when one waits to be drawn, or the next
    // time something changes by itself (at the latest when the status bar's clock turns or its
    // battery is read), so that an idle program uses no CPU.
    double wake = render ? pacer.next() : std::min(app.nextWakeTime(), statusBar.nextTime());
    if (wake <= now && app.needsDisplay()) wake = pacer.next();
    double seconds = wake - app.clock().now();
    if (seconds <= 0) continue;
    int milliseconds = static_cast<int>(std::ceil(std::min(seconds, 3600.0) * 1000));
    glib.wait(milliseconds);
  }
  return 0;
}

}  // namespace

int sdl::applicationMain(
    const WindowOptions& options,
    const std::function<std::unique_ptr<ApplicationDelegate>()>& makeDelegate) {
  if (!sdl::openDisplay(options)) return 1;
  SDL_Window* window = sdl::createWindow(options);
  if (!window) {
    SDL_Quit();
    return 1;
  }
  int status = 0;
  {
    SteadyClock clock;
    Application app(clock);
    SdlHost host(app, window, options.kiosk);
    host.updateGeometry();  // sets the render scale before launch, so pictures pick theirs
    host.stopTextInput();
    if (app.launch(makeDelegate())) {
      status = runLoop(app, host);
    } else {
      log("the application declined to launch");
      status = 1;
    }
  }
  SDL_DestroyWindow(window);
  SDL_Quit();
  return status;
}

}  // namespace kit

// What the program calls once it has loaded this module (see kit/backends/ApplicationMain.cpp).
extern "C" __attribute__((visibility("default"))) int kit_sdl_application_main(
    const kit::WindowOptions& options,
    const std::function<std::unique_ptr<kit::ApplicationDelegate>()>& makeDelegate) {
  return kit::sdl::applicationMain(options, makeDelegate);
}
