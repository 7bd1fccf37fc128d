#include "admin/ExportPanel.h"

#include <memory>

#include "kit/base/NotificationCenter.h"

using kit::Color;
using kit::Point;
using kit::Size;

namespace {

// The card lies on the signed-in picture from (154, 452), 460 x 300; the views are placed in its
// own coordinates.
constexpr Size kCardSize{460, 300};
constexpr Point kCardCenter{384, 602};
constexpr double kTextWidth = 392;
const Color kStrongInk = Color::rgba(0.12, 0.23, 0.2);
const Color kFailureInk = Color::rgba(0.72, 0.16, 0.1);

kit::Label* addLabel(kit::View* card, Point center, double width, double size, Color ink) {
  auto label = std::make_unique<kit::Label>(Size{width, 22});
  label->setCenter(center);
  label->setFont(kit::Font::fontWithName("Helvetica", size));
  label->setTextColor(ink);
  return card->addSubview(std::move(label));
}

// A picture button with its title drawn over it, so that the title can change.
kit::Button* addButton(ExportPanel* card, void (ExportPanel::*action)(), Size size, Point center,
                       const char* picture, Color ink, const std::string& title,
                       kit::Label** titleLabel = nullptr) {
  auto button = std::make_unique<kit::Button>(size);
  button->setCenter(center);
  button->setBackgroundImage(kit::Image::imageNamed(picture), kit::ControlState::Normal);
  button->addTarget(card, action, kit::ControlEvent::TouchUpInside);
  auto label = std::make_unique<kit::Label>(Size{size.width - 16, size.height - 2});
  label->setCenter({size.width / 2, size.height / 2 - 1});
  label->setFont(kit::Font::boldSystemFontOfSize(15));
  label->setTextColor(ink);
  label->setTextAlignment(kit::TextAlignment::Center);
  label->setText(title);
  kit::Label* shown = button->addSubview(std::move(label));
  if (titleLabel) *titleLabel = shown;
  return card->addSubview(std::move(button));
}

}  // namespace

ExportPanel::ExportPanel() : View(kCardSize) {
  setCenter(kCardCenter);
  double left = (kCardSize.width - kTextWidth) / 2;
  double middle = left + kTextWidth / 2;
  lastExport = addLabel(this, {middle, 64}, kTextWidth, 14, kStaffInk);
  storedSince = addLabel(this, {middle, 86}, kTextWidth, 14, kStrongInk);

  waiting = addLabel(this, {left + 100, 132}, 200, 15, kStrongInk);
  sendWaiting =
      addButton(this, &ExportPanel::sendWaitingMail, {190, 34}, {left + kTextWidth - 95, 132},
                "btn_action_wide.png", Color::white(), "Send waiting mail");
  waitingError = addLabel(this, {middle, 162}, kTextWidth, 13, kFailureInk);

  drive = addLabel(this, {middle, 198}, kTextWidth, 14, kStaffInk);
  copy = addButton(this, &ExportPanel::copyToDrive, {250, 34}, {left + 125, 232},
                   "btn_action_wide.png", Color::white(), "", &copyTitle);
  eject = addButton(this, &ExportPanel::ejectDrive, {120, 34}, {left + kTextWidth - 60, 232},
                    "btn_quiet_small.png", Color::rgba(0.17, 0.33, 0.27), "Eject");
  // Two lines: what failed can take more than one.
  status = addLabel(this, {middle, 276}, kTextWidth, 13, kStrongInk);
  status->setFrame({{left, 257}, {kTextWidth, 36}});
  status->setNumberOfLines(0);
  showDrive("", false);
  showOutbox(0, false, "");
}

void ExportPanel::showLastExport(const std::string& exported, const std::string& since) {
  lastExport->setText(exported);
  storedSince->setText(since);
}

void ExportPanel::showOutbox(size_t count, bool sending, const std::string& error) {
  std::string messages = std::to_string(count) + (count == 1 ? " message" : " messages");
  waiting->setText(sending ? "Sending " + messages + "\u2026"
                   : count ? messages + " waiting"
                           : "No mail waiting");
  sendWaiting->setHidden(sending || count == 0);
  waitingError->setText(error.empty() || count == 0 ? "" : "Not sent: " + error);
}

void ExportPanel::showDrive(const std::string& name, bool busy) {
  drive->setText(name.empty() ? "Plug in a USB stick to copy the data file to it."
                              : "USB stick \u201c" + name + "\u201d");
  copyTitle->setText("Copy to " + name);
  copy->setHidden(name.empty());
  eject->setHidden(name.empty());
  copy->userInteractionEnabled = !busy;
  eject->userInteractionEnabled = !busy;
}

void ExportPanel::showStatus(const std::string& text, bool failed) {
  status->setText(text);
  status->setTextColor(failed ? kFailureInk : kStrongInk);
}

void ExportPanel::sendWaitingMail() {
  kit::NotificationCenter::defaultCenter().postNotificationName("SendWaitingMail", this);
}

void ExportPanel::copyToDrive() {
  kit::NotificationCenter::defaultCenter().postNotificationName("CopyToDrive", this);
}

void ExportPanel::ejectDrive() {
  kit::NotificationCenter::defaultCenter().postNotificationName("EjectDrive", this);
}
