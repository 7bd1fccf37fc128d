#include "kit/backends/wayland/ShmBuffer.h"

#include <cairo.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include "kit/ui/Renderer.h"

namespace kit::wayland {

namespace {

void released(void* data, wl_buffer*) {
  static_cast<ShmBuffer*>(data)->busy = false;
}
const wl_buffer_listener kBufferListener = {released};

}  // namespace

std::unique_ptr<ShmBuffer> ShmBuffer::create(wl_shm* shm, int width, int height, double drawnAt) {
  std::unique_ptr<ShmBuffer> b(new ShmBuffer);
  b->width_ = width;
  b->height_ = height;
  int stride = cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, width);
  b->size_ = static_cast<size_t>(stride) * height;
  int fd = memfd_create("kit-frame", MFD_CLOEXEC);
  if (fd < 0) return nullptr;
  if (ftruncate(fd, static_cast<off_t>(b->size_)) != 0) {
    close(fd);
    return nullptr;
  }
  if (drawnAt > 0) {
    b->memory_ = mmap(nullptr, b->size_, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (b->memory_ == MAP_FAILED) {
      b->memory_ = nullptr;
      close(fd);
      return nullptr;
    }
    // Cairo's ARGB32 is XRGB8888 in memory; every pixel the renderer leaves is opaque.
    b->renderer_ = std::make_unique<Renderer>(
        drawnAt,
        SurfaceHandle(cairo_image_surface_create_for_data(
            static_cast<unsigned char*>(b->memory_), CAIRO_FORMAT_ARGB32, width, height, stride)));
  }
  wl_shm_pool* pool = wl_shm_create_pool(shm, fd, static_cast<int32_t>(b->size_));
  b->buffer_ = wl_shm_pool_create_buffer(pool, 0, width, height, stride, WL_SHM_FORMAT_XRGB8888);
  wl_shm_pool_destroy(pool);
  close(fd);
  wl_buffer_add_listener(b->buffer_, &kBufferListener, b.get());
  return b;
}

ShmBuffer::~ShmBuffer() {
  // The compositor may still hold the buffer: it keeps the memory until it lets go.
  if (buffer_) wl_buffer_destroy(buffer_);
  renderer_.reset();
  if (memory_) munmap(memory_, size_);
}

}  // namespace kit::wayland
