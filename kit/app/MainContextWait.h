#pragma once

// GLib's default main context inside a backend's own wait. Drives coming and going, D-Bus replies
// and GIO's finished operations arrive on its file descriptors; a backend polls them with its own,
// so that the run loop wakes for them and for nothing else while it is idle.

#include <poll.h>

#include <cstddef>
#include <vector>

typedef struct _GMainContext GMainContext;

namespace kit {

class MainContextWait {
 public:
  MainContextWait();
  ~MainContextWait();
  MainContextWait(const MainContextWait&) = delete;
  MainContextWait& operator=(const MainContextWait&) = delete;

  // Appends the context's descriptors to `fds`; returns how many milliseconds the wait may last
  // for GLib's sake (-1: as long as it likes, 0: something is ready now).
  int prepare(std::vector<pollfd>& fds);
  // After the wait, with what the poll found in `fds`: dispatches the context's sources that are
  // ready. Called once after each prepare.
  void dispatch(const std::vector<pollfd>& fds);

 private:
  GMainContext* context_;
  int priority_ = 0;
  std::size_t first_ = 0;
  std::size_t count_ = 0;
  bool acquired_;
};

}  // namespace kit
