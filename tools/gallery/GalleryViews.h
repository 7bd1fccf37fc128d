#pragma once

#include <string>

#include "kit/ui/Button.h"
#include "kit/ui/Label.h"

// Small builders shared by the gallery's pages.
namespace gallery {

// Asks for a new frame (for changes made outside touches and animations).
void redraw();
kit::View* addBox(kit::View* parent, kit::Size size, kit::Point center, kit::Color color);
kit::Label* addLabel(kit::View* parent, kit::Rect frame, const std::string& text,
                     kit::TextAlignment alignment = kit::TextAlignment::Left,
                     kit::Font font = kit::Font::systemFontOfSize(17));
// A section heading across the page at `y`, with a rule under it.
void addHeading(kit::View* parent, double y, const std::string& text);
// A plain coloured button with a title; the title takes no touches, so they reach the button.
kit::Button* addTextButton(kit::View* parent, kit::Rect frame, const std::string& title,
                           kit::Color color);

}  // namespace gallery
