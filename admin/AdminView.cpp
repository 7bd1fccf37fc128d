#include "admin/AdminView.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <memory>

#include "admin/ExportPanel.h"
#include "admin/StaffPassword.h"
#include "app/KioskSettings.h"
#include "kit/base/Log.h"
#include "kit/base/NotificationCenter.h"
#include "kit/graphics/TextDrawing.h"
#include "kit/ui/Button.h"
#include "kit/ui/ImageView.h"
#include "survey/DataFile.h"
#include "survey/ForwardState.h"

using kit::Color;
using kit::Point;
using kit::Size;
using kit::View;

namespace {

constexpr Size kPanelSize{768, 1024};
// Like the form, the panels reach 20 points above the screen's top edge, under the status bar.
constexpr Point kPanelCenter{384, 492};
constexpr Size kWideButtonSize{136, 34};
constexpr double kCrossFadeDuration = 1.0;
constexpr double kOfficeRefreshInterval = 1.0;
// The lines under the stored responses' line, from below it to the foot of the signed-in
// picture's first card (which ends at 428): the office's line from the stored line's text to the
// card's text margin, the note across the card's text width.
constexpr double kStatusTop = 332;
constexpr double kStatusBottom = 420;
constexpr double kStatusGap = 4;
constexpr kit::Rect kOfficeColumn{{230, 0}, {350, 0}};
constexpr kit::Rect kNoteColumn{{188, 0}, {392, 0}};
// The password of a kiosk whose key file names none.
const char* const kPassword = "tamarind";
// A refused sign-in's message shows this long, then fades.
constexpr double kWrongPairShown = 3.0;
constexpr double kWrongPairFade = 0.5;

std::unique_ptr<View> panel(double alpha) {
  auto view = std::make_unique<View>(kPanelSize);
  view->setCenter(kPanelCenter);
  view->setHidden(false);
  view->setAlpha(alpha);
  view->userInteractionEnabled = true;
  view->setBackgroundColor(Color::black());
  return view;
}

std::unique_ptr<kit::ImageView> background(const char* name) {
  auto view = std::make_unique<kit::ImageView>(kPanelSize);
  view->setImage(kit::Image::imageNamed(name));
  view->setHidden(false);
  view->setAlpha(1.0);
  view->userInteractionEnabled = false;
  return view;
}

std::unique_ptr<kit::Button> button(AdminView* target, void (AdminView::*action)(), Size size,
                                    Point center, const char* picture) {
  auto b = std::make_unique<kit::Button>(size);
  b->setCenter(center);
  b->setBackgroundColor(Color::clear());
  b->userInteractionEnabled = true;
  b->setBackgroundImage(kit::Image::imageNamed(picture), kit::ControlState::Normal);
  b->setHidden(false);
  b->addTarget(target, action, kit::ControlEvent::TouchUpInside);
  return b;
}

// The fields have no border or background: the sign-in picture draws their boxes.
std::unique_ptr<kit::TextField> field(Point center) {
  auto f = std::make_unique<kit::TextField>(Size{170, 30});
  f->setCenter(center);
  f->setAlpha(1.0);
  f->autocorrectionType = kit::AutocorrectionType::No;
  f->setTextColor(Color::rgba(0.55, 0.55, 0.55, 1.0));
  f->setFont(kit::Font::fontWithName("Helvetica", 18));
  f->autocapitalizationType = kit::AutocapitalizationType::None;
  f->setTextAlignment(kit::TextAlignment::Left);
  return f;
}

// One line of text on a panel.
std::unique_ptr<kit::Label> textLine(Size size, Point center, Color color,
                                     kit::TextAlignment alignment) {
  auto label = std::make_unique<kit::Label>(size);
  label->setCenter(center);
  label->setFont(kit::Font::fontWithName("Helvetica", 15));
  label->setTextColor(color);
  label->setTextAlignment(alignment);
  return label;
}

}  // namespace

void AdminView::initAdminView() {
  setBackgroundColor(Color::black());
  loginView = addSubview(panel(1.0));
  loggedInView = addSubview(panel(0.0));

  bg_login = loginView->addSubview(background("bg_admin.png"));
  loginView->addSubview(
      button(this, &AdminView::checkPass, {71, 34}, {500, 360}, "btn_signin.png"));
  user = loginView->addSubview(field({445, 268}));
  pass = loginView->addSubview(field({445, 310}));
  // The password is never shown to whoever stands by.
  pass->setSecureTextEntry(true);
  loginView->addSubview(
      button(this, &AdminView::returnToMain, kWideButtonSize, {308, 360}, "btn_return.png"));

  bg_loggedIn = loggedInView->addSubview(background("bg_admin_loggedin.png"));
  loggedInView->addSubview(
      button(this, &AdminView::returnToMain, kWideButtonSize, {314, 260}, "btn_return.png"));
  loggedInView->addSubview(
      button(this, &AdminView::emailInfo, kWideButtonSize, {460, 260}, "btn_submitsurveydata.png"));

  // Below the buttons, beside the small file that the signed-in picture draws for it.
  auto summary = std::make_unique<kit::Label>(Size{340, 24});
  summary->setCenter({400, 318});
  summary->setFont(kit::Font::fontWithName("Helvetica", 15));
  summary->setTextColor(kStaffInk);
  summary->setTextAlignment(kit::TextAlignment::Left);
  storedResponses = loggedInView->addSubview(std::move(summary));

  // Under it, as many lines as the office's error takes (layOutStatusLines).
  auto office = std::make_unique<kit::Label>(kOfficeColumn.size);
  office->setFont(kit::Font::fontWithName("Helvetica", 15));
  office->setTextColor(kStaffInk);
  office->setNumberOfLines(0);
  office->setHidden(true);
  sentToOffice = loggedInView->addSubview(std::move(office));

  // Under the fields and their buttons, inside the sign-in card.
  wrongPair = loginView->addSubview(
      textLine({340, 22}, {384, 393}, Color::rgba(0.75, 0.16, 0.12), kit::TextAlignment::Center));
  wrongPair->setText("Wrong user name or password.");
  wrongPair->setAlpha(0.0);
  if (passwordHash.empty()) {
    // Last in the card, where staff see it each time they sign in, in a dark amber that reads
    // well on the card.
    auto note = std::make_unique<kit::Label>(kNoteColumn.size);
    note->setFont(kit::Font::fontWithName("Helvetica", 14));
    note->setTextColor(Color::rgba(0.55, 0.27, 0.04));
    note->setNumberOfLines(0);
    note->setText("The built-in staff password is in use: give this kiosk its own.");
    builtInPasswordNote = loggedInView->addSubview(std::move(note));
  }
  layOutStatusLines();
  exports = loggedInView->addSubview(std::make_unique<ExportPanel>());
}

void AdminView::showKeyboard() {
  user->becomeFirstResponder();
}

void AdminView::hideKeyboard() {
  user->resignFirstResponder();
}

void AdminView::checkPass() {
  // Both are checked, whatever the first gives, and neither check takes longer for a nearer
  // guess: the time taken tells nothing.
  const bool userRight = equalInConstantTime(user->text(), staffUser);
  const bool passwordRight = passwordHash.empty() ? equalInConstantTime(pass->text(), kPassword)
                                                  : passwordMatches(pass->text(), passwordHash);
  if (!userRight || !passwordRight) {
    showWrongPair();
    return;
  }
  wrongPair->setAlpha(0.0);
  kit::log("log in successful");
  showStoredResponses();

  View::beginAnimations("", nullptr);
  View::setAnimationDuration(kCrossFadeDuration);
  loginView->setAlpha(0.0);
  loggedInView->setAlpha(1.0);
  View::commitAnimations();
  if (!refreshingOffice_) showSentToOffice();
  kit::NotificationCenter::defaultCenter().postNotificationName("SignedIn", this);
}

void AdminView::emailInfo() {
  kit::NotificationCenter::defaultCenter().postNotificationName("EmailData", this);
}

void AdminView::returnToMain() {
  wrongPair->setAlpha(0.0);
  loginView->setAlpha(1.0);
  loggedInView->setAlpha(0.0);
  user->setText("");
  pass->setText("");
  user->becomeFirstResponder();
  kit::NotificationCenter::defaultCenter().postNotificationName("ReturnToForm", this);
}

void AdminView::showWrongPair() {
  // Shown at once, again after each refusal, then faded.
  wrongPair->setAlpha(1.0);
  View::beginAnimations("", nullptr);
  View::setAnimationDelay(kWrongPairShown);
  View::setAnimationDuration(kWrongPairFade);
  wrongPair->setAlpha(0.0);
  View::commitAnimations();
}

void AdminView::showStoredResponses() {
  storedResponses->setText(survey::storedResponsesSummary(survey::dataFilePath()));
  // Whether a database is set is read afresh each time, as staff may have set one meanwhile.
  sentToOffice->setHidden(loadKioskSettings(kioskSettingsFiles()).collect.database.empty());
  countedFile_.clear();
  layOutStatusLines();
}

void AdminView::showSentToOffice() {
  refreshingOffice_ = false;
  if (isHidden() || loggedInView->alpha() == 0.0 || sentToOffice->isHidden()) return;
  const std::string path = survey::dataFilePath();
  const std::string identity = survey::dataFileIdentity(path);
  struct stat st {};
  const std::uint64_t size = ::stat(path.c_str(), &st) == 0 ? st.st_size : 0;
  if (identity != countedFile_ || size != countedSize_) {
    std::optional<std::string> bytes = kit::readFile(path);
    countedResponses_ = bytes ? survey::countResponses(*bytes) : 0;
    countedFile_ = identity;
    countedSize_ = size;
  }
  const std::string line =
      survey::officeLine(survey::readForwardState(survey::forwardStatePath(path)), identity,
                         countedResponses_, std::time(nullptr));
  if (line != sentToOffice->text()) {
    sentToOffice->setText(line);
    layOutStatusLines();
  }

  // Again in a second: a block that changes nothing, for its did-stop callback.
  refreshingOffice_ = true;
  View::beginAnimations("", nullptr);
  View::setAnimationDuration(kOfficeRefreshInterval);
  View::setAnimationDelegate(this);
  View::setAnimationDidStopSelector(&AdminView::showSentToOffice);
  View::commitAnimations();
}

void AdminView::layOutStatusLines() {
  // The note keeps its lines; the office's line takes what is left, and a longer error is cut.
  auto height = [](const kit::Label* label, const kit::Rect& column) {
    return label->text().empty()
               ? 0.0
               : kit::wrappedTextSize(label->text(), label->font(), column.size.width).height;
  };
  double noteHeight = builtInPasswordNote ? height(builtInPasswordNote, kNoteColumn) : 0;
  double top = kStatusTop;
  if (!sentToOffice->isHidden()) {
    double room = kStatusBottom - top - (noteHeight > 0 ? noteHeight + kStatusGap : 0);
    double lineHeight =
        kit::wrappedTextSize("X", sentToOffice->font(), kOfficeColumn.size.width).height;
    double shown =
        std::min(height(sentToOffice, kOfficeColumn), std::floor(room / lineHeight) * lineHeight);
    sentToOffice->setFrame({{kOfficeColumn.origin.x, top}, {kOfficeColumn.size.width, shown}});
    top += shown + kStatusGap;
  }
  if (builtInPasswordNote) {
    builtInPasswordNote->setFrame(
        {{kNoteColumn.origin.x, top}, {kNoteColumn.size.width, noteHeight}});
  }
}
