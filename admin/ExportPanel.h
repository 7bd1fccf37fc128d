#pragma once

#include <string>

#include "kit/ui/Button.h"
#include "kit/ui/Label.h"
#include "kit/ui/View.h"

// The header field of an exported message that says how many responses its data file held, so
// that one sent later from the outbox still tells.
inline constexpr const char* kResponsesHeader = "X-Tolvik-Responses";

// The signed-in panel's second card: the last export and what was stored since, mail waiting in
// the outbox, and a removable drive to copy the data file to. Its buttons post "SendWaitingMail",
// "CopyToDrive" and "EjectDrive" with the card as the object; the controller fills in its texts.
// The staff screen's text.
inline const kit::Color kStaffInk = kit::Color::rgba(0.23, 0.26, 0.24);

class ExportPanel : public kit::View {
 public:
  ExportPanel();

  // "Last export: ..." and "3 responses stored since".
  void showLastExport(const std::string& exported, const std::string& since);
  // How many messages wait, whether they are being sent now, and why the last try failed.
  void showOutbox(size_t waiting, bool sending, const std::string& error);
  // The drive to copy to (empty: none mounted), and whether a copy or an eject is under way.
  void showDrive(const std::string& name, bool busy);
  // The outcome of the last copy or eject; `failed` shows it in red.
  void showStatus(const std::string& text, bool failed);

  void sendWaitingMail();
  void copyToDrive();
  void ejectDrive();

  kit::Label* lastExport = nullptr;
  kit::Label* storedSince = nullptr;
  kit::Label* waiting = nullptr;
  kit::Button* sendWaiting = nullptr;
  kit::Label* waitingError = nullptr;
  kit::Label* drive = nullptr;
  kit::Button* copy = nullptr;
  kit::Label* copyTitle = nullptr;
  kit::Button* eject = nullptr;
  kit::Label* status = nullptr;
};
