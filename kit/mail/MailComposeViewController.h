#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "kit/base/Files.h"
#include "kit/mail/MailMessage.h"
#include "kit/mail/MailTransport.h"
#include "kit/ui/AlertView.h"
#include "kit/ui/NavigationBar.h"
#include "kit/ui/ViewController.h"

namespace kit {

class Label;
class TextField;
class TextView;
class View;

enum class MailComposeResult { Cancelled = 0, Saved = 1, Sent = 2, Failed = 3 };

class MailComposeViewController;

class MailComposeViewControllerDelegate {
 public:
  virtual ~MailComposeViewControllerDelegate() = default;
  // Sent exactly once, when the person leaves the composer; the delegate then dismisses it.
  // `error` says why a send failed, and is empty otherwise.
  virtual void didFinishWithResult(MailComposeViewController* controller, MailComposeResult result,
                                   const std::string& error) = 0;
};

// A full-screen mail composer, presented modally: a bar with Cancel, a title and Send; "To:",
// "Cc:" and "Subject:" fields; the attachments with their names and sizes; an editable body. The
// "To:" field has the keyboard when it opens. Send is enabled while every typed address is well
// formed and there is at least one; it hands the message to the system's mail transport on
// another thread and shows that it is sending; Cancel then stops the transport. A send that fails
// or is cancelled keeps the message in the outbox (kit/mail/Outbox.h) and is shown in an alert
// "Message Not Sent" with the transport's error and where the message waits, before the composer
// finishes. Cancel offers to delete the draft, to save it to the outbox (an alert says so) or to
// go back to editing.
class MailComposeViewController : public ViewController, public AlertViewDelegate {
 public:
  MailComposeViewController();
  ~MailComposeViewController() override;

  MailComposeViewControllerDelegate* mailComposeDelegate = nullptr;

  void setToRecipients(const std::vector<std::string>& recipients);
  void setCcRecipients(const std::vector<std::string>& recipients);
  void setSubject(const std::string& subject);
  void setMessageBody(const std::string& body, bool isHTML);
  void addAttachmentData(std::string data, const std::string& mimeType,
                         const std::string& fileName);
  // Attaches the first `length` bytes of an open file, read a piece at a time whenever the
  // message is written (sent or saved as a draft), never held whole.
  void addAttachmentFile(std::shared_ptr<const FileReader> file, std::uint64_t length,
                         const std::string& mimeType, const std::string& fileName);
  // A further header field of the message (an "X-" field of the program's own).
  void addHeader(const std::string& name, const std::string& value);
  NavigationBar* navigationBar();

  // The message as it would go now, with what has been typed.
  MailMessage message();
  bool canSend();
  bool isSending() const { return sending_; }

  // The bar's actions.
  void cancel();
  void send();

  void loadView() override;
  void viewDidLoad() override;
  void viewWillAppear() override;
  void clickedButtonAtIndex(AlertView* alertView, int buttonIndex) override;

 private:
  class DraftChoices;
  void deleteDraft();
  void saveDraft();
  void draftNotSaved(const std::string& error);
  void keepEditing();
  // The field with the keyboard, if any, lets it go.
  void resignFocus();
  void didSend(const MailDelivery& delivery, const FileStatus& kept);
  void setEditable(bool editable);
  void finish(MailComposeResult result, const std::string& error);
  void updateBar();
  void keyboardWillShow();
  void keyboardWillHide();

  MailMessage draft_;                        // what was set up before the view was built
  std::unique_ptr<NavigationBar> barOwned_;  // until the view is built
  NavigationBar* bar_;
  TextField* to_ = nullptr;
  TextField* cc_ = nullptr;
  TextField* subject_ = nullptr;
  TextView* body_ = nullptr;
  View* activity_ = nullptr;
  DraftChoices* choices_ = nullptr;
  std::string sendError_;
  std::shared_ptr<SendCancellation> cancellation_;  // while sending
  bool sending_ = false;                            // a message is being sent, or saved as a draft
  bool savingDraft_ = false;
  bool finished_ = false;
};

}  // namespace kit
