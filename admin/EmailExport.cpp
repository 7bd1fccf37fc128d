// The controller's side of the export by e-mail.

#include "app/TolvikViewController.h"
#include "kit/Log.h"

// The export arrives with the mail composer; until then the button says so in the log.
void TolvikViewController::showEmailModalView() {
  kit::log("export not available yet");
}
