#include "GalleryViews.h"

#include <memory>

#include "kit/app/Application.h"

namespace gallery {

void redraw() {
  if (kit::Application* app = kit::Application::shared()) app->setNeedsDisplay();
}

kit::View* addBox(kit::View* parent, kit::Size size, kit::Point center, kit::Color color) {
  auto box = std::make_unique<kit::View>(size);
  box->setCenter(center);
  box->setBackgroundColor(color);
  return parent->addSubview(std::move(box));
}

kit::Label* addLabel(kit::View* parent, kit::Rect frame, const std::string& text,
                     kit::TextAlignment alignment, kit::Font font) {
  auto label = std::make_unique<kit::Label>(frame.size);
  label->setFrame(frame);
  label->setText(text);
  label->setTextAlignment(alignment);
  label->setFont(font);
  return parent->addSubview(std::move(label));
}

void addHeading(kit::View* parent, double y, const std::string& text) {
  kit::Label* heading = addLabel(parent, {{20, y}, {728, 24}}, text, kit::TextAlignment::Left,
                                 kit::Font::boldSystemFontOfSize(15));
  heading->setTextColor(kit::Color::darkGray());
  addBox(parent, {728, 1}, {384, y + 26}, kit::Color::lightGray());
}

kit::Button* addTextButton(kit::View* parent, kit::Rect frame, const std::string& title,
                           kit::Color color) {
  auto button = std::make_unique<kit::Button>(frame.size);
  button->setFrame(frame);
  button->setBackgroundColor(color);
  kit::Button* raw = parent->addSubview(std::move(button));
  kit::Label* label = addLabel(raw, {{0, 0}, frame.size}, title, kit::TextAlignment::Center,
                               kit::Font::boldSystemFontOfSize(16));
  label->setTextColor(kit::Color::white());
  return raw;
}

}  // namespace gallery
