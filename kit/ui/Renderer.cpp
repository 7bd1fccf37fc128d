#include "kit/ui/Renderer.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <ctime>
#include <limits>
#include <vector>

#include "kit/graphics/Font.h"
#include "kit/graphics/TextDrawing.h"
#include "kit/graphics/Transitions.h"
#include "kit/ui/Animation.h"
#include "kit/ui/Screen.h"
#include "kit/ui/View.h"

namespace kit {
namespace {

// The time on the clock of the screen that `view` shows on; 0 for a view on none.
double timeOf(const View& view) {
  const Screen* screen = view.screen();
  return screen ? screen->clock().now() : 0;
}

std::string localTimeText() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[8];
  std::strftime(text, sizeof text, "%H:%M", &local);
  return text;
}

cairo_matrix_t toCairo(const Transform& t) {
  cairo_matrix_t m;
  cairo_matrix_init(&m, t.a, t.b, t.c, t.d, t.tx, t.ty);
  return m;
}

bool isSingular(const Transform& t) {
  return std::abs(t.a * t.d - t.b * t.c) < 1e-9;
}

// The uniform scale from user space to device pixels, for offscreen pictures that stay sharp.
double deviceScale(cairo_t* cr) {
  cairo_matrix_t m;
  cairo_get_matrix(cr, &m);
  double scale = std::sqrt(std::abs(m.xx * m.yy - m.xy * m.yx));
  return std::clamp(scale, 0.25, 4.0);
}

// The pixel size of a picture of `size` points at `scale`.
std::pair<int, int> pixelSize(Size size, double scale) {
  return {std::max(1, static_cast<int>(std::ceil(size.width * scale - 1e-6))),
          std::max(1, static_cast<int>(std::ceil(size.height * scale - 1e-6)))};
}

SurfaceHandle createSurface(Size size, double scale) {
  auto [width, height] = pixelSize(size, scale);
  return SurfaceHandle(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
}

// The surfaces of the last pictures let go. A transition's pictures cover the screen, 12 MB each
// at double density: memory freshly mapped for each would be faulted in page by page while the
// transition's first frame waits.
constexpr size_t kSpareSurfaces = 2;
std::vector<SurfaceHandle>& spareSurfaces() {
  static std::vector<SurfaceHandle> spares;
  return spares;
}

// Small surfaces cost little either way.
bool worthKeeping(cairo_surface_t* surface) {
  return cairo_image_surface_get_width(surface) * cairo_image_surface_get_height(surface) >=
         64 * 64;
}

// A surface for a picture: a spare one of the same size when there is one, else a new one,
// which alone is `clean` (all clear).
SurfaceHandle pictureSurface(Size size, double scale, bool& clean) {
  // Not a structured binding: clang 14 does not let the lambda below capture one.
  const auto pixels = pixelSize(size, scale);
  const int width = pixels.first, height = pixels.second;
  std::vector<SurfaceHandle>& spares = spareSurfaces();
  auto spare = std::find_if(spares.begin(), spares.end(), [&](const SurfaceHandle& s) {
    return cairo_image_surface_get_width(s.get()) == width &&
           cairo_image_surface_get_height(s.get()) == height;
  });
  clean = spare == spares.end();
  if (clean) return createSurface(size, scale);
  SurfaceHandle surface = std::move(*spare);
  spares.erase(spare);
  return surface;
}

// A box in device pixels.
struct Box {
  double x0 = std::numeric_limits<double>::infinity();
  double y0 = std::numeric_limits<double>::infinity();
  double x1 = -std::numeric_limits<double>::infinity();
  double y1 = -std::numeric_limits<double>::infinity();
  bool empty() const { return x1 <= x0 || y1 <= y0; }
  void add(double x, double y) {
    x0 = std::min(x0, x);
    y0 = std::min(y0, y);
    x1 = std::max(x1, x);
    y1 = std::max(y1, y);
  }
};

enum class Look { Now, Plain };
Picture takePicture(const View& view, double scale, Look look,
                    const std::vector<HiddenFlag>& hidden);
void drawPictureRows(Picture& picture, const View& view, Look look,
                     const std::vector<HiddenFlag>& hidden, int rowFirst, int rowEnd, bool clean);

// What a tree of views shows at one moment: presentation values, the transitions under way, and
// hidden flags, some of which may be those of an earlier look (for a transition's first picture).
class Presentation {
 public:
  explicit Presentation(double now) : now_(now) {}
  double now() const { return now_; }

  // Views named in `flags` show as shown or hidden by the flag, not by what they hold now.
  void overrideHidden(const std::vector<HiddenFlag>& flags) {
    for (const HiddenFlag& flag : flags) {
      if (!flag.alive.expired()) hiddenOverrides_.emplace_back(flag.view, flag.hidden);
    }
  }

  bool isHidden(const View& view) const {
    for (const auto& [overridden, hidden] : hiddenOverrides_) {
      if (overridden == &view) return hidden;
    }
    return view.isHidden();
  }

  TransitionState* activeTransition(const View& view) const {
    ViewAnimations* animations = view.animations();
    if (!animations || !animations->transition) return nullptr;
    TransitionState& transition = *animations->transition;
    if (transition.kind == AnimationTransition::None || !transition.block) return nullptr;
    if (transition.block->ended || now_ >= transition.block->endTime()) return nullptr;
    return &transition;
  }

  // A hidden view still shows while a transition on it runs: its new look is then empty.
  bool isShown(const View& view) const {
    if (isHidden(view) && !activeTransition(view)) return false;
    if (view.presentationAlpha() <= 0) return false;
    return !isSingular(view.presentationTransform());
  }

  // From the view's coordinates (origin at its top-left corner) to its superview's.
  static cairo_matrix_t placement(const View& view) {
    Point center = view.presentationCenter();
    Size size = view.bounds().size;
    cairo_matrix_t m;
    cairo_matrix_init_translate(&m, -size.width / 2, -size.height / 2);
    Transform transform = view.presentationTransform();
    if (!transform.isIdentity()) {
      cairo_matrix_t t = toCairo(transform);
      cairo_matrix_multiply(&m, &m, &t);
    }
    cairo_matrix_t toCenter;
    cairo_matrix_init_translate(&toCenter, center.x, center.y);
    cairo_matrix_multiply(&m, &m, &toCenter);
    return m;
  }

  // Grows `box` by what the subtree of `view` covers in device space; `toDevice` maps the view's
  // coordinates there.
  void addExtents(const View& view, const cairo_matrix_t& toDevice, Box& box) const {
    Size size = view.bounds().size;
    // A flip's near edge stands out above and below the view.
    double overhang = activeTransition(view) ? size.height / 2 : 0;
    double xs[] = {0, size.width};
    double ys[] = {-overhang, size.height + overhang};
    for (double x : xs) {
      for (double y : ys) {
        double dx = x, dy = y;
        cairo_matrix_transform_point(&toDevice, &dx, &dy);
        box.add(dx, dy);
      }
    }
    for (const View* child : view.subviews()) {
      if (!isShown(*child)) continue;
      cairo_matrix_t m = placement(*child);
      cairo_matrix_multiply(&m, &m, &toDevice);
      addExtents(*child, m, box);
    }
  }

 private:
  double now_;
  std::vector<std::pair<const View*, bool>> hiddenOverrides_;
};

// The screen below the status bar, in screen points.
constexpr Rect kScreenBelowStatusBar{{0, kStatusBarHeight},
                                     {kScreenWidth, kScreenHeight - kStatusBarHeight}};

bool covers(Point origin, Size size, Rect area) {
  constexpr double e = 1e-9;
  return origin.x <= area.minX() + e && origin.y <= area.minY() + e &&
         origin.x + size.width >= area.maxX() - e && origin.y + size.height >= area.maxY() - e;
}

// Whether a transition under way paints every pixel of its view opaquely: a flip always does
// (black where the card is not); a curl and the wait before a transition do when their pictures
// are opaque.
bool paintsOpaque(const TransitionState& transition, double now) {
  if (now < transition.block->startTime()) {
    return transition.hiddenBefore.empty() && transition.before.opaque;
  }
  switch (transition.kind) {
    case AnimationTransition::FlipFromLeft:
    case AnimationTransition::FlipFromRight:
      return true;
    case AnimationTransition::CurlUp:
    case AnimationTransition::CurlDown:
      return transition.hiddenBefore.empty() && transition.before.opaque && transition.afterTaken &&
             transition.after.opaque;
    case AnimationTransition::None:
      break;
  }
  return false;
}

// The front-most view that covers `area` with opaque paint, drawn without transform or alpha;
// its ancestors go into `path`. `origin` is the position of `view`'s top-left corner in the
// coordinates of `area`.
const View* findOccluder(const Presentation& shown, const View& view, Point origin, Rect area,
                         std::vector<const View*>& path) {
  const View* found = nullptr;
  for (const View* child : view.subviews()) {
    if (!shown.isShown(*child) || child->presentationAlpha() < 1 ||
        !child->presentationTransform().isIdentity()) {
      continue;
    }
    Point center = child->presentationCenter();
    Size size = child->bounds().size;
    Point childOrigin{origin.x + center.x - size.width / 2, origin.y + center.y - size.height / 2};
    if (const TransitionState* transition = shown.activeTransition(*child)) {
      // What it holds shows only through its pictures.
      if (paintsOpaque(*transition, shown.now()) && covers(childOrigin, size, area)) {
        found = child;
        path = {&view};
      }
      continue;
    }
    std::vector<const View*> childPath;
    // What a clipping view holds covers at most the view itself.
    const View* inside =
        child->clipsToBounds ? nullptr : findOccluder(shown, *child, childOrigin, area, childPath);
    if (inside) {
      found = inside;
      path = {&view};
      path.insert(path.end(), childPath.begin(), childPath.end());
    } else if (child->paintsOpaque() && covers(childOrigin, size, area)) {
      found = child;
      path = {&view};
    }
  }
  return found;
}

// The tree's root, and the placement of `view` in it; false when the view does not show.
bool placeInRoot(const Presentation& shown, const View& view, const View*& root,
                 cairo_matrix_t& toRoot) {
  cairo_matrix_init_identity(&toRoot);
  const View* v = &view;
  for (; v->superview(); v = v->superview()) {
    if (!shown.isShown(*v)) return false;
    cairo_matrix_t m = Presentation::placement(*v);
    cairo_matrix_multiply(&toRoot, &toRoot, &m);
  }
  root = v;
  return !root->isHidden();
}

// See drawnArea.
Rect areaOf(const Presentation& shown, const View& view, const Rect* part) {
  const View* root = nullptr;
  cairo_matrix_t toScreen;
  if (!placeInRoot(shown, view, root, toScreen) || !dynamic_cast<const Screen*>(root)) return {};
  Box box;
  if (part) {
    for (double x : {part->minX(), part->maxX()}) {
      for (double y : {part->minY(), part->maxY()}) {
        double sx = x, sy = y;
        cairo_matrix_transform_point(&toScreen, &sx, &sy);
        box.add(sx, sy);
      }
    }
  } else {
    shown.addExtents(view, toScreen, box);
  }
  if (box.empty()) return {};
  constexpr double kMargin = 2;
  double x0 = std::floor(box.x0) - kMargin, y0 = std::floor(box.y0) - kMargin;
  return {{x0, y0}, {std::ceil(box.x1) + kMargin - x0, std::ceil(box.y1) + kMargin - y0}};
}

bool intersectsClip(cairo_t* cr, Size size) {
  double x0, y0, x1, y1;
  cairo_clip_extents(cr, &x0, &y0, &x1, &y1);
  return x0 < size.width && y0 < size.height && x1 > 0 && y1 > 0;
}

// Draws view trees as they show at one moment.
class Painter {
 public:
  explicit Painter(double now) : shown_(now) {}
  Presentation& shown() { return shown_; }

  // Skips everything drawn before `occluder`, which covers the whole screen with opaque paint.
  // `path` holds its ancestors.
  void skipUnder(const View* occluder, std::vector<const View*> path) {
    occluder_ = occluder;
    path_ = std::move(path);
  }

  // Draws `view` placed in its superview's coordinates: presentation centre, transform and alpha.
  void drawPlaced(cairo_t* cr, const View& view) const {
    if (!shown_.isShown(view)) return;
    double alpha = std::min(view.presentationAlpha(), 1.0);
    cairo_save(cr);
    cairo_matrix_t m = Presentation::placement(view);
    cairo_transform(cr, &m);
    if (alpha < 1) {
      drawTranslucent(cr, view, alpha);
    } else {
      drawBody(cr, view);
    }
    cairo_restore(cr);
  }

  // Draws the view's look at the origin of the current user space: its transition while one runs,
  // otherwise its content and its children.
  void drawBody(cairo_t* cr, const View& view) const {
    if (TransitionState* transition = shown_.activeTransition(view)) {
      drawTransitionOf(cr, view, *transition);
    } else {
      drawPlain(cr, view);
    }
  }

  void drawPlain(cairo_t* cr, const View& view) const {
    const std::vector<View*>& children = view.subviews();
    auto first = children.begin();
    if (std::find(path_.begin(), path_.end(), &view) != path_.end()) {
      // An ancestor of the occluder: neither its content nor the children below the occluder's
      // branch can show.
      first = std::find_if(children.begin(), children.end(), [this](const View* child) {
        return child == occluder_ || std::find(path_.begin(), path_.end(), child) != path_.end();
      });
    } else if (intersectsClip(cr, view.bounds().size)) {
      cairo_save(cr);
      view.draw(cr);
      cairo_restore(cr);
    }
    if (view.clipsToBounds) {
      cairo_save(cr);
      cairo_rectangle(cr, 0, 0, view.bounds().size.width, view.bounds().size.height);
      cairo_clip(cr);
    }
    for (auto it = first; it != children.end(); ++it) drawPlaced(cr, **it);
    if (view.clipsToBounds) cairo_restore(cr);
  }

 private:
  // The subtree drawn into a group that covers only what it draws, not the whole target, then
  // painted with `alpha`.
  void drawTranslucent(cairo_t* cr, const View& view, double alpha) const {
    cairo_matrix_t toDevice;
    cairo_get_matrix(cr, &toDevice);
    Box box;
    shown_.addExtents(view, toDevice, box);
    if (box.empty()) return;
    cairo_identity_matrix(cr);
    cairo_rectangle(cr, std::floor(box.x0), std::floor(box.y0),
                    std::ceil(box.x1) - std::floor(box.x0), std::ceil(box.y1) - std::floor(box.y0));
    cairo_clip(cr);
    cairo_set_matrix(cr, &toDevice);
    cairo_push_group(cr);
    drawBody(cr, view);
    cairo_pop_group_to_source(cr);
    cairo_paint_with_alpha(cr, alpha);
  }

  // Each picture is taken the first time it is needed, at the pixel density it lands on.
  void drawTransitionOf(cairo_t* cr, const View& view, TransitionState& transition) const {
    double scale = deviceScale(cr);
    if (!transition.hiddenBefore.empty()) {
      transition.before = takePicture(view, scale, Look::Plain, transition.hiddenBefore);
      transition.hiddenBefore.clear();
    }
    TransitionPicture before{transition.before.surface.get(), transition.before.scale,
                             transition.before.opaque};
    if (shown_.now() < transition.block->startTime()) {
      paintPicture(cr, before);
      return;
    }
    double progress = blockProgress(*transition.block, shown_.now());
    // A flip shows its new look only in its second half: the first frame, which the touch that
    // started the flip waits for, goes out without taking that picture; the next one takes it.
    bool flip = transition.kind == AnimationTransition::FlipFromLeft ||
                transition.kind == AnimationTransition::FlipFromRight;
    bool afterNeeded = !flip || progress >= 0.5 || transition.framesDrawn > 0;
    if (flip && !transition.afterTaken && afterNeeded) {
      transition.after = takePicture(view, scale, Look::Plain, {});
      transition.afterTaken = true;
    } else if (!flip) {
      drawRevealedRows(view, transition, scale, progress);
    }
    TransitionPicture after{transition.after.surface.get(), transition.after.scale,
                            transition.after.opaque};
    drawTransition(cr, transition.kind, view.bounds().size, before, after, progress);
    ++transition.framesDrawn;
  }

  // A curl shows its new picture only where it has peeled the old one off: that picture is drawn
  // a band of rows at a time, each frame adding the rows it reveals, so that the first frame,
  // which the touch that started the curl waits for, draws few of them.
  static void drawRevealedRows(const View& view, TransitionState& transition, double scale,
                               double progress) {
    if (!transition.afterTaken) {
      transition.after = {pictureSurface(view.bounds().size, scale, transition.afterClean), scale};
      transition.afterTaken = true;
    }
    Picture& after = transition.after;
    int height = cairo_image_surface_get_height(after.surface.get());
    Rect shows = curlRevealed(transition.kind, view.bounds().size, progress);
    int first = std::clamp(static_cast<int>(std::floor(shows.minY() * after.scale)), 0, height);
    int end = std::clamp(static_cast<int>(std::ceil(shows.maxY() * after.scale)), 0, height);
    if (end <= first) return;
    int& drawnFirst = transition.afterRowFirst;
    int& drawnEnd = transition.afterRowEnd;
    bool clean = transition.afterClean;
    if (drawnEnd <= drawnFirst) {
      drawPictureRows(after, view, Look::Plain, {}, first, end, clean);
      drawnFirst = first;
      drawnEnd = end;
      return;
    }
    // The rows drawn stay one run: new ones join it at either end.
    if (first < drawnFirst) drawPictureRows(after, view, Look::Plain, {}, first, drawnFirst, clean);
    if (end > drawnEnd) drawPictureRows(after, view, Look::Plain, {}, drawnEnd, end, clean);
    drawnFirst = std::min(drawnFirst, first);
    drawnEnd = std::max(drawnEnd, end);
  }

  Presentation shown_;
  const View* occluder_ = nullptr;
  std::vector<const View*> path_;
};

// A picture of `view` and its subtree: as it looks now, or plainly (without a transition of its
// own), then with the hidden flags in `hidden` where they name a view.
Picture takePicture(const View& view, double scale, Look look,
                    const std::vector<HiddenFlag>& hidden) {
  bool clean = false;
  Picture picture{pictureSurface(view.bounds().size, scale, clean), scale};
  drawPictureRows(picture, view, look, hidden, 0,
                  cairo_image_surface_get_height(picture.surface.get()), clean);
  return picture;
}

// Draws the device rows [rowFirst, rowEnd) of the picture of `view` (see takePicture), over what
// they hold unless `clean`.
void drawPictureRows(Picture& picture, const View& view, Look look,
                     const std::vector<HiddenFlag>& hidden, int rowFirst, int rowEnd, bool clean) {
  if (rowEnd <= rowFirst) return;
  Painter painter(timeOf(view));
  painter.shown().overrideHidden(hidden);
  // Under a view that covers the whole picture with opaque paint nothing shows: neither what is
  // drawn below it nor the surface's old pixels, so they are not cleared. That holds when the
  // picture's edges fall on whole pixels.
  const double scale = picture.scale;
  Size size = view.bounds().size;
  std::vector<const View*> path;
  const View* occluder = look == Look::Plain && !painter.shown().isHidden(view) &&
                                 size.width * scale == std::floor(size.width * scale) &&
                                 size.height * scale == std::floor(size.height * scale)
                             ? findOccluder(painter.shown(), view, {0, 0}, {{0, 0}, size}, path)
                             : nullptr;
  if (occluder) painter.skipUnder(occluder, std::move(path));
  picture.opaque = occluder != nullptr;
  cairo_surface_t* surface = picture.surface.get();
  int width = cairo_image_surface_get_width(surface);
  if (!occluder && !clean) {
    cairo_surface_flush(surface);
    int stride = cairo_image_surface_get_stride(surface);
    std::memset(cairo_image_surface_get_data(surface) + static_cast<size_t>(rowFirst) * stride, 0,
                static_cast<size_t>(rowEnd - rowFirst) * stride);
    cairo_surface_mark_dirty(surface);
  }
  if (!painter.shown().isHidden(view)) {
    cairo_t* cr = cairo_create(surface);
    cairo_rectangle(cr, 0, rowFirst, width, rowEnd - rowFirst);
    cairo_clip(cr);
    cairo_scale(cr, scale, scale);
    if (look == Look::Now) {
      painter.drawBody(cr, view);
    } else {
      painter.drawPlain(cr, view);
    }
    cairo_destroy(cr);
  }
  cairo_surface_flush(surface);
}

// Clips `cr` to the device pixels of `damage` (screen points, rounded outwards) and returns them;
// `statusBar` tells whether any reaches the status bar.
std::vector<Rect> clipToDamage(cairo_t* cr, const std::vector<Rect>& damage, double scale,
                               int width, int height, bool& statusBar) {
  std::vector<Rect> drawn;
  statusBar = false;
  for (const Rect& r : damage) {
    int x0 = std::max(0, static_cast<int>(std::floor(r.minX() * scale)));
    int y0 = std::max(0, static_cast<int>(std::floor(r.minY() * scale)));
    int x1 = std::min(width, static_cast<int>(std::ceil(r.maxX() * scale)));
    int y1 = std::min(height, static_cast<int>(std::ceil(r.maxY() * scale)));
    if (x1 <= x0 || y1 <= y0) continue;
    drawn.push_back({{double(x0), double(y0)}, {double(x1 - x0), double(y1 - y0)}});
    cairo_rectangle(cr, x0, y0, x1 - x0, y1 - y0);
    statusBar = statusBar || r.minY() < kStatusBarHeight;
  }
  if (!drawn.empty()) cairo_clip(cr);
  return drawn;
}

// At or below this charge, a battery that is not charging is drawn red.
constexpr int kLowBattery = 20;  // percent

// At the status bar's right end: outlined body, terminal nub and the charge inside, as wide as
// the charge is full; red when low, green with a bolt across it while charging.
void drawBattery(cairo_t* cr, const BatteryState& battery, Color light) {
  const double right = kScreenWidth - 8;
  const double width = 24, height = 11, top = (kStatusBarHeight - height) / 2;
  cairo_set_source_rgb(cr, light.r, light.g, light.b);
  cairo_set_line_width(cr, 1);
  cairo_rectangle(cr, right - width - 2.5, top + 0.5, width - 1, height - 1);
  cairo_stroke(cr);
  cairo_rectangle(cr, right - 3, top + 3, 2, height - 6);
  cairo_fill(cr);
  const Color charge = battery.charging                 ? Color::rgba(0.30, 0.85, 0.39)
                       : battery.percent <= kLowBattery ? Color::rgba(1.0, 0.23, 0.19)
                                                        : light;
  cairo_set_source_rgb(cr, charge.r, charge.g, charge.b);
  cairo_rectangle(cr, right - width - 0.5, top + 2.5, (width - 5) * battery.percent / 100.0,
                  height - 5);
  cairo_fill(cr);
  if (!battery.charging) return;
  const double x = right - width / 2 - 1.5, y = kStatusBarHeight / 2;
  // Inside the outline, from its top edge to its bottom edge.
  cairo_move_to(cr, x + 1.5, y - 4.5);
  cairo_line_to(cr, x - 3, y + 1);
  cairo_line_to(cr, x, y + 1);
  cairo_line_to(cr, x - 1.5, y + 4.5);
  cairo_line_to(cr, x + 3, y - 1);
  cairo_line_to(cr, x, y - 1);
  cairo_close_path(cr);
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_fill(cr);
}

}  // namespace

Rect drawnArea(const View& view) {
  return areaOf(Presentation(timeOf(view)), view, nullptr);
}

Rect drawnArea(const View& view, Rect part) {
  return areaOf(Presentation(timeOf(view)), view, &part);
}

Renderer::Renderer(double scale)
    : scale_(scale),
      surface_(createSurface({kScreenWidth, kScreenHeight}, scale)),
      timeText_(localTimeText) {}

Renderer::Renderer(double scale, SurfaceHandle target)
    : scale_(scale), surface_(std::move(target)), timeText_(localTimeText) {}

Renderer::~Renderer() = default;

void Renderer::setStatusBarTime(std::function<std::string()> timeText) {
  timeText_ = timeText ? std::move(timeText) : localTimeText;
}

std::vector<Rect> Renderer::renderScreen(const Screen& screen, const std::vector<Rect>* damage) {
  cairo_t* cr = cairo_create(surface_.get());
  std::vector<Rect> drawn;
  const int width = pixelWidth(), height = pixelHeight();
  bool statusBar = true;
  if (damage) {
    // Only the damaged pixels are drawn; the rest keeps the last frame.
    drawn = clipToDamage(cr, *damage, scale_, width, height, statusBar);
    if (drawn.empty()) {
      cairo_destroy(cr);
      return drawn;
    }
  } else {
    drawn.push_back({{0, 0}, {double(width), double(height)}});
  }
  Painter painter(screen.clock().now());
  std::vector<const View*> path;
  const View* occluder = screen.isHidden() ? nullptr
                                           : findOccluder(painter.shown(), screen, {0, 0},
                                                          kScreenBelowStatusBar, path);
  // With the status bar's edge between device pixels, its row is not covered by either alone.
  double barEdge = kStatusBarHeight * scale_;
  if (occluder && barEdge == std::floor(barEdge)) {
    painter.skipUnder(occluder, std::move(path));
  } else {
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
  }
  cairo_scale(cr, scale_, scale_);
  // The screen fills the surface wherever its own centre is set.
  if (!screen.isHidden()) painter.drawBody(cr, screen);
  if (statusBar) drawStatusBar(cr, screen.battery());
  cairo_destroy(cr);
  cairo_surface_flush(surface_.get());
  return drawn;
}

void Renderer::drawStatusBar(cairo_t* cr, const std::optional<BatteryState>& battery) const {
  cairo_save(cr);
  cairo_rectangle(cr, 0, 0, kScreenWidth, kStatusBarHeight);
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_fill(cr);
  Color light = Color::rgba(0.92, 0.92, 0.92);
  drawTextLine(cr, timeText_(), Font::boldSystemFontOfSize(14), light, TextAlignment::Center,
               {{0, 0}, {kScreenWidth, kStatusBarHeight}});
  if (battery) drawBattery(cr, *battery, light);
  cairo_restore(cr);
}

const uint8_t* Renderer::pixels() const {
  return cairo_image_surface_get_data(surface_.get());
}
int Renderer::pixelWidth() const {
  return cairo_image_surface_get_width(surface_.get());
}
int Renderer::pixelHeight() const {
  return cairo_image_surface_get_height(surface_.get());
}
int Renderer::stride() const {
  return cairo_image_surface_get_stride(surface_.get());
}

Color Renderer::colorAt(Point p) const {
  int x = static_cast<int>(std::floor(p.x * scale_));
  int y = static_cast<int>(std::floor(p.y * scale_));
  if (x < 0 || y < 0 || x >= pixelWidth() || y >= pixelHeight()) return Color::clear();
  uint32_t argb;
  std::copy_n(pixels() + static_cast<size_t>(y) * stride() + static_cast<size_t>(x) * 4, 4,
              reinterpret_cast<uint8_t*>(&argb));
  double a = (argb >> 24) / 255.0;
  if (a == 0) return Color::clear();
  auto channel = [&](int shift) { return std::min(1.0, ((argb >> shift) & 0xff) / 255.0 / a); };
  return {channel(16), channel(8), channel(0), a};
}

bool Renderer::writePng(const std::string& path) const {
  return cairo_surface_write_to_png(surface_.get(), path.c_str()) == CAIRO_STATUS_SUCCESS;
}

Picture Renderer::snapshot(const View& view, double scale) {
  return takePicture(view, scale, Look::Now, {});
}

void Renderer::prepare(const View& view, double scale) {
  Picture picture = takePicture(view, scale, Look::Plain, {{&view, view.weakReference(), false}});
  recyclePicture(picture);
}

void recyclePicture(Picture& picture) {
  SurfaceHandle surface = std::move(picture.surface);
  if (!surface || cairo_surface_get_reference_count(surface.get()) != 1) return;
  if (!worthKeeping(surface.get())) return;
  std::vector<SurfaceHandle>& spares = spareSurfaces();
  spares.insert(spares.begin(), std::move(surface));
  if (spares.size() > kSpareSurfaces) spares.pop_back();
}

}  // namespace kit
