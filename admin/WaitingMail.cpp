// The controller's side of the exports card's outbox: messages that could not be sent, or were
// saved to be sent later, wait in the outbox; staff send them all with one button, or the kiosk
// tries them itself every few minutes when the key file asks it to. Each message leaves the
// outbox only once the transport has taken it.

#include <memory>

#include "admin/AdminView.h"
#include "admin/ExportPanel.h"
#include "app/TolvikViewController.h"
#include "kit/app/Application.h"
#include "kit/base/Log.h"
#include "kit/mail/Outbox.h"

void TolvikViewController::showExports() {
  std::vector<kit::WaitingMessage> waiting = kit::outbox::waiting();
  std::string error;
  for (const kit::WaitingMessage& message : waiting) {
    if (error.empty()) error = message.error;
  }
  admin->exports->showOutbox(waiting.size(), sendingWaitingMail, error);
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
        for (const kit::WaitingMessage& message : waiting) {
          sent += kit::outbox::send(message.path, settings).sent;
        }
        return [this, alive, sent, total = waiting.size()] {
          if (alive.expired()) return;
          sendingWaitingMail = false;
          kit::log("Waiting mail: %zu of %zu sent", sent, total);
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
