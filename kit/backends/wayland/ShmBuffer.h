#pragma once

// A frame in memory shared with the compositor (wl_shm), which Cairo draws into in place.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "kit/base/Geometry.h"

struct wl_buffer;
struct wl_shm;

namespace kit {
class Renderer;
}

namespace kit::wayland {

class ShmBuffer {
 public:
  // A buffer of `width` x `height` opaque pixels (XRGB8888). With `drawnAt` it is mapped and drawn
  // into by a renderer of that scale; without, it is never touched and shows black (the memory
  // starts zeroed), costing this process no memory. Null when the memory cannot be had.
  static std::unique_ptr<ShmBuffer> create(wl_shm* shm, int width, int height, double drawnAt = 0);
  ~ShmBuffer();
  ShmBuffer(const ShmBuffer&) = delete;
  ShmBuffer& operator=(const ShmBuffer&) = delete;

  wl_buffer* buffer() const { return buffer_; }
  int width() const { return width_; }
  int height() const { return height_; }
  Renderer* renderer() const { return renderer_.get(); }

  // Attached and not yet released by the compositor: not to be drawn into.
  bool busy = false;
  // Screen rects drawn in other buffers since this one last showed the frame; all of it when
  // `stale`.
  std::vector<Rect> behind;
  bool stale = true;

 private:
  ShmBuffer() = default;
  wl_buffer* buffer_ = nullptr;
  void* memory_ = nullptr;
  size_t size_ = 0;
  int width_ = 0, height_ = 0;
  std::unique_ptr<Renderer> renderer_;
};

}  // namespace kit::wayland
