#include "controls/State.h"

#include "kit/base/Log.h"
#include "kit/graphics/Font.h"

namespace {
constexpr kit::Size kRowSize{298, 45};
constexpr double kPressedHighlightAlpha = 0.8;
}  // namespace

State::State(kit::Rect /*frame*/) : kit::View(kRowSize) {
  setFrame({{0, 0}, kRowSize});
  setBackgroundColor(kit::Color::clear());
}

void State::initText(const std::string& text) {
  if (title) {
    title->setText(text);
    return;
  }
  auto row = std::make_unique<kit::ImageView>(kRowSize);
  row->setCenter({149, 22.5});
  row->setImage(kit::Image::imageNamed("bg_states_picker_row.jpg"));
  row->setHidden(false);
  row->userInteractionEnabled = false;
  img = addSubview(std::move(row));

  // Left where it is made, at the origin, which covers the row exactly.
  auto highlight = std::make_unique<kit::ImageView>(kRowSize);
  highlight->setHidden(false);
  highlight->setAlpha(0.0);
  highlight->setImage(kit::Image::imageNamed("bg_states_highlight.png"));
  highlight->setBackgroundColor(kit::Color::clear());
  highlight->userInteractionEnabled = false;
  blue = addSubview(std::move(highlight));

  auto name = std::make_unique<kit::Label>(kit::Size{200, 44});
  name->setCenter({110, 22});
  name->setText(text);
  name->setTextColor(kit::Color::black());
  name->setFont(kit::Font::fontWithName("Helvetica", 15));
  name->setBackgroundColor(kit::Color::clear());
  name->setTextAlignment(kit::TextAlignment::Left);
  name->userInteractionEnabled = false;
  title = addSubview(std::move(name));

  hotspot = std::make_unique<kit::Button>(kit::Size{298, 44});
  hotspot->setCenter({149, 22});
  hotspot->setBackgroundColor(kit::Color::clear());
  hotspot->userInteractionEnabled = true;
  hotspot->setHidden(false);
  hotspot->setAlpha(1.0);
}

void State::downState() {
  kit::log("downstate");
  if (!title) return;
  title->setTextColor(kit::Color::white());
  blue->setAlpha(kPressedHighlightAlpha);
}

void State::upState() {
  kit::log("upstate");
  if (!title) return;
  title->setTextColor(kit::Color::black());
  blue->setAlpha(0.0);
}

std::string State::getTxt() const {
  return title ? title->text() : std::string();
}
