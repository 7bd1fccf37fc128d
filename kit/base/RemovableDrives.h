#pragma once

// Removable drives as the system mounts them (a USB stick that udisks2 mounts, as on any desktop
// Linux), followed through GIO's volume monitor. Its events arrive on the run loop's turns, which
// dispatch GLib's main context while Application::watchSystemEvents is on.

#include <functional>
#include <string>
#include <vector>

#include "kit/base/Object.h"

typedef struct _GVolumeMonitor GVolumeMonitor;

namespace kit {

struct RemovableDrive {
  std::string name;  // as the system names it: the drive's label
  std::string path;  // where it is mounted
};

class RemovableDrives : public Object {
 public:
  // `changed` runs whenever a drive comes, goes or changes.
  explicit RemovableDrives(std::function<void()> changed);
  ~RemovableDrives() override;

  // The mounted drives that can be taken out: those on a removable drive, and, where the system
  // tells of no drives, those mounted from a block device where the system shows removable
  // media (under /media or /run/media).
  std::vector<RemovableDrive> drives() const;

  // Ejects the drive mounted at `path` (or unmounts it, where it cannot be ejected); `done` runs
  // on a later turn with "" or why not.
  void eject(const std::string& path, std::function<void(const std::string&)> done);

 private:
  GVolumeMonitor* monitor_;
  std::function<void()> changed_;
};

}  // namespace kit
