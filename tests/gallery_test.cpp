// The kit gallery run headless from its tour script, at both scales, and switching pages.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>

#include "support/TestSupport.h"

using testing_support::readAll;

namespace {

// Runs the gallery in `workdir` with `script`; its exit status, its standard error in `log`.
int runGallery(const std::string& script, const std::string& workdir, int scale, std::string* log) {
  std::string command = "cd '" + workdir + "' && '" + TOLVIK_BUILD_DIR +
                        "/kit-gallery' --headless '" + script + "' --scale " +
                        std::to_string(scale) + " 2>gallery.log";
  int status = std::system(command.c_str());
  *log = readAll(workdir + "/gallery.log");
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST(Gallery, RunsItsTourHeadlessAndSwitchesPages) {
  if (!std::filesystem::exists(std::string(TOLVIK_BUILD_DIR) + "/kit-gallery")) {
    GTEST_SKIP() << "kit-gallery is not built";
  }
  std::string log;
  for (int scale : {1, 2}) {
    std::string out = testing_support::outputDirectory("gallery-" + std::to_string(scale));
    ASSERT_EQ(runGallery(TOLVIK_SOURCE_DIR "/tools/gallery/tour.txt", out, scale, &log), 0) << log;
    EXPECT_EQ(testing_support::pngSize(out + "/gallery-transitions-1.png"),
              std::make_pair(768 * scale, 1024 * scale));
    // The frames differ: the tour's taps and animations show on screen.
    EXPECT_NE(readAll(out + "/gallery-core.png"), readAll(out + "/gallery-core-after.png"));

    // The state picker: a row pressed while held, then picked; a drag that shows the indicator
    // and presses nothing; the second tap lands on the row that the drag brought under it.
    auto colorIn = [&](const char* shot, kit::Point p) {
      return testing_support::pngColorAt(out + "/" + shot, p, scale);
    };
    kit::Point arkansas{450, 192}, indicator{528, 100};
    EXPECT_GT(colorIn("gallery-states.png", arkansas).g, 0.85);
    EXPECT_LT(colorIn("gallery-states-pressed.png", arkansas).g, 0.55);
    EXPECT_LT(colorIn("gallery-states-scrolling.png", indicator).g, 0.7);
    EXPECT_GT(colorIn("gallery-states-after.png", indicator).g, 0.85);
    EXPECT_EQ(testing_support::countOf(log, " downstate\n"), 2) << log;
    EXPECT_EQ(testing_support::countOf(log, " upstate\n"), 2);
    EXPECT_NE(log.find(" picked AR Arkansas\n"), std::string::npos);
    EXPECT_NE(log.find(" picked AZ Arizona\n"), std::string::npos);
    // The mail composer, its Send enabled (blue) once an address is typed.
    EXPECT_GT(colorIn("gallery-mail.png", {740, 30}).b, 0.7);
    EXPECT_NE(readAll(out + "/gallery-states-thrown.png"),
              readAll(out + "/gallery-states-after.png"));
  }

  // The page buttons in the bar, and a script line the gallery does not know.
  std::string out = testing_support::outputDirectory("gallery-pages");
  testing_support::writeAll(out + "/pages.txt",
                            "shot first.png\ntap 384 996\nwait 0.2\nshot second.png\npage 1\n"
                            "shot again.png\n");
  ASSERT_EQ(runGallery(out + "/pages.txt", out, 1, &log), 0) << log;
  EXPECT_NE(readAll(out + "/first.png"), readAll(out + "/second.png"));
  EXPECT_EQ(readAll(out + "/first.png"), readAll(out + "/again.png"));
  testing_support::writeAll(out + "/bad.txt", "page 9\n");
  EXPECT_NE(runGallery(out + "/bad.txt", out, 1, &log), 0);
  EXPECT_FALSE(log.empty());
}
