#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "kit/base/Color.h"
#include "kit/text/TextField.h"
#include "kit/ui/View.h"

namespace kit {
class Headless;
// Colours in test failure messages.
void PrintTo(const Color& c, std::ostream* out);
}  // namespace kit

namespace testing_support {

// A fresh temporary folder set as $HOME for the test's lifetime; removed afterwards.
class TempHome {
 public:
  TempHome();
  ~TempHome();
  TempHome(const TempHome&) = delete;
  TempHome& operator=(const TempHome&) = delete;
  const std::string& path() const { return path_; }
  std::string documents() const { return path_ + "/Documents"; }

 private:
  std::string path_;
  std::string oldHome_;
  bool hadHome_ = false;
};

// Runs a shell command and returns what it printed.
std::string run(const std::string& command);

// Runs the headless runner (build/tolvik-replay) on a script (of tests/scripts unless a full path)
// with HOME set to `home` (its own settings only), in the output folder `out` (the script's name
// unless given); returns its exit status, with what it logged in `log`.
int replay(const std::string& script, const std::string& home, std::string* log,
           std::string out = "");

// A visitor for the headless runner's script: types the six contact texts (first name, last name,
// phone digits, e-mail, gender, age; an empty one is left out), taps Hiking and Camping, then Yes,
// No, Yes, and submits; staff double-tap the thank-you screen away.
std::string visitorScript(const std::vector<std::string>& contact);

// Whole-file helpers for assertions.
std::string readAll(const std::string& path);
void writeAll(const std::string& path, const std::string& contents);

// How many times `needle` occurs in `haystack` (overlaps counted).
int countOf(const std::string& haystack, const std::string& needle);

// Collects what is written to standard error while it lives, through a pipe (so that a file
// size limit set by a test cannot cut it short). Meant for short logs: under 64 KiB.
class StderrCapture {
 public:
  StderrCapture();
  ~StderrCapture();
  // Stops capturing and returns what was written.
  std::string finish();

 private:
  int savedFd_ = -1;
  int readFd_ = -1;
  std::string text_;
};

// Width and height from a PNG file's header; (0, 0) if it is not one.
std::pair<int, int> pngSize(const std::string& path);

// The colour at a screen point of a screenshot taken at `scale` (screenshots are opaque);
// clear when the file cannot be read or the point lies outside it.
kit::Color pngColorAt(const std::string& path, kit::Point p, double scale = 1);

// Whether two colours differ by at most 3/255 in each component.
bool colorNear(kit::Color expected, kit::Color actual);
#define EXPECT_COLOR(expected, actual) EXPECT_PRED2(testing_support::colorNear, expected, actual)

// Puts `root` (a plain view if null) on the headless screen below the status bar, as a window's
// content would be, with a white background.
kit::View* addWhiteRoot(kit::Headless& h, std::unique_ptr<kit::View> root = nullptr);

// One edit a text field asked its delegate about.
struct Edit {
  kit::Range range;
  std::string replacement;
  bool operator==(const Edit&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const Edit& e) {
  return out << "{" << e.range.location << "," << e.range.length << " \"" << e.replacement << "\"}";
}

// A text field delegate that writes down the edits and returns it is asked about.
class RecordingDelegate : public kit::TextFieldDelegate {
 public:
  bool shouldChangeCharactersInRange(kit::TextField*, kit::Range range,
                                     const std::string& replacement) override {
    edits.push_back({range, replacement});
    return accepts;
  }
  bool textFieldShouldReturn(kit::TextField*) override {
    ++returns;
    return true;
  }
  std::vector<std::string> replacements() const {
    std::vector<std::string> result;
    for (const Edit& e : edits) result.push_back(e.replacement);
    return result;
  }

  std::vector<Edit> edits;
  bool accepts = true;  // the answer to every edit
  int returns = 0;
};

// A target that counts the actions sent to it.
class Target : public kit::Object {
 public:
  void hit() { ++hits; }
  int hits = 0;
};

// Where test artefacts (screenshots) go: build/tests/output, or the named folder in it, created
// on first use.
std::string outputDirectory(const std::string& folder = "");

}  // namespace testing_support
