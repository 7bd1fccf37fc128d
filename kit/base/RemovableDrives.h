#pragma once

// Removable drives, followed through GIO's volume monitor: a USB stick's file system is mounted
// as soon as the monitor shows it (udisks2 mounts it, as on any desktop Linux, where GIO's monitor
// is gvfs's over udisks2), and offered once it is mounted. Its events arrive from GLib's main
// context, which the run loop dispatches when its descriptors wake it.

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
  // `changed` runs whenever a drive comes, goes or changes. Volumes already there that are not
  // mounted are mounted now, new ones as they come.
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
