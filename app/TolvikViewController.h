#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "admin/EmailExport.h"
#include "app/KioskSettings.h"
#include "kit/base/Files.h"
#include "kit/base/NotificationCenter.h"
#include "kit/base/RemovableDrives.h"
#include "kit/text/TextField.h"
#include "kit/ui/ImageView.h"
#include "kit/ui/Label.h"
#include "kit/ui/Toolbar.h"
#include "kit/ui/ViewController.h"

class AdminView;
class RadioBtn;
namespace kit {
class Button;
}

// The kiosk's one controller: it owns every view, table and shared value, and every user action
// reaches it as a message. Its operations are defined in the folder of the subsystem they belong
// to (form/, admin/); view loading and the lifecycle are here in app/.
class TolvikViewController : public kit::ViewController,
                             public kit::TextFieldDelegate,
                             public kit::AlertViewDelegate {
 public:
  TolvikViewController() = default;
  ~TolvikViewController() override;

  // Lifecycle (app/).
  void viewDidLoad() override;
  void viewDidUnload() override {}
  bool shouldAutorotateToInterfaceOrientation(kit::InterfaceOrientation orientation) override;
  void didReceiveMemoryWarning() override;

  // Keyboard toolbar and field navigation (form/KeyboardNavigation.cpp).
  void keyboardWillShow(const kit::Notification& notification);
  void keyboardWillHide(const kit::Notification& notification);
  void nextClicked();
  void prevClicked();
  void doneClicked();
  void hideKeyboard();

  // Required markers and labels (form/RequiredSignals.cpp).
  void showReqText(kit::Label* label);
  void hideReqText(const std::string& animationID, bool finished, void* context);
  void showReq(kit::ImageView* marker);
  void showReq2(const std::string& animationID, bool finished, void* context);
  void showReq3(const std::string& animationID, bool finished, void* context);
  void hideReq(const std::string& animationID, bool finished, void* context);

  // Submission, thank-you screen, reset and the answers' rules (form/Submission.cpp).
  void submitForm();
  void resetForm();
  // An answer button was tapped: it turns on (or, in the multiple-choice group, on or off).
  void answerTapped(RadioBtn* button);
  void updateButtons(RadioBtn* b);

  // Taps that no control takes, handed to the form or the staff screen (app/TouchRouting.cpp).
  void touchesBegan(const kit::TouchSet& touches, const kit::Event* withEvent) override;
  void touchesEnded(const kit::TouchSet& touches, const kit::Event* withEvent) override;

  // Record and data file (form/RecordWriting.cpp). The writer reports whether the record is
  // on disk.
  std::string appendFormData();
  kit::FileStatus writeContents(const std::string& contents, const std::string& toFile);

  // Entry rules (form/FieldEntry.cpp).
  bool shouldChangeCharactersInRange(kit::TextField* textField, kit::Range range,
                                     const std::string& replacementString) override;
  void formatGender();
  void formatPhone();
  void clearFormatPhone();

  // Validation (form/FormValidation.cpp).
  bool contentIsGood();
  bool emailIsValid();

  // State lookups by list index 0 to 50, in the order of the postal codes; an empty string for
  // any other index (controls/StateTables.cpp).
  static std::string getState(int index);
  static std::string getFullState(int index);

  // Administration screen (admin/AdminScreen.cpp).
  void showAdmin();
  void showForm();
  void hideAdminKeyboard();

  // The kiosk left alone (form/Unattended.cpp): an abandoned form is cleared after "Still
  // there?" goes unanswered, idle staff are signed out, and the thank-you screen may return by
  // itself. Looks at the screen now, acts when its time has run out, and comes back when the
  // next time may. Called once the view has loaded; it keeps itself going.
  void checkIdle();

  // Export by e-mail (admin/EmailExport.cpp), started from the staff screen.
  // A sent message is the last export; a failed or cancelled one, or a saved draft, now waits in
  // the outbox: the exports card shows either.
  EmailExport emailExport{*this, [this](const std::optional<EmailExport::Sent>& sent) {
                            if (sent) recordExport("e-mail", sent->to, sent->responses);
                            showExports();
                          }};

  // The exports card: the last export and what was stored since, and mail waiting in the outbox,
  // sent on request or every few minutes (admin/WaitingMail.cpp).
  void showExports();
  void sendWaitingMail();
  void retryWaitingMail();
  // Keeps an export that succeeded as the last one ("e-mail" or "USB stick"), in the state file
  // beside the data file, and shows it.
  void recordExport(const std::string& kind, const std::string& destination,
                    std::uint64_t responses);
  // Its USB stick (admin/DriveCopy.cpp): the first removable drive mounted is offered, the data
  // file copied to it as a new file and checked, and the drive ejected, on staff's request.
  void showDrive();
  void copyToDrive();
  void ejectDrive();

  AdminView* admin = nullptr;
  kit::View* formView = nullptr;
  kit::View* thankyouView = nullptr;
  std::vector<RadioBtn*> buttonsArray;
  std::vector<std::string> answersTextArray;
  std::vector<std::string> questionsTextArray;
  kit::Button* submit = nullptr;
  kit::TextField* firstName = nullptr;
  kit::TextField* lastName = nullptr;
  kit::TextField* phone = nullptr;
  std::string phoneNum;
  kit::TextField* email = nullptr;
  kit::TextField* gender = nullptr;
  kit::TextField* age = nullptr;
  kit::Label* rt1 = nullptr;
  kit::Label* rt2 = nullptr;
  kit::Label* rt3 = nullptr;
  kit::Label* rt4 = nullptr;
  kit::ImageView* r1 = nullptr;
  kit::ImageView* r2 = nullptr;
  kit::ImageView* r3 = nullptr;
  kit::ImageView* r4 = nullptr;
  std::vector<std::string> rY;
  RadioBtn* btn0 = nullptr;
  RadioBtn* btn1 = nullptr;
  RadioBtn* btn2 = nullptr;
  RadioBtn* btn3 = nullptr;
  RadioBtn* btn4 = nullptr;
  RadioBtn* btn5 = nullptr;
  RadioBtn* btn6 = nullptr;
  RadioBtn* btn7 = nullptr;
  RadioBtn* btn8 = nullptr;
  RadioBtn* btn9 = nullptr;
  RadioBtn* btn10 = nullptr;
  RadioBtn* btn11 = nullptr;
  std::string formData;
  int currTextField = 0;
  kit::Toolbar* toolbar = nullptr;
  // The key files' settings, set before the view loads.
  KioskSettings settings;
  bool sendingWaitingMail = false;
  std::unique_ptr<kit::RemovableDrives> drives;
  bool driveBusy = false;  // a copy or an eject under way

 private:
  // View loading, step by step (app/ViewLoading.cpp).
  void makeThankyouView();
  void makeFormView();
  void makeEntryFields();
  void makeAnswerButtons();
  void makeRequiredMarkers();
  void makeRequiredLabels();
  void makeAdminView();
  void makeHiddenTapArea();
  void makeKeyboardToolbar();

  // The kiosk left alone (form/Unattended.cpp).
  bool formHasVisitorInput();
  void askStillThere();
  void clearAbandonedForm();
  void signOutIdleStaff();
  // Every alert on the screen goes, without telling its delegate.
  void dismissAlerts();
  double idleCheckInterval() const;
  // The "Still there?" alert while it shows, and since when.
  kit::AlertView* stillThere_ = nullptr;
  std::weak_ptr<const void> stillThereAlive_;
  double stillThereShownAt_ = 0;
  // The last time a screen was seen busy (a mail being written or sent): idle time counts from
  // then, as from a touch.
  double busySince_ = 0;
};
