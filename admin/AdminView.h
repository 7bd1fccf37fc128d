#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "kit/text/TextField.h"
#include "kit/ui/ImageView.h"
#include "kit/ui/Label.h"
#include "kit/ui/View.h"

class ExportPanel;

// The staff screen that lies hidden above the form: a sign-in panel and, above it, a signed-in
// panel. Which panel is active is carried by alpha alone, so only the visible one takes touches.
// It knows nothing of the controller and reaches it through the notifications "EmailData",
// "ReturnToForm" and "SignedIn", posted with itself as the object.
class AdminView : public kit::View {
 public:
  using kit::View::View;

  // Builds the two panels with their pictures, fields and buttons.
  void initAdminView();
  // The user-name field takes the keyboard.
  void showKeyboard();
  // The user-name field gives the keyboard up (only that field).
  void hideKeyboard();
  // Sign-in button: the exact user name and password (the key file's, else the built-in one)
  // cross-fade to the signed-in panel; a wrong pair shows a short message under the fields for a
  // few seconds, and the fields keep their text. Signing in posts "SignedIn".
  void checkPass();
  // Both return buttons: back to the sign-in panel with empty fields, then "ReturnToForm".
  void returnToMain();
  // Submit-data button: "EmailData".
  void emailInfo();

  kit::View* loginView = nullptr;
  kit::View* loggedInView = nullptr;
  kit::ImageView* bg_login = nullptr;
  kit::ImageView* bg_loggedIn = nullptr;
  kit::TextField* user = nullptr;
  kit::TextField* pass = nullptr;
  // How many responses the data file holds and its size, read as the signed-in panel appears.
  kit::Label* storedResponses = nullptr;
  // Under it, how many of them the office's database holds, from the forwarder's state file: read
  // as the panel appears and every second while it shows. Hidden when no database is set.
  kit::Label* sentToOffice = nullptr;
  // Who may sign in, set before the panels are built: the user name, and the crypt(3) hash of the
  // password from the key file; without a hash the built-in password holds, and the signed-in
  // panel says so in `builtInPasswordNote` (nullptr otherwise).
  std::string staffUser = "kiosk";
  std::string passwordHash;
  kit::Label* builtInPasswordNote = nullptr;
  // "Wrong user name or password.", under the fields for a few seconds after a refused sign-in.
  kit::Label* wrongPair = nullptr;
  // The second card: exports, mail waiting, a USB stick.
  ExportPanel* exports = nullptr;

 private:
  void showStoredResponses();
  void showSentToOffice();
  void showWrongPair();
  // The office's line and the built-in password's note, one under the other below the stored
  // responses' line, inside the card whatever their lengths.
  void layOutStatusLines();
  bool refreshingOffice_ = false;
  // The data file as last counted for the office's line, so that only a change is counted again.
  std::string countedFile_;
  std::uint64_t countedSize_ = 0;
  std::size_t countedResponses_ = 0;
};
