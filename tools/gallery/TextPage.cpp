// The gallery's text page: fields of every keyboard type, secure entry, placeholders, toolbars,
// an alert and a modal screen.

#include <string>
#include <vector>

#include "GalleryViews.h"
#include "Pages.h"
#include "kit/app/Application.h"
#include "kit/base/NotificationCenter.h"
#include "kit/mail/MailComposeViewController.h"
#include "kit/text/TextField.h"
#include "kit/ui/AlertView.h"
#include "kit/ui/Button.h"
#include "kit/ui/Label.h"
#include "kit/ui/Toolbar.h"

namespace {

using gallery::addHeading;
using gallery::addLabel;
using gallery::addTextButton;
using gallery::redraw;

using kit::Color;
using kit::Point;
using kit::Rect;
using kit::Size;
using kit::View;

// A screen shown over everything, with a field of its own and a button that closes it.
class ModalPage : public kit::ViewController {
 public:
  void viewDidLoad() override {
    View* root = view();
    root->setBackgroundColor(Color::rgba(0.13, 0.2, 0.33));
    kit::Label* title = addLabel(root, {{20, 40}, {728, 40}}, "A modal screen",
                                 kit::TextAlignment::Center, kit::Font::boldSystemFontOfSize(28));
    title->setTextColor(Color::white());
    kit::Label* note =
        addLabel(root, {{20, 90}, {728, 30}},
                 "It slid up over the whole screen and takes every touch while it shows.",
                 kit::TextAlignment::Center, kit::Font::systemFontOfSize(16));
    note->setTextColor(Color::rgba(0.8, 0.85, 0.95));
    auto field = std::make_unique<kit::TextField>(Size{400, 36});
    field->setCenter({384, 170});
    field->setBorderStyle(kit::BorderStyle::RoundedRect);
    field->setPlaceholder("Fields work here too");
    root->addSubview(std::move(field));
    kit::Button* close =
        addTextButton(root, {{284, 230}, {200, 44}}, "Close", Color::rgba(0.85, 0.3, 0.25));
    close->addAction([this] { dismissModalViewControllerAnimated(true); },
                     kit::ControlEvent::TouchUpInside);
  }
};

class TextPage : public kit::ViewController,
                 public kit::TextFieldDelegate,
                 public kit::AlertViewDelegate,
                 public kit::MailComposeViewControllerDelegate {
 public:
  ~TextPage() override { kit::NotificationCenter::defaultCenter().removeObserver(this); }

  void viewDidLoad() override {
    View* root = view();
    root->setBackgroundColor(Color::rgba(0.96, 0.96, 0.94));
    addFields(root);
    addToolbars(root);
    addAlertAndModal(root);
    auto& center = kit::NotificationCenter::defaultCenter();
    center.addObserver(
        this, [this](const kit::Notification&) { note("keyboard will show"); },
        kit::KeyboardWillShowNotification, nullptr);
    center.addObserver(
        this, [this](const kit::Notification&) { note("keyboard will hide"); },
        kit::KeyboardWillHideNotification, nullptr);
  }

  bool shouldChangeCharactersInRange(kit::TextField* field, kit::Range range,
                                     const std::string& replacement) override {
    std::string line = "field " + std::to_string(field->tag) + ": replace {" +
                       std::to_string(range.location) + ", " + std::to_string(range.length) +
                       "} with \"" + replacement + "\"";
    // The last field refuses digits, to show a filter at work.
    bool refused =
        field == fields_.back() && replacement.find_first_of("0123456789") != std::string::npos;
    editLabel_->setText(line + (refused ? "  (refused)" : ""));
    redraw();
    return !refused;
  }

  bool textFieldShouldReturn(kit::TextField* field) override {
    note("return in field " + std::to_string(field->tag));
    next();
    return true;
  }

  void clickedButtonAtIndex(kit::AlertView*, int index) override {
    note("alert button " + std::to_string(index));
  }

  void didFinishWithResult(kit::MailComposeViewController*, kit::MailComposeResult result,
                           const std::string&) override {
    static const char* const kResults[] = {"cancelled", "saved", "sent", "failed"};
    note(std::string("mail ") + kResults[static_cast<int>(result) & 3]);
    dismissModalViewControllerAnimated(true);
  }

  void prev() { step(-1); }
  void next() { step(1); }
  void done() {
    if (kit::Application* app = kit::Application::shared()) {
      if (kit::TextField* field = app->firstResponder()) field->resignFirstResponder();
    }
  }

 private:
  kit::TextField* addField(View* root, Rect frame, const std::string& placeholder) {
    auto field = std::make_unique<kit::TextField>(frame.size);
    field->setFrame(frame);
    field->setPlaceholder(placeholder);
    field->setBorderStyle(kit::BorderStyle::RoundedRect);
    field->delegate = this;
    field->tag = static_cast<int>(fields_.size()) + 1;
    kit::TextField* raw = root->addSubview(std::move(field));
    int tag = raw->tag;
    raw->addAction([this, tag] { note("field " + std::to_string(tag) + " did begin"); },
                   kit::ControlEvent::EditingDidBegin);
    raw->addAction([this, tag] { note("field " + std::to_string(tag) + " did end"); },
                   kit::ControlEvent::EditingDidEnd);
    fields_.push_back(raw);
    return raw;
  }

  void addFields(View* root) {
    addHeading(root, 8, "Text fields: keyboard types, secure entry, placeholders, alignment");
    addField(root, {{20, 50}, {228, 36}}, "Default keyboard");
    kit::TextField* email = addField(root, {{270, 50}, {228, 36}}, "E-mail address");
    email->keyboardType = kit::KeyboardType::EmailAddress;
    email->autocapitalizationType = kit::AutocapitalizationType::None;
    kit::TextField* number = addField(root, {{520, 50}, {228, 36}}, "Number pad");
    number->keyboardType = kit::KeyboardType::NumberPad;

    kit::TextField* secure = addField(root, {{20, 100}, {228, 36}}, "Password");
    secure->setSecureTextEntry(true);
    secure->autocapitalizationType = kit::AutocapitalizationType::None;
    kit::TextField* right = addField(root, {{270, 100}, {228, 36}}, "Right aligned");
    right->setTextAlignment(kit::TextAlignment::Right);
    right->setText("Already filled in");
    kit::TextField* plain = addField(root, {{520, 100}, {228, 36}}, "No border, no digits");
    plain->setBorderStyle(kit::BorderStyle::None);
    plain->setBackgroundColor(Color::rgba(1, 0.95, 0.75));
    plain->setTextAlignment(kit::TextAlignment::Center);
    plain->setFont(kit::Font::fontWithName("Helvetica", 20));
    plain->setTextColor(Color::rgba(0.55, 0.55, 0.55));

    editLabel_ = addLabel(root, {{20, 146}, {728, 22}}, "Type into a field: each edit shows here",
                          kit::TextAlignment::Left, kit::Font::systemFontOfSize(15));
    editLabel_->setTextColor(Color::rgba(0.2, 0.3, 0.6));
    eventLabel_ = addLabel(root, {{20, 170}, {728, 22}}, "", kit::TextAlignment::Left,
                           kit::Font::systemFontOfSize(15));
    eventLabel_->setTextColor(Color::rgba(0.4, 0.4, 0.4));
  }

  void addToolbars(View* root) {
    addHeading(root, 206, "Toolbars: bordered and done items, flexible space, bar styles");
    auto light = std::make_unique<kit::Toolbar>(Size{kit::kScreenWidth, 50});
    light->setCenter({384, 266});
    light->tintColor = Color::lightGray();
    light->setItems(items(false));
    root->addSubview(std::move(light));

    auto dark = std::make_unique<kit::Toolbar>(Size{kit::kScreenWidth, 50});
    dark->setCenter({384, 326});
    dark->barStyle = kit::BarStyle::Black;
    dark->tintColor = Color::rgba(0.16, 0.42, 0.9);
    dark->setItems(items(true));
    root->addSubview(std::move(dark));
  }

  std::vector<std::unique_ptr<kit::BarButtonItem>> items(bool withPlain) {
    using Style = kit::BarButtonItemStyle;
    std::vector<std::unique_ptr<kit::BarButtonItem>> list;
    list.push_back(
        std::make_unique<kit::BarButtonItem>("prev", Style::Bordered, this, &TextPage::prev));
    list.push_back(
        std::make_unique<kit::BarButtonItem>("next", Style::Bordered, this, &TextPage::next));
    list.push_back(std::make_unique<kit::BarButtonItem>(kit::BarButtonSystemItem::FlexibleSpace));
    if (withPlain) {
      list.push_back(
          std::make_unique<kit::BarButtonItem>("plain", Style::Plain, this, &TextPage::plainItem));
      list.push_back(std::make_unique<kit::BarButtonItem>(kit::BarButtonSystemItem::FlexibleSpace));
    }
    list.push_back(
        std::make_unique<kit::BarButtonItem>("done", Style::Done, this, &TextPage::done));
    for (size_t i = 0; i < list.size(); ++i) list[i]->tag = static_cast<int>(i);
    return list;
  }

  void plainItem() { note("plain item"); }

  void addAlertAndModal(View* root) {
    addHeading(root, 372, "Alerts and modal screens");
    kit::Button* alert =
        addTextButton(root, {{20, 414}, {230, 44}}, "Show an alert", Color::rgba(0.2, 0.5, 0.9));
    alert->addAction(
        [this] {
          kit::AlertView::show(std::make_unique<kit::AlertView>(
                                   "Email", "Sending Failed - Unknown Error :-(", this, "OK"),
                               *view());
        },
        kit::ControlEvent::TouchUpInside);
    kit::Button* modal = addTextButton(root, {{270, 414}, {230, 44}}, "Present a modal screen",
                                       Color::rgba(0.3, 0.6, 0.35));
    modal->addAction([this] { presentModalViewController(std::make_unique<ModalPage>(), true); },
                     kit::ControlEvent::TouchUpInside);
    kit::Button* mail =
        addTextButton(root, {{520, 414}, {230, 44}}, "Compose a mail", Color::rgba(0.45, 0.3, 0.7));
    mail->addAction([this] { composeMail(); }, kit::ControlEvent::TouchUpInside);
  }

  // The mail composer with a subject, a body of several lines and one attachment.
  void composeMail() {
    auto composer = std::make_unique<kit::MailComposeViewController>();
    composer->mailComposeDelegate = this;
    composer->setSubject("Gallery test");
    composer->setMessageBody(
        "A body of\nseveral lines, wrapped at the view's width when they "
        "are longer than it is wide.",
        false);
    composer->addAttachmentData("a,b\r\n1,2\r\n", "text/csv", "numbers.csv");
    presentModalViewController(std::move(composer), true);
  }

  // Moves the keyboard to the next or previous field, round the six.
  void step(int direction) {
    kit::Application* app = kit::Application::shared();
    if (!app) return;
    int count = static_cast<int>(fields_.size());
    int index = 0;
    for (int i = 0; i < count; ++i) {
      if (fields_[static_cast<size_t>(i)] == app->firstResponder()) index = i + direction;
    }
    fields_[static_cast<size_t>((index + count) % count)]->becomeFirstResponder();
  }

  void note(const std::string& line) {
    events_.push_back(line);
    if (events_.size() > 3) events_.erase(events_.begin());
    std::string text;
    for (const auto& e : events_) text += (text.empty() ? "" : "  ·  ") + e;
    eventLabel_->setText(text);
    redraw();
  }

  std::vector<kit::TextField*> fields_;
  std::vector<std::string> events_;
  kit::Label* editLabel_ = nullptr;
  kit::Label* eventLabel_ = nullptr;
};

}  // namespace

std::unique_ptr<kit::ViewController> makeTextPage() {
  return std::make_unique<TextPage>();
}
