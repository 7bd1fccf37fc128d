#include "TestSupport.h"

#include <cairo.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "kit/backends/headless/Headless.h"
#include "kit/ui/Screen.h"

namespace kit {
void PrintTo(const Color& c, std::ostream* out) {
  *out << "rgba(" << c.r << ", " << c.g << ", " << c.b << ", " << c.a << ")";
}
}  // namespace kit

namespace testing_support {

TempHome::TempHome() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "tolvik-home-XXXXXX").string();
  if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
  path_ = tmpl;
  if (const char* home = std::getenv("HOME")) {
    oldHome_ = home;
    hadHome_ = true;
  }
  setenv("HOME", path_.c_str(), 1);
}

TempHome::~TempHome() {
  if (hadHome_) {
    setenv("HOME", oldHome_.c_str(), 1);
  } else {
    unsetenv("HOME");
  }
  std::error_code ec;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ec);
  for (auto& entry : std::filesystem::recursive_directory_iterator(path_, ec)) {
    std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
  }
  std::filesystem::remove_all(path_, ec);
}

std::string run(const std::string& command) {
  std::string output;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[256];
    while (fgets(buffer, sizeof buffer, pipe)) output += buffer;
    pclose(pipe);
  }
  return output;
}

int replay(const std::string& script, const std::string& home, std::string* log, std::string out) {
  out = outputDirectory(out.empty() ? script.substr(0, script.find('.')) : out);
  std::string command = "cd '" + out + "' && HOME='" + home + "' XDG_CONFIG_HOME= '" +
                        TOLVIK_BUILD_DIR + "/tolvik-replay' '" +
                        (script[0] == '/' ? "" : TOLVIK_SOURCE_DIR "/tests/scripts/") + script +
                        "' 2>replay.log";
  int status = std::system(command.c_str());
  *log = readAll(out + "/replay.log");
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string visitorScript(const std::vector<std::string>& contact) {
  static const char* const fields[] = {"224 242", "544 242", "224 277",
                                       "544 277", "154 312", "314 312"};
  std::string script;
  for (size_t i = 0; i < contact.size() && i < std::size(fields); ++i) {
    if (!contact[i].empty())
      script += "tap " + std::string(fields[i]) + "\ntype " + contact[i] + "\n";
  }
  return script +
         "key hide\nwait 0.5\n"
         "tap 300 479\ntap 300 555\ntap 82 644\ntap 154 732\ntap 82 820\n"
         "tap 655 960\nwait 1.6\ntap 384 500 2\nwait 1.1\n";
}

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void writeAll(const std::string& path, const std::string& contents) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << contents;
}

int countOf(const std::string& haystack, const std::string& needle) {
  int n = 0;
  for (size_t at = haystack.find(needle); at != std::string::npos;
       at = haystack.find(needle, at + 1)) {
    ++n;
  }
  return n;
}

StderrCapture::StderrCapture() {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  fcntl(fds[0], F_SETFL, O_NONBLOCK);
  savedFd_ = dup(2);
  dup2(fds[1], 2);
  close(fds[1]);
  readFd_ = fds[0];
}

StderrCapture::~StderrCapture() {
  finish();
}

std::string StderrCapture::finish() {
  if (savedFd_ < 0) return text_;
  dup2(savedFd_, 2);
  close(savedFd_);
  savedFd_ = -1;
  char buffer[4096];
  ssize_t n;
  while ((n = read(readFd_, buffer, sizeof buffer)) > 0) text_.append(buffer, n);
  close(readFd_);
  return text_;
}

std::pair<int, int> pngSize(const std::string& path) {
  std::string bytes = readAll(path);
  if (bytes.size() < 24 || bytes.compare(1, 3, "PNG") != 0) return {0, 0};
  auto be32 = [&](size_t at) {
    int value = 0;
    for (size_t i = 0; i < 4; ++i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return value;
  };
  return {be32(16), be32(20)};
}

kit::Color pngColorAt(const std::string& path, kit::Point p, double scale) {
  cairo_surface_t* png = cairo_image_surface_create_from_png(path.c_str());
  kit::Color color = kit::Color::clear();
  int x = static_cast<int>(std::floor(p.x * scale));
  int y = static_cast<int>(std::floor(p.y * scale));
  if (cairo_surface_status(png) == CAIRO_STATUS_SUCCESS && x >= 0 && y >= 0 &&
      x < cairo_image_surface_get_width(png) && y < cairo_image_surface_get_height(png)) {
    uint32_t pixel;
    std::memcpy(&pixel,
                cairo_image_surface_get_data(png) + y * cairo_image_surface_get_stride(png) + x * 4,
                4);
    auto channel = [pixel](int shift) { return ((pixel >> shift) & 0xff) / 255.0; };
    color = {channel(16), channel(8), channel(0), channel(24)};
  }
  cairo_surface_destroy(png);
  return color;
}

bool colorNear(kit::Color expected, kit::Color actual) {
  double tolerance = 3.0 / 255;
  return std::abs(expected.r - actual.r) <= tolerance &&
         std::abs(expected.g - actual.g) <= tolerance &&
         std::abs(expected.b - actual.b) <= tolerance &&
         std::abs(expected.a - actual.a) <= tolerance;
}

kit::View* addWhiteRoot(kit::Headless& h, std::unique_ptr<kit::View> root) {
  using namespace kit;
  if (!root) root = std::make_unique<View>(Size{});
  root->setFrame({{0, kStatusBarHeight}, {kScreenWidth, kScreenHeight - kStatusBarHeight}});
  root->setBackgroundColor(Color::white());
  return h.app().screen().windowLayer()->addSubview(std::move(root));
}

std::string outputDirectory(const std::string& folder) {
  std::string dir =
      std::string(TOLVIK_BUILD_DIR) + "/tests/output" + (folder.empty() ? "" : "/") + folder;
  std::filesystem::create_directories(dir);
  return dir;
}

}  // namespace testing_support
