#include "kit/app/MainContextWait.h"

#include <glib.h>

namespace kit {

MainContextWait::MainContextWait()
    : context_(g_main_context_default()), acquired_(g_main_context_acquire(context_)) {}

MainContextWait::~MainContextWait() {
  if (acquired_) g_main_context_release(context_);
}

int MainContextWait::prepare(std::vector<pollfd>& fds) {
  if (!acquired_) return -1;
  g_main_context_prepare(context_, &priority_);
  std::vector<GPollFD> polled(8);
  int timeout = -1;
  int needed = 0;
  while ((needed = g_main_context_query(context_, priority_, &timeout, polled.data(),
                                        static_cast<int>(polled.size()))) >
         static_cast<int>(polled.size())) {
    polled.resize(needed);
  }
  first_ = fds.size();
  count_ = static_cast<size_t>(needed);
  for (size_t i = 0; i < count_; ++i) {
    fds.push_back({polled[i].fd, static_cast<short>(polled[i].events), 0});
  }
  return timeout;
}

void MainContextWait::dispatch(const std::vector<pollfd>& fds) {
  if (!acquired_) return;
  std::vector<GPollFD> polled(count_);
  for (size_t i = 0; i < count_; ++i) {
    const pollfd& fd = fds[first_ + i];
    polled[i] = {fd.fd, static_cast<gushort>(fd.events), static_cast<gushort>(fd.revents)};
  }
  if (g_main_context_check(context_, priority_, polled.data(), static_cast<int>(count_))) {
    g_main_context_dispatch(context_);
  }
}

}  // namespace kit
