// The controller's side of the exports card. It shows the last export that succeeded and how many
// responses were stored since, from the state file beside the data file. Messages that could not
// be sent, or were saved to be sent later, wait in the outbox; staff send them all with one
// button, or the kiosk tries them itself every few minutes when the key file asks it to. Each
// message leaves the outbox only once the transport has taken it, and the last one taken is then
// the last export.

#include <cstdlib>
#include <ctime>
#include <memory>
#include <optional>

#include "admin/AdminView.h"
#include "admin/ExportPanel.h"
#include "app/TolvikViewController.h"
#include "kit/app/Application.h"
#include "kit/base/Log.h"
#include "kit/mail/Outbox.h"
#include "survey/DataFile.h"
#include "survey/ExportState.h"
#include "survey/ForwardState.h"

void TolvikViewController::showExports() {
  const std::string path = survey::dataFilePath();
  std::optional<survey::ExportState> last = survey::readExportState(survey::exportStatePath(path));
  admin->exports->showLastExport(
      survey::lastExportLine(last, std::time(nullptr)),
      survey::storedSinceLine(last, survey::dataFileIdentity(path), survey::storedResponses(path)));

  std::vector<kit::WaitingMessage> waiting = kit::outbox::waiting();
  std::string error;
  for (const kit::WaitingMessage& message : waiting) {
    if (error.empty()) error = message.error;
  }
  admin->exports->showOutbox(waiting.size(), sendingWaitingMail, error);
}

void TolvikViewController::recordExport(const std::string& kind, const std::string& destination,
                                        std::uint64_t responses) {
  const std::string path = survey::dataFilePath();
  survey::ExportState state{std::time(nullptr), kind, destination, responses,
                            survey::dataFileIdentity(path)};
  kit::FileStatus written = survey::writeExportState(survey::exportStatePath(path), state);
  if (written) {
    kit::log("Export done: %s, responses: %llu", kind.c_str(),
             static_cast<unsigned long long>(responses));
  } else {
    kit::log("Export done (%s) but not recorded: %s", kind.c_str(), written.error.c_str());
  }
}

void TolvikViewController::sendWaitingMail() {
  if (sendingWaitingMail) return;
  std::vector<kit::WaitingMessage> waiting = kit::outbox::waiting();
  if (waiting.empty()) {
    showExports();
    return;
  }
  sendingWaitingMail = true;
  showExports();
  std::weak_ptr<const void> alive = weakReference();
  kit::Application::shared()->runInBackground(
      [this, alive, waiting, settings = kit::mailSettings()]() -> std::function<void()> {
        size_t sent = 0;
        // The last message taken: where it went and how many responses it held.
        std::optional<std::pair<std::string, std::uint64_t>> taken;
        for (const kit::WaitingMessage& message : waiting) {
          // Read before the send, which removes the file.
          std::string responses = kit::outbox::headerOf(message.path, kResponsesHeader);
          if (!kit::outbox::send(message.path, settings).sent) continue;
          ++sent;
          taken.emplace(message.to, std::strtoull(responses.c_str(), nullptr, 10));
        }
        return [this, alive, sent, taken, total = waiting.size()] {
          if (alive.expired()) return;
          sendingWaitingMail = false;
          kit::log("Waiting mail: %zu of %zu sent", sent, total);
          if (taken) recordExport("e-mail", taken->first, taken->second);
          showExports();
        };
      });
}

void TolvikViewController::retryWaitingMail() {
  sendWaitingMail();
  kit::Application* app = kit::Application::shared();
  app->postAt(app->clock().now() + kit::mailSettings().retryMinutes * 60.0, *this,
              [this] { retryWaitingMail(); });
}
