// The kit gallery run headless from its tour script, at both scales, and switching pages.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>

#include "support/TestSupport.h"

namespace {

int runGallery(const std::string& script, const std::string& workdir, double scale,
               std::string* log) {
  std::string logFile = workdir + "/gallery.log";
  std::string command = "cd '" + workdir + "' && '" + TOLVIK_BUILD_DIR +
                        "/kit-gallery' --headless '" + script + "' --scale " +
                        std::to_string(scale) + " 2>'" + logFile + "'";
  int status = std::system(command.c_str());
  *log = testing_support::readAll(logFile);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Width and height from a PNG file's header.
std::pair<int, int> pngSize(const std::string& path) {
  std::string bytes = testing_support::readAll(path);
  if (bytes.size() < 24 || bytes.compare(1, 3, "PNG") != 0) return {0, 0};
  auto word = [&](size_t at) {
    return (static_cast<unsigned char>(bytes[at]) << 24) |
           (static_cast<unsigned char>(bytes[at + 1]) << 16) |
           (static_cast<unsigned char>(bytes[at + 2]) << 8) |
           static_cast<unsigned char>(bytes[at + 3]);
  };
  return {word(16), word(20)};
}

}  // namespace

TEST(Gallery, RunsItsTourHeadlessAndSwitchesPages) {
  if (!std::filesystem::exists(std::string(TOLVIK_BUILD_DIR) + "/kit-gallery")) {
    GTEST_SKIP() << "kit-gallery is not built";
  }
  std::string tour = std::string(TOLVIK_SOURCE_DIR) + "/tools/gallery/tour.txt";
  for (double scale : {1.0, 2.0}) {
    std::string out = testing_support::outputDirectory() + "/gallery-" + std::to_string(int(scale));
    std::filesystem::create_directories(out);
    std::string log;
    ASSERT_EQ(runGallery(tour, out, scale, &log), 0) << log;
    for (const char* shot : {"gallery-core.png", "gallery-chain-1.png", "gallery-chain-3.png",
                             "gallery-transitions-1.png", "gallery-core-after.png"}) {
      EXPECT_EQ(pngSize(out + "/" + shot), std::make_pair(int(768 * scale), int(1024 * scale)))
          << shot;
    }
    // The frames differ: the tour's taps and animations show on screen.
    EXPECT_NE(testing_support::readAll(out + "/gallery-core.png"),
              testing_support::readAll(out + "/gallery-core-after.png"));
  }

  // The page buttons in the bar, and a script line the gallery does not know.
  std::string out = testing_support::outputDirectory() + "/gallery-pages";
  std::filesystem::create_directories(out);
  testing_support::writeAll(out + "/pages.txt",
                            "shot first.png\ntap 576 996\nwait 0.2\nshot second.png\npage 1\n"
                            "shot again.png\n");
  std::string log;
  ASSERT_EQ(runGallery(out + "/pages.txt", out, 1, &log), 0) << log;
  std::string first = testing_support::readAll(out + "/first.png");
  EXPECT_NE(first, testing_support::readAll(out + "/second.png"));
  EXPECT_EQ(first, testing_support::readAll(out + "/again.png"));

  testing_support::writeAll(out + "/bad.txt", "page 9\n");
  EXPECT_NE(runGallery(out + "/bad.txt", out, 1, &log), 0);
  EXPECT_FALSE(log.empty());
}
