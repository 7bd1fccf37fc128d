// The controller's side of the exports card's USB stick. The first removable drive mounted is
// offered as "Copy to <its label>": the data file's exact bytes go to it as a new file
// "TolvikData-<kiosk name>-<date and time>.csv" (never over a file there), flushed to the drive,
// read back and compared, on a thread of their own; the card then says how many responses went,
// or what failed, and no partial file is left under that name. The data file is only read. The
// drive is then ejected from the same card.

#include <glib.h>

#include <ctime>
#include <memory>
#include <optional>

#include "admin/AdminView.h"
#include "admin/ExportPanel.h"
#include "app/TolvikViewController.h"
#include "kit/app/Application.h"
#include "kit/base/Log.h"
#include "survey/DataFile.h"

namespace {

// The kiosk's name as a part of a file name that any drive takes.
std::string fileNamePart(const std::string& name) {
  std::string part;
  for (char c : name) part += g_ascii_isalnum(c) || c == '-' || c == '_' || c == '.' ? c : '-';
  return part.empty() ? "kiosk" : part;
}

std::string copyStem(const std::string& kiosk) {
  GDateTime* now = g_date_time_new_now_local();
  gchar* stamp = g_date_time_format(now, "%Y-%m-%d-%H%M");
  g_date_time_unref(now);
  std::string stem = "TolvikData-" + fileNamePart(kiosk) + "-" + stamp;
  g_free(stamp);
  return stem;
}

// The drive offered, now busy with what staff asked for; nullopt when there is none or it is busy.
std::optional<kit::RemovableDrive> takeDrive(TolvikViewController& controller) {
  std::vector<kit::RemovableDrive> found = controller.drives->drives();
  if (controller.driveBusy || found.empty()) return std::nullopt;
  controller.driveBusy = true;
  controller.showDrive();
  return found.front();
}

}  // namespace

void TolvikViewController::showDrive() {
  std::vector<kit::RemovableDrive> found = drives->drives();
  admin->exports->showDrive(found.empty() ? "" : found.front().name, driveBusy);
}

void TolvikViewController::copyToDrive() {
  std::optional<kit::RemovableDrive> taken = takeDrive(*this);
  if (!taken) return;
  kit::RemovableDrive drive = *taken;
  admin->exports->showStatus("Copying to " + drive.name + "\u2026", false);
  std::string kiosk = settings.collect.kiosk.empty() ? g_get_host_name() : settings.collect.kiosk;
  std::weak_ptr<const void> alive = weakReference();
  kit::Application::shared()->runInBackground(
      [this, alive, drive, stem = copyStem(kiosk)]() -> std::function<void()> {
        std::string error, name;
        std::optional<std::string> data = kit::readFile(survey::dataFilePath(), &error);
        std::size_t responses = data ? survey::countResponses(*data) : 0;
        kit::FileStatus copied = data ? kit::copyToNewFile(drive.path, stem, ".csv", *data, &name)
                                      : kit::FileStatus::failure(error);
        return [this, alive, drive, copied, responses] {
          if (alive.expired()) return;
          driveBusy = false;
          if (copied) {
            kit::log("Copied to a USB stick, responses: %zu", responses);
            admin->exports->showStatus("Copied " + std::to_string(responses) +
                                           (responses == 1 ? " response to " : " responses to ") +
                                           drive.name,
                                       false);
            recordExport("USB stick", drive.name, responses);
          } else {
            kit::log("Not copied to a USB stick: %s", copied.error.c_str());
            admin->exports->showStatus("Not copied to " + drive.name + ": " + copied.error, true);
          }
          showDrive();
          showExports();
        };
      });
}

void TolvikViewController::ejectDrive() {
  std::optional<kit::RemovableDrive> taken = takeDrive(*this);
  if (!taken) return;
  kit::RemovableDrive drive = *taken;
  std::weak_ptr<const void> alive = weakReference();
  drives->eject(drive.path, [this, alive, drive](const std::string& error) {
    if (alive.expired()) return;
    driveBusy = false;
    if (error.empty()) {
      admin->exports->showStatus(drive.name + " can be taken out now.", false);
    } else {
      kit::log("USB stick not ejected: %s", error.c_str());
      admin->exports->showStatus(drive.name + " not ejected: " + error, true);
    }
    showDrive();
  });
}
