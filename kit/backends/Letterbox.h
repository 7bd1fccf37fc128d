#pragma once

// Window geometry shared by the window backends, kept apart from them so that it can be checked on
// its own.

#include <algorithm>
#include <cmath>
#include <string_view>

#include "kit/app/ApplicationMain.h"
#include "kit/base/Geometry.h"

namespace kit {

// Where the portrait screen lies in the window's drawable pixels: scaled to fit with its aspect
// kept, centred, black bars on the rest. Upside down, the picture is turned 180 degrees about
// its centre.
struct Letterbox {
  double x = 0, y = 0;  // top-left corner of the picture, in pixels
  double scale = 1;     // pixels per screen point
  bool upsideDown = false;

  static Letterbox fit(double pixelWidth, double pixelHeight, bool upsideDown) {
    Letterbox box;
    box.scale = std::min(pixelWidth / kScreenWidth, pixelHeight / kScreenHeight);
    box.x = (pixelWidth - kScreenWidth * box.scale) / 2;
    box.y = (pixelHeight - kScreenHeight * box.scale) / 2;
    box.upsideDown = upsideDown;
    return box;
  }
  double width() const { return kScreenWidth * scale; }
  double height() const { return kScreenHeight * scale; }

  // The screen point under a drawable pixel. Pixels on the bars map outside the screen, so that a
  // finger sliding off the picture still moves (and lifts) its touch.
  Point screenPoint(double pixelX, double pixelY) const {
    Point p{(pixelX - x) / scale, (pixelY - y) / scale};
    if (upsideDown) p = {kScreenWidth - p.x, kScreenHeight - p.y};
    return p;
  }
  // The inverse: the drawable pixel showing a screen point.
  Point pixel(Point screen) const {
    if (upsideDown) screen = {kScreenWidth - screen.x, kScreenHeight - screen.y};
    return {x + screen.x * scale, y + screen.y * scale};
  }
};

// The first window size: the whole screen at one pixel per point, scaled down (never up) to fit
// the usable part of the display.
inline Size initialWindowSize(double usableWidth, double usableHeight) {
  double fit = std::min({1.0, usableWidth / kScreenWidth, usableHeight / kScreenHeight});
  return {std::max(1.0, std::floor(kScreenWidth * fit)),
          std::max(1.0, std::floor(kScreenHeight * fit))};
}

// Full screen when asked, in kiosk mode, on a bare console (there is no desktop to put a window
// on), and, unless a window is asked for, on a display too small for the portrait screen.
inline bool wantsFullScreen(WindowMode mode, bool kiosk, std::string_view videoDriver,
                            double displayWidth, double displayHeight) {
  if (kiosk || mode == WindowMode::FullScreen) return true;
  if (videoDriver == "KMSDRM" || videoDriver == "kmsdrm") return true;
  if (mode == WindowMode::Windowed) return false;
  return displayWidth < kScreenWidth || displayHeight < kScreenHeight;
}

}  // namespace kit
