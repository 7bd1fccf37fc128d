#include "kit/mail/MailComposeViewController.h"

#include <cairo.h>
#include <glib.h>

#include <algorithm>
#include <cerrno>
#include <cmath>

#include "kit/base/Files.h"
#include "kit/base/Log.h"
#include "kit/base/NotificationCenter.h"
#include "kit/graphics/Drawing.h"
#include "kit/graphics/TextDrawing.h"
#include "kit/mail/MailTransport.h"
#include "kit/mail/Outbox.h"
#include "kit/text/Keyboard.h"
#include "kit/text/TextView.h"
#include "kit/ui/Label.h"
#include "kit/ui/NavigationBar.h"
#include "kit/ui/Screen.h"

namespace kit {

namespace {

constexpr double kBarHeight = 44;
constexpr double kRowHeight = 44;
constexpr double kAttachmentRowHeight = 60;
constexpr double kMargin = 12;
constexpr double kFieldStart = 100;
constexpr double kChoiceWidth = 260;
constexpr double kChoiceHeight = 52;
const Color kLabelColor = Color::rgba(0.5, 0.5, 0.53);
const Color kSeparatorColor = Color::rgba(0.82, 0.82, 0.84);
const Font kFieldFont = Font::systemFontOfSize(17);
const char* const kWaitsInOutbox =
    "It waits in the outbox: staff send it from the signed-in staff screen.";

// Twelve spokes turning, one step a twelfth of a second: the bar's sign that a send is under way.
class ActivityIndicator : public View {
 public:
  ActivityIndicator() : View({24, 24}) { userInteractionEnabled = false; }
  void draw(cairo_t* cr) const override {
    Screen* screen = this->screen();
    double now = screen ? screen->clock().now() : 0;
    int step = static_cast<int>(std::floor(now * 12)) % 12;
    for (int i = 0; i < 12; ++i) {
      double angle = (i * 30.0) * M_PI / 180.0;
      double fade = static_cast<double>((i - step + 12) % 12) / 12.0;
      cairo_move_to(cr, 12 + 6 * std::sin(angle), 12 - 6 * std::cos(angle));
      cairo_line_to(cr, 12 + 11 * std::sin(angle), 12 - 11 * std::cos(angle));
      cairo_set_source_rgba(cr, 1, 1, 1, 1 - 0.8 * fade);
      cairo_set_line_width(cr, 2.5);
      cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
      cairo_stroke(cr);
    }
    if (screen) screen->setNeedsDisplayAt((std::floor(now * 12) + 1) / 12, *this, bounds());
  }
};

// One attachment: a document icon, its file name and its size.
class AttachmentRow : public View {
 public:
  AttachmentRow(Size size, std::string name, std::string detail)
      : View(size), name_(std::move(name)), detail_(std::move(detail)) {
    setBackgroundColor(Color::white());
    userInteractionEnabled = false;
  }
  void draw(cairo_t* cr) const override {
    View::draw(cr);
    Rect icon{{kMargin, (size_.height - 40) / 2}, {32, 40}};
    roundedRect(cr, icon, 3);
    setColor(cr, Color::rgba(0.93, 0.95, 0.98));
    cairo_fill_preserve(cr);
    setColor(cr, Color::rgba(0.55, 0.6, 0.7));
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    for (int line = 0; line < 4; ++line) {
      cairo_rectangle(cr, icon.minX() + 7, icon.minY() + 10 + line * 6, 18, 2);
    }
    cairo_fill(cr);
    double x = icon.maxX() + kMargin;
    drawTextLine(cr, name_, Font::boldSystemFontOfSize(16), Color::rgba(0.1, 0.1, 0.12),
                 TextAlignment::Left, {{x, 8}, {size_.width - x - kMargin, 22}});
    drawTextLine(cr, detail_, Font::systemFontOfSize(14), kLabelColor, TextAlignment::Left,
                 {{x, 30}, {size_.width - x - kMargin, 20}});
  }

 private:
  std::string name_;
  std::string detail_;
};

}  // namespace

// What Cancel offers: a box under the bar's Cancel with "Delete Draft" and "Save Draft"; a tap
// anywhere else goes back to editing.
class MailComposeViewController::DraftChoices : public View {
 public:
  explicit DraftChoices(MailComposeViewController* composer, Size size)
      : View(size), composer_(composer) {}

  static Rect choiceFrame(int index) {
    return {{8, kBarHeight + 4 + index * kChoiceHeight}, {kChoiceWidth, kChoiceHeight}};
  }

  void touchesBegan(const TouchSet& touches, const Event*) override { track(touches); }
  void touchesMoved(const TouchSet& touches, const Event*) override { track(touches); }
  void touchesEnded(const TouchSet& touches, const Event*) override {
    track(touches);
    int chosen = pressed_;
    pressed_ = -1;
    // Each choice may take this view away, so it runs last.
    MailComposeViewController* composer = composer_;
    if (chosen == 0) {
      composer->deleteDraft();
    } else if (chosen == 1) {
      composer->saveDraft();
    } else {
      composer->keepEditing();
    }
  }

  void draw(cairo_t* cr) const override {
    cairo_rectangle(cr, 0, 0, size_.width, size_.height);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.25);
    cairo_fill(cr);
    Rect box{choiceFrame(0).origin, {kChoiceWidth, 2 * kChoiceHeight}};
    roundedRect(cr, {{box.minX() - 1, box.minY() + 2}, {box.size.width + 2, box.size.height}}, 10);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.25);
    cairo_fill(cr);
    roundedRect(cr, box, 10);
    cairo_set_source_rgb(cr, 0.97, 0.97, 0.98);
    cairo_fill(cr);
    static const char* const kTitles[] = {"Delete Draft", "Save Draft"};
    for (int i = 0; i < 2; ++i) {
      Rect r = choiceFrame(i);
      if (i == pressed_) {
        cairo_save(cr);
        roundedRect(cr, box, 10);
        cairo_clip(cr);
        cairo_rectangle(cr, r.minX(), r.minY(), r.size.width, r.size.height);
        cairo_set_source_rgb(cr, 0.85, 0.86, 0.88);
        cairo_fill(cr);
        cairo_restore(cr);
      }
      if (i > 0) {
        cairo_rectangle(cr, r.minX(), r.minY(), r.size.width, 1);
        setColor(cr, kSeparatorColor);
        cairo_fill(cr);
      }
      Color ink = i == 0 ? Color::rgba(0.9, 0.15, 0.15) : Color::rgba(0.0, 0.45, 0.95);
      drawTextLine(cr, kTitles[i], Font::boldSystemFontOfSize(18), ink, TextAlignment::Center, r);
    }
  }

 private:
  void track(const TouchSet& touches) {
    const Touch* touch = touches.anyObject();
    int over = -1;
    for (int i = 0; touch && i < 2; ++i) {
      if (choiceFrame(i).contains(touch->locationInView(this))) over = i;
    }
    if (over != pressed_) {
      pressed_ = over;
      setNeedsDisplay();
    }
  }

  MailComposeViewController* composer_;
  int pressed_ = -1;
};

// The bar exists from the start, so that it can be set up before the composer is shown; the rest
// of the screen is built as it is presented.
MailComposeViewController::MailComposeViewController()
    : barOwned_(std::make_unique<NavigationBar>(Size{kScreenWidth, kBarHeight})),
      bar_(barOwned_.get()) {}

MailComposeViewController::~MailComposeViewController() {
  NotificationCenter::defaultCenter().removeObserver(this);
}

void MailComposeViewController::setToRecipients(const std::vector<std::string>& recipients) {
  draft_.toRecipients = recipients;
  if (to_) to_->setText(joinedAddresses(recipients));
  updateBar();
}

void MailComposeViewController::setCcRecipients(const std::vector<std::string>& recipients) {
  draft_.ccRecipients = recipients;
  if (cc_) cc_->setText(joinedAddresses(recipients));
  updateBar();
}

void MailComposeViewController::setSubject(const std::string& subject) {
  draft_.subject = subject;
  if (subject_) subject_->setText(subject);
  updateBar();
}

void MailComposeViewController::setMessageBody(const std::string& body, bool isHTML) {
  draft_.body = body;
  draft_.bodyIsHTML = isHTML;
  if (body_) body_->setText(isHTML ? htmlToText(body) : body);
}

void MailComposeViewController::addAttachmentData(std::string data, const std::string& mimeType,
                                                  const std::string& fileName) {
  draft_.attachments.push_back({std::move(data), mimeType, fileName});
  // The attachments are shown as the view is built: the rows come from this list then.
}

void MailComposeViewController::addAttachmentFile(std::shared_ptr<const FileReader> file,
                                                  std::uint64_t length, const std::string& mimeType,
                                                  const std::string& fileName) {
  draft_.attachments.push_back({"", mimeType, fileName, std::move(file), length});
}

void MailComposeViewController::addHeader(const std::string& name, const std::string& value) {
  draft_.headers.push_back({name, value});
}

NavigationBar* MailComposeViewController::navigationBar() {
  return bar_;
}

MailMessage MailComposeViewController::message() {
  view();
  MailMessage message = draft_;
  message.toRecipients = parseAddressList(to_->text());
  message.ccRecipients = parseAddressList(cc_->text());
  message.subject = subject_->text();
  // An HTML body goes as it was given unless it was edited.
  std::string shown = draft_.bodyIsHTML ? htmlToText(draft_.body) : draft_.body;
  if (body_->text() != shown) {
    message.body = draft_.bodyIsHTML ? textToHtml(body_->text()) : body_->text();
  }
  return message;
}

bool MailComposeViewController::canSend() {
  view();
  return canSendTo(to_->text(), cc_->text());
}

void MailComposeViewController::loadView() {
  ViewController::loadView();
  view_->setBackgroundColor(Color::white());
}

void MailComposeViewController::viewDidLoad() {
  double width = view_->bounds().size.width;
  view_->addSubview(std::move(barOwned_));
  bar_->setCenter({width / 2, kBarHeight / 2});
  std::vector<std::unique_ptr<BarButtonItem>> items;
  items.push_back(std::make_unique<BarButtonItem>("Cancel", BarButtonItemStyle::Bordered, this,
                                                  &MailComposeViewController::cancel));
  items.push_back(std::make_unique<BarButtonItem>(BarButtonSystemItem::FlexibleSpace));
  items.push_back(std::make_unique<BarButtonItem>("Send", BarButtonItemStyle::Done, this,
                                                  &MailComposeViewController::send));
  bar_->tintColor = Color::rgba(0.1, 0.42, 0.92);
  bar_->setItems(std::move(items));
  activity_ = bar_->addSubview(std::make_unique<ActivityIndicator>());
  activity_->setCenter({width - 110, kBarHeight / 2});
  activity_->setHidden(true);

  double y = kBarHeight;
  auto addSeparator = [&](double at) {
    View* line = view_->addSubview(std::make_unique<View>(Size{width - kMargin, 1}));
    line->setBackgroundColor(kSeparatorColor);
    line->setCenter({kMargin + (width - kMargin) / 2, at - 0.5});
  };
  auto addRow = [&](const std::string& title, KeyboardType keyboard,
                    AutocapitalizationType capitalization, const std::string& text) {
    auto* label =
        view_->addSubview(std::make_unique<Label>(Size{kFieldStart - kMargin, kRowHeight}));
    label->setText(title);
    label->setFont(kFieldFont);
    label->setTextColor(kLabelColor);
    label->setCenter({kMargin + (kFieldStart - kMargin) / 2, y + kRowHeight / 2});
    double fieldWidth = width - kFieldStart - kMargin;
    auto* field = view_->addSubview(std::make_unique<TextField>(Size{fieldWidth, kRowHeight}));
    field->setCenter({kFieldStart + fieldWidth / 2, y + kRowHeight / 2});
    field->setFont(kFieldFont);
    field->keyboardType = keyboard;
    field->autocapitalizationType = capitalization;
    field->autocorrectionType = AutocorrectionType::No;
    field->setText(text);
    field->addAction([this] { updateBar(); }, ControlEvent::EditingChanged);
    y += kRowHeight;
    addSeparator(y);
    return field;
  };
  to_ = addRow("To:", KeyboardType::EmailAddress, AutocapitalizationType::None,
               joinedAddresses(draft_.toRecipients));
  cc_ = addRow("Cc:", KeyboardType::EmailAddress, AutocapitalizationType::None,
               joinedAddresses(draft_.ccRecipients));
  subject_ =
      addRow("Subject:", KeyboardType::Default, AutocapitalizationType::Sentences, draft_.subject);
  for (const MailAttachment& attachment : draft_.attachments) {
    auto* row = view_->addSubview(std::make_unique<AttachmentRow>(
        Size{width, kAttachmentRowHeight}, attachment.fileName,
        readableSize(attachment.size()) + " \u00b7 " + attachment.mimeType));
    row->setCenter({width / 2, y + kAttachmentRowHeight / 2});
    y += kAttachmentRowHeight;
    addSeparator(y);
  }
  double bodyHeight = view_->bounds().size.height - y;
  body_ = view_->addSubview(std::make_unique<TextView>(Size{width, bodyHeight}));
  body_->setCenter({width / 2, y + bodyHeight / 2});
  body_->setFont(kFieldFont);
  body_->setText(draft_.bodyIsHTML ? htmlToText(draft_.body) : draft_.body);

  NotificationCenter& center = NotificationCenter::defaultCenter();
  center.addObserver(this, &MailComposeViewController::keyboardWillShow,
                     KeyboardWillShowNotification, nullptr);
  center.addObserver(this, &MailComposeViewController::keyboardWillHide,
                     KeyboardWillHideNotification, nullptr);
  updateBar();
}

void MailComposeViewController::viewWillAppear() {
  // The composer opens with the keyboard on the first recipient field.
  to_->becomeFirstResponder();
}

void MailComposeViewController::updateBar() {
  if (!isViewLoaded()) return;
  bool sendable = !sending_ && !finished_ && canSend();
  auto& items = bar_->items();
  items.front()->enabled = !finished_ && !(cancellation_ && cancellation_->isCancelled());
  items.back()->enabled = sendable;
  if (sending_) {
    bar_->setTitle(savingDraft_ ? "Saving\u2026" : "Sending\u2026");
  } else {
    bar_->setTitle(subject_->text().empty() ? "New Message" : subject_->text());
  }
  activity_->setHidden(!sending_);
  bar_->setNeedsDisplay();  // the items' enabled flags
}

// The body ends at the keyboard's top edge while it shows, so that its caret stays in sight.
void MailComposeViewController::keyboardWillShow() {
  Rect frame = body_->frame();
  double bottom = view_->bounds().size.height - kKeyboardHeight;
  body_->setFrame({frame.origin, {frame.size.width, std::max(bottom - frame.minY(), kRowHeight)}});
}

void MailComposeViewController::keyboardWillHide() {
  Rect frame = body_->frame();
  body_->setFrame({frame.origin, {frame.size.width, view_->bounds().size.height - frame.minY()}});
}

void MailComposeViewController::cancel() {
  if (sending_ && cancellation_) {
    // The transport is stopped; the message then waits in the outbox.
    cancellation_->cancel();
    return;
  }
  if (sending_ || finished_ || choices_) return;
  resignFocus();
  choices_ = view_->addSubview(std::make_unique<DraftChoices>(this, view_->bounds().size));
  choices_->setCenter(view_->bounds().center());
}

void MailComposeViewController::resignFocus() {
  Screen* screen = view_->screen();
  if (Responder* focused = screen ? screen->firstResponder() : nullptr) {
    focused->resignFirstResponder();
  }
}

void MailComposeViewController::keepEditing() {
  if (!choices_) return;
  // Taken off the screen from the run loop: this runs inside the choices' own touch handler.
  View* going = choices_;
  choices_ = nullptr;
  going->setHidden(true);
  std::weak_ptr<const void> alive = going->weakReference();
  Screen* screen = going->screen();
  if (!screen) return;
  screen->runLoop().post([going, alive] {
    if (!alive.expired()) going->removeFromSuperview();
  });
}

void MailComposeViewController::deleteDraft() {
  keepEditing();
  finish(MailComposeResult::Cancelled, "");
}

void MailComposeViewController::saveDraft() {
  keepEditing();
  // Written on another thread, as a message is sent: a large attachment takes a while to encode
  // and flush to disk, and the screen keeps drawing meanwhile.
  Screen* screen = view_->screen();
  if (!screen) return;
  sending_ = savingDraft_ = true;
  view_->userInteractionEnabled = false;
  updateBar();
  std::weak_ptr<const void> alive = weakReference();
  screen->runLoop().runInBackground(
      [this, alive, screen, message = message(), sender = mailSettings().sender] {
        FileStatus kept = outbox::keep(message, sender);
        return [this, alive, screen, kept] {
          if (alive.expired()) return;
          sending_ = savingDraft_ = false;
          view_->userInteractionEnabled = true;
          if (!kept) {
            updateBar();
            draftNotSaved(kept.error);
            return;
          }
          // The delegate may take the composer away: the alert shows over the screen.
          finish(MailComposeResult::Saved, "");
          AlertView::show(std::make_unique<AlertView>("Draft Saved", kWaitsInOutbox, nullptr, "OK"),
                          *screen);
        };
      });
}

// Nothing was saved, so the draft stays open for another choice.
void MailComposeViewController::draftNotSaved(const std::string& error) {
  log("Draft not saved: %s", error.c_str());
  AlertView::show(std::make_unique<AlertView>("Draft Not Saved", error, nullptr, "OK"), *view_);
}

void MailComposeViewController::send() {
  if (sending_ || finished_ || !canSend()) return;
  resignFocus();
  Screen* screen = view_->screen();
  if (!screen) return;
  sending_ = true;
  setEditable(false);
  updateBar();
  // The message is built and handed over on another thread: a large attachment takes a while to
  // encode, and the transport may take long to answer. The screen keeps drawing meanwhile. A
  // message that does not go is kept in the outbox there and then.
  cancellation_ = std::make_shared<SendCancellation>();
  std::weak_ptr<const void> alive = weakReference();
  screen->runLoop().runInBackground([this, alive, message = message(), settings = mailSettings(),
                                     cancellation = cancellation_]() -> std::function<void()> {
    MailDelivery delivery =
        deliverWithSendmail(message, settings.sender, settings, cancellation.get());
    FileStatus kept = delivery.sent ? FileStatus::success()
                                    : outbox::keep(message, settings.sender, delivery.error);
    return [this, alive, delivery, kept] {
      if (!alive.expired()) didSend(delivery, kept);
    };
  });
}

void MailComposeViewController::didSend(const MailDelivery& delivery, const FileStatus& kept) {
  sending_ = false;
  cancellation_.reset();
  setEditable(true);
  if (delivery.sent) {
    finish(MailComposeResult::Sent, "");
    return;
  }
  std::string logged = delivery.error;
  std::replace(logged.begin(), logged.end(), '\n', ' ');
  log("Message not sent: %s", logged.c_str());
  if (!kept) log("Message not kept: %s", kept.error.c_str());
  sendError_ = delivery.error;
  updateBar();
  std::string text = delivery.error + "\n\n" +
                     (kept ? kWaitsInOutbox : "It could not be kept either: " + kept.error);
  AlertView::show(std::make_unique<AlertView>("Message Not Sent", text, this, "OK"), *view_);
}

// While a message is being sent only the bar's Cancel takes touches.
void MailComposeViewController::setEditable(bool editable) {
  for (View* field : std::initializer_list<View*>{to_, cc_, subject_, body_}) {
    field->userInteractionEnabled = editable;
  }
}

void MailComposeViewController::clickedButtonAtIndex(AlertView*, int) {
  finish(MailComposeResult::Failed, sendError_);
}

void MailComposeViewController::finish(MailComposeResult result, const std::string& error) {
  if (finished_) return;
  finished_ = true;
  updateBar();
  if (!mailComposeDelegate) return;
  // A delegate that is an Object is only told while it exists.
  auto* object = dynamic_cast<Object*>(mailComposeDelegate);
  if (object && object->weakReference().expired()) return;
  mailComposeDelegate->didFinishWithResult(this, result, error);
}

}  // namespace kit
