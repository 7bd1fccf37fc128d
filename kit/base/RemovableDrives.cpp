#include "kit/base/RemovableDrives.h"

#include <gio/gio.h>
#include <gio/gunixmounts.h>

#include <memory>

#include "kit/base/Log.h"

namespace kit {

namespace {

std::string pathOf(GMount* mount) {
  g_autoptr(GFile) root = g_mount_get_root(mount);
  g_autofree char* path = g_file_get_path(root);
  return path ? path : "";
}

bool removable(GMount* mount, const std::string& path) {
  if (g_mount_is_shadowed(mount)) return false;
  if (g_autoptr(GDrive) drive = g_mount_get_drive(mount)) {
    return g_drive_is_removable(drive) || g_drive_is_media_removable(drive);
  }
  if (!g_str_has_prefix(path.c_str(), "/media/") && !g_str_has_prefix(path.c_str(), "/run/media/"))
    return false;
  GUnixMountEntry* entry = g_unix_mount_at(path.c_str(), nullptr);
  if (!entry) return false;
  bool block = g_str_has_prefix(g_unix_mount_get_device_path(entry), "/dev/") &&
               !g_unix_mount_is_system_internal(entry);
  g_unix_mount_free(entry);
  return block;
}

void onMountsChanged(GVolumeMonitor*, GMount*, gpointer drives) {
  static_cast<std::function<void()>*>(drives)->operator()();
}

void onMounted(GObject* source, GAsyncResult* result, gpointer) {
  GError* error = nullptr;
  if (!g_volume_mount_finish(G_VOLUME(source), result, &error)) {
    g_autofree char* name = g_volume_get_name(G_VOLUME(source));
    log("the removable drive %s could not be mounted: %s", name ? name : "?",
        error ? error->message : "no reason given");
    g_clear_error(&error);
  }
}

// A file system on a removable drive that the system would mount by itself on a desktop (not one
// it hides or marks as the system's own): asks for it to be mounted. Where GIO's monitor is
// gvfs's, udisks2 mounts it under /media for the kiosk's user, whose session polkit lets do so.
void mountIfRemovable(GVolumeMonitor*, GVolume* volume, gpointer) {
  if (g_autoptr(GMount) mounted = g_volume_get_mount(volume)) return;
  g_autoptr(GDrive) drive = g_volume_get_drive(volume);
  if (!drive || !(g_drive_is_removable(drive) || g_drive_is_media_removable(drive))) return;
  if (!g_volume_can_mount(volume) || !g_volume_should_automount(volume)) return;
  g_volume_mount(volume, G_MOUNT_MOUNT_NONE, nullptr, nullptr, onMounted, nullptr);
}

struct Ejecting {
  std::weak_ptr<const void> alive;
  std::function<void(const std::string&)> done;
  bool unmounting;
};

void onEjected(GObject* source, GAsyncResult* result, gpointer data) {
  std::unique_ptr<Ejecting> ejecting(static_cast<Ejecting*>(data));
  GError* error = nullptr;
  GMount* mount = G_MOUNT(source);
  bool ok = ejecting->unmounting ? g_mount_unmount_with_operation_finish(mount, result, &error)
                                 : g_mount_eject_with_operation_finish(mount, result, &error);
  std::string why = ok ? "" : (error ? error->message : "failed");
  g_clear_error(&error);
  if (!ejecting->alive.expired()) ejecting->done(why);
}

}  // namespace

RemovableDrives::RemovableDrives(std::function<void()> changed)
    : monitor_(g_volume_monitor_get()), changed_(std::move(changed)) {
  for (const char* signal : {"mount-added", "mount-removed", "mount-changed"}) {
    g_signal_connect(monitor_, signal, G_CALLBACK(onMountsChanged), &changed_);
  }
  g_signal_connect(monitor_, "volume-added", G_CALLBACK(mountIfRemovable), &changed_);
  GList* volumes = g_volume_monitor_get_volumes(monitor_);
  for (GList* v = volumes; v; v = v->next) mountIfRemovable(monitor_, G_VOLUME(v->data), nullptr);
  g_list_free_full(volumes, g_object_unref);
}

RemovableDrives::~RemovableDrives() {
  g_signal_handlers_disconnect_by_data(monitor_, &changed_);
  g_object_unref(monitor_);
}

std::vector<RemovableDrive> RemovableDrives::drives() const {
  std::vector<RemovableDrive> found;
  GList* mounts = g_volume_monitor_get_mounts(monitor_);
  for (GList* m = mounts; m; m = m->next) {
    GMount* mount = G_MOUNT(m->data);
    std::string path = pathOf(mount);
    if (path.empty() || !removable(mount, path)) continue;
    g_autofree char* name = g_mount_get_name(mount);
    found.push_back({name ? name : path, path});
  }
  g_list_free_full(mounts, g_object_unref);
  return found;
}

void RemovableDrives::eject(const std::string& path, std::function<void(const std::string&)> done) {
  GList* mounts = g_volume_monitor_get_mounts(monitor_);
  GMount* found = nullptr;
  for (GList* m = mounts; m && !found; m = m->next) {
    if (pathOf(G_MOUNT(m->data)) == path) found = G_MOUNT(m->data);
  }
  if (!found) {
    g_list_free_full(mounts, g_object_unref);
    done("it is no longer there");
    return;
  }
  bool unmounting = !g_mount_can_eject(found);
  auto* ejecting = new Ejecting{weakReference(), std::move(done), unmounting};
  if (unmounting) {
    g_mount_unmount_with_operation(found, G_MOUNT_UNMOUNT_NONE, nullptr, nullptr, onEjected,
                                   ejecting);
  } else {
    g_mount_eject_with_operation(found, G_MOUNT_UNMOUNT_NONE, nullptr, nullptr, onEjected,
                                 ejecting);
  }
  g_list_free_full(mounts, g_object_unref);
}

}  // namespace kit
