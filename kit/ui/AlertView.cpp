#include "kit/ui/AlertView.h"

#include <cairo.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <optional>

#include "kit/graphics/Drawing.h"
#include "kit/graphics/TextDrawing.h"
#include "kit/ui/Screen.h"
#include "kit/ui/View.h"

namespace kit {

namespace {

constexpr double kBoxWidth = 320;
constexpr double kBoxRadius = 12;
constexpr double kPadding = 20;
constexpr double kTitleGap = 8;
constexpr double kButtonHeight = 46;
constexpr double kDimAlpha = 0.4;
constexpr double kFadeInDuration = 0.2;
const Color kButtonColor = Color::rgba(0.0, 0.45, 0.95);

const Font kTitleFont = Font::boldSystemFontOfSize(18);
const Font kMessageFont = Font::systemFontOfSize(15);

PangoFontDescription* messageFontDescription() {
  static PangoFontDescription* description = [] {
    PangoFontDescription* d = pango_font_description_from_string(kMessageFont.name.c_str());
    pango_font_description_set_absolute_size(d, kMessageFont.size * PANGO_SCALE);
    return d;
  }();
  return description;
}

// The message wrapped to the box, centred line by line.
PangoLayout* messageLayout(PangoContext* context, const std::string& message) {
  PangoLayout* layout = pango_layout_new(context);
  pango_layout_set_font_description(layout, messageFontDescription());
  pango_layout_set_width(layout, static_cast<int>((kBoxWidth - 2 * kPadding) * PANGO_SCALE));
  pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
  pango_layout_set_alignment(layout, PANGO_ALIGN_CENTER);
  if (g_utf8_validate(message.data(), static_cast<gssize>(message.size()), nullptr)) {
    pango_layout_set_text(layout, message.data(), static_cast<int>(message.size()));
  }
  return layout;
}

PangoContext* measureContext() {
  static PangoContext* context = [] {
    PangoContext* c = pango_font_map_create_context(pango_cairo_font_map_get_default());
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    pango_cairo_context_set_font_options(c, options);
    cairo_font_options_destroy(options);
    return c;
  }();
  return context;
}

double messageHeight(const std::string& message) {
  if (message.empty()) return 0;
  PangoLayout* layout = messageLayout(measureContext(), message);
  PangoRectangle logical;
  pango_layout_get_extents(layout, nullptr, &logical);
  g_object_unref(layout);
  return static_cast<double>(logical.height) / PANGO_SCALE;
}

}  // namespace

// The full-screen view behind an alert: it dims the screen, draws the box and takes every touch.
class AlertOverlay : public View {
  friend class AlertView;

 public:
  explicit AlertOverlay(std::unique_ptr<AlertView> alert)
      : View({kScreenWidth, kScreenHeight}), alert_(std::move(alert)) {
    alert_->overlay_ = this;
    // A delegate that is an Object is only called while it exists.
    if (auto* object = dynamic_cast<Object*>(alert_->delegate)) {
      delegateAlive_ = object->weakReference();
    }
    titleHeight_ = alert_->title.empty() ? 0 : textSize(alert_->title, kTitleFont).height;
    messageHeight_ = messageHeight(alert_->message);
    double textHeight = titleHeight_ + messageHeight_;
    if (titleHeight_ > 0 && messageHeight_ > 0) textHeight += kTitleGap;
    Size boxSize{kBoxWidth, kPadding + textHeight + kPadding + kButtonHeight};
    box_ = {{(kScreenWidth - boxSize.width) / 2, (kScreenHeight - boxSize.height) / 2}, boxSize};
    button_ = {{box_.minX(), box_.maxY() - kButtonHeight}, {kBoxWidth, kButtonHeight}};
  }
  ~AlertOverlay() override { alert_->overlay_ = nullptr; }

  AlertView* alert() const { return alert_.get(); }
  bool isClosing() const { return closing_; }
  Rect button() const { return button_; }

  void touchesBegan(const TouchSet& touches, const Event*) override { track(touches); }
  void touchesMoved(const TouchSet& touches, const Event*) override { track(touches); }
  void touchesEnded(const TouchSet& touches, const Event*) override {
    bool onButton = pressed_;
    track(touches);
    onButton = onButton && pressed_;
    pressed_ = false;
    if (onButton && !closing_) close();
  }

  void draw(cairo_t* cr) const override {
    cairo_rectangle(cr, 0, 0, kScreenWidth, kScreenHeight);
    cairo_set_source_rgba(cr, 0, 0, 0, kDimAlpha);
    cairo_fill(cr);

    // A soft shadow, then the box.
    for (int i = 1; i <= 4; ++i) {
      Rect shadow{{box_.minX() - i, box_.minY() - i + 3},
                  {box_.size.width + 2 * i, box_.size.height + 2 * i}};
      roundedRect(cr, shadow, kBoxRadius + i);
      cairo_set_source_rgba(cr, 0, 0, 0, 0.06);
      cairo_fill(cr);
    }
    roundedRect(cr, box_, kBoxRadius);
    cairo_set_source_rgba(cr, 0.97, 0.97, 0.98, 1);
    cairo_fill(cr);

    double y = box_.minY() + kPadding;
    if (titleHeight_ > 0) {
      drawTextLine(cr, alert_->title, kTitleFont, Color::rgba(0.08, 0.08, 0.1),
                   TextAlignment::Center,
                   {{box_.minX() + kPadding, y}, {kBoxWidth - 2 * kPadding, titleHeight_}});
      y += titleHeight_ + kTitleGap;
    }
    if (messageHeight_ > 0) {
      PangoLayout* layout = pango_cairo_create_layout(cr);
      PangoLayout* wrapped = messageLayout(pango_layout_get_context(layout), alert_->message);
      cairo_move_to(cr, box_.minX() + kPadding, y);
      cairo_set_source_rgba(cr, 0.2, 0.2, 0.24, 1);
      pango_cairo_show_layout(cr, wrapped);
      g_object_unref(wrapped);
      g_object_unref(layout);
    }

    if (pressed_) {
      cairo_save(cr);
      roundedRect(cr, box_, kBoxRadius);
      cairo_clip(cr);
      cairo_rectangle(cr, button_.minX(), button_.minY(), button_.size.width, button_.size.height);
      cairo_set_source_rgba(cr, 0.85, 0.86, 0.88, 1);
      cairo_fill(cr);
      cairo_restore(cr);
    }
    cairo_rectangle(cr, box_.minX(), button_.minY(), kBoxWidth, 1);
    cairo_set_source_rgba(cr, 0.78, 0.78, 0.8, 1);
    cairo_fill(cr);
    drawTextLine(cr, alert_->cancelButtonTitle, Font::boldSystemFontOfSize(17), kButtonColor,
                 TextAlignment::Center, button_);
  }

 private:
  void track(const TouchSet& touches) {
    const Touch* touch = touches.anyObject();
    bool over = touch && button_.contains(touch->locationInView(this));
    if (over != pressed_) {
      pressed_ = over;
      setNeedsDisplay();
    }
  }

  // Tells the delegate (after a tap on the button) and takes the alert away, from the run loop:
  // never inside the touch handler of the view that goes.
  void close(bool tapped = true) {
    closing_ = true;
    Screen* shown = screen();
    if (!shown) return;
    shown->runLoop().post([alive = weakReference(), this, tapped] {
      if (alive.expired()) return;
      AlertViewDelegate* delegate = alert_->delegate;
      if (tapped && delegate && (!delegateAlive_.has_value() || !delegateAlive_->expired())) {
        delegate->clickedButtonAtIndex(alert_.get(), 0);
      }
      if (!alive.expired()) removeFromSuperview();
    });
  }

  std::unique_ptr<AlertView> alert_;
  std::optional<std::weak_ptr<const void>> delegateAlive_;
  Rect box_;
  Rect button_;
  double titleHeight_ = 0;
  double messageHeight_ = 0;
  bool pressed_ = false;
  bool closing_ = false;
};

AlertView::AlertView(std::string title, std::string message, AlertViewDelegate* delegate,
                     std::string cancelButtonTitle)
    : title(std::move(title)),
      message(std::move(message)),
      delegate(delegate),
      cancelButtonTitle(std::move(cancelButtonTitle)) {}

void AlertView::show(std::unique_ptr<AlertView> alert, const View& overView) {
  Screen* screen = overView.screen();
  if (!screen || !alert) return;
  AlertOverlay* shown =
      screen->alertLayer()->addSubview(std::make_unique<AlertOverlay>(std::move(alert)));
  shown->setAlpha(0);
  shown->beginAnimations("kit.alert.show", nullptr);
  View::setAnimationDuration(kFadeInDuration);
  shown->setAlpha(1);
  View::commitAnimations();
}

AlertView* AlertView::visibleAlert(const Screen& screen) {
  const auto& shown = screen.alertLayer()->subviews();
  for (auto it = shown.rbegin(); it != shown.rend(); ++it) {
    auto* overlay = dynamic_cast<AlertOverlay*>(*it);
    if (overlay && !overlay->isClosing()) return overlay->alert();
  }
  return nullptr;
}

void AlertView::dismiss() {
  if (overlay_ && !overlay_->isClosing()) overlay_->close(false);
}

Rect AlertView::buttonFrame() const {
  if (!overlay_) return {};
  Rect local = overlay_->button();
  Point origin = overlay_->convertToAncestor(local.origin, nullptr);
  return {origin, local.size};
}

}  // namespace kit
