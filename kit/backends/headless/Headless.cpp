#include "Headless.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <istream>
#include <ostream>

#include "kit/base/Utf8.h"
#include "kit/text/TextField.h"
#include "kit/ui/Screen.h"

namespace kit {
namespace {

constexpr double kTapInterval = 0.1;
// The longest real time a script waits for work on other threads (a mail being sent).
constexpr double kBackgroundTimeout = 120;  // seconds

std::string trimmed(const std::string& text) {
  auto first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  auto last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

bool parseNumber(const std::string& word, double& value) {
  const char* end = word.data() + word.size();
  auto [stop, error] = std::from_chars(word.data(), end, value);
  return error == std::errc() && stop == end && std::isfinite(value);
}

// Reads exactly `count` numbers from the rest of a line.
bool readNumbers(std::istringstream& args, double* values, size_t count) {
  std::string word;
  for (size_t i = 0; i < count; ++i) {
    if (!(args >> word) || !parseNumber(word, values[i])) return false;
  }
  return true;
}

bool atEnd(std::istringstream& args) {
  std::string rest;
  return !(args >> rest);
}

}  // namespace

Headless::Headless(double scale) : renderer_(scale), app_(std::make_unique<Application>(clock_)) {
  setCurrentRenderScale(scale);
  renderer_.setStatusBarTime([] { return std::string("09:41"); });
  app_->setBattery(BatteryState{});  // full, so that screenshots do not depend on the machine
}

Headless::~Headless() = default;

bool Headless::launch(std::unique_ptr<ApplicationDelegate> delegate) {
  bool launched = app_->launch(std::move(delegate));
  app_->runOnce();
  return launched;
}

void Headless::tap(double x, double y, int count) {
  for (int i = 0; i < count; ++i) {
    if (i > 0) wait(kTapInterval);
    down(x, y);
    up(x, y);
  }
}

void Headless::down(double x, double y) {
  app_->touchDown({x, y});
  app_->runOnce();
}

void Headless::up(double x, double y) {
  app_->touchUp({x, y});
  app_->runOnce();
}

void Headless::move(double x, double y) {
  app_->touchMoved({x, y});
  app_->runOnce();
}

void Headless::drag(double x0, double y0, double x1, double y1, double seconds) {
  down(x0, y0);
  int steps = std::max(1, static_cast<int>(std::ceil(seconds / kFrameInterval - 1e-9)));
  for (int i = 1; i <= steps; ++i) {
    clock_.advance(seconds / steps);
    double f = static_cast<double>(i) / steps;
    move(x0 + (x1 - x0) * f, y0 + (y1 - y0) * f);
  }
  up(x1, y1);
}

void Headless::type(const std::string& text) {
  // Bytes that are not UTF-8 go one by one, as a broken keyboard would send them.
  for (size_t i = 0; i < text.size();) {
    size_t length = utf8::decode(text, i).length;
    app_->textInput(text.substr(i, length));
    app_->runOnce();
    i += length;
  }
}

void Headless::paste(const std::string& text) {
  app_->paste(text);
  app_->runOnce();
}

bool Headless::key(const std::string& name) {
  if (name == "backspace") {
    app_->keyDown(Application::Key::Backspace);
  } else if (name == "return") {
    app_->keyDown(Application::Key::Return);
  } else if (name == "hide") {
    if (TextField* field = app_->firstResponder()) field->resignFirstResponder();
  } else {
    return false;
  }
  app_->runOnce();
  return true;
}

void Headless::wait(double seconds) {
  finishBackgroundWork();
  // Whole frames, then what is left, so that the clock lands exactly `seconds` later.
  while (seconds > 1e-9) {
    double step = std::min(kFrameInterval, seconds);
    clock_.advance(step);
    seconds -= step;
    app_->runOnce();
  }
}

bool Headless::finishBackgroundWork() {
  while (app_->backgroundWorkInFlight() > 0) {
    if (!app_->waitForBackgroundWork(kBackgroundTimeout)) return false;
  }
  return true;
}

bool Headless::shot(const std::string& file) {
  // Only the damage is drawn over the last picture, as a window does: a view that changes its look
  // without marking it shows stale pixels in every picture the tests look at.
  Application::Damage damage = app_->takeDamage();
  if (!drawnOnce_ || damage.wholeScreen) {
    renderer_.renderScreen(app_->screen());
    drawnOnce_ = true;
  } else if (!damage.rects.empty()) {
    renderer_.renderScreen(app_->screen(), &damage.rects);
  }
  app_->didDisplay();
  return file.empty() || renderer_.writePng(file);
}

Color Headless::colorAt(Point screenPoint) {
  shot("");
  return renderer_.colorAt(screenPoint);
}

bool parseScriptLine(std::string line, ScriptCommand& command, std::string& error) {
  command = ScriptCommand();
  if (!line.empty() && line.back() == '\r') line.pop_back();
  std::string text = trimmed(line);
  if (text.empty() || text[0] == '#') return true;
  auto start = line.find_first_not_of(" \t");
  auto split = line.find_first_of(" \t", start);
  command.name = line.substr(start, split - start);
  // Text arguments keep everything after the command word and one blank, '#' and trailing
  // blanks included.
  std::string rest = split == std::string::npos ? std::string() : line.substr(split + 1);
  auto fail = [&](const std::string& message) {
    error = message;
    return false;
  };
  const std::string& name = command.name;
  if (name == "type" || name == "paste") {
    if (rest.empty()) return fail("missing text");
    command.text = rest;
    return true;
  }
  // Other commands may end in a comment.
  std::istringstream args(trimmed(rest.substr(0, rest.find('#'))));
  if (name == "drag") {
    double values[5];
    if (!readNumbers(args, values, 5) || !atEnd(args) || values[4] < 0 || values[4] > kMaxWait) {
      return fail("expected X0 Y0 X1 Y1 SECONDS");
    }
    command.x = values[0];
    command.y = values[1];
    command.x1 = values[2];
    command.y1 = values[3];
    command.seconds = values[4];
  } else if (name == "tap" || name == "down" || name == "up" || name == "move") {
    double xy[2];
    if (!readNumbers(args, xy, 2)) return fail("expected X Y");
    command.x = xy[0];
    command.y = xy[1];
    std::string word;
    if (name == "tap" && args >> word) {
      double count;
      if (!parseNumber(word, count) || count < 1 || count > kMaxTapCount ||
          count != std::floor(count)) {
        return fail("the tap count must be a whole number from 1 to " +
                    std::to_string(kMaxTapCount));
      }
      command.count = static_cast<int>(count);
    }
    if (!atEnd(args)) return fail("too many arguments");
  } else if (name == "key") {
    if (!(args >> command.text) || !atEnd(args)) return fail("expected one key name");
  } else if (name == "wait") {
    if (!readNumbers(args, &command.seconds, 1) || !atEnd(args) || command.seconds < 0 ||
        command.seconds > kMaxWait) {
      return fail("expected a number of seconds from 0 to " + std::to_string(int(kMaxWait)));
    }
  } else if (name == "shot") {
    command.text = args.str();
    if (command.text.empty()) return fail("missing file name");
  } else {
    command.text = rest;
  }
  return true;
}

int Headless::runScript(std::istream& script, std::ostream& errors, const ExtraCommand& extra) {
  std::string line;
  int number = 0;
  while (std::getline(script, line)) {
    ++number;
    auto fail = [&](const std::string& message) {
      std::string shown = line;
      if (!shown.empty() && shown.back() == '\r') shown.pop_back();
      errors << "line " << number << ": " << message << ": " << trimmed(shown) << "\n";
      return number;
    };
    ScriptCommand c;
    std::string error;
    if (!parseScriptLine(line, c, error)) return fail(error);
    if (c.name.empty()) continue;
    if (c.name == "type") {
      type(c.text);
    } else if (c.name == "paste") {
      paste(c.text);
    } else if (c.name == "tap") {
      tap(c.x, c.y, c.count);
    } else if (c.name == "down") {
      down(c.x, c.y);
    } else if (c.name == "up") {
      up(c.x, c.y);
    } else if (c.name == "move") {
      move(c.x, c.y);
    } else if (c.name == "drag") {
      drag(c.x, c.y, c.x1, c.y1, c.seconds);
    } else if (c.name == "key") {
      if (!key(c.text)) return fail("unknown key '" + c.text + "'");
    } else if (c.name == "wait") {
      wait(c.seconds);
    } else if (c.name == "shot") {
      if (!shot(c.text)) return fail("could not write " + c.text);
    } else {
      std::istringstream extraArgs(c.text);
      if (!extra || !extra(c.name, extraArgs)) return fail("unknown command '" + c.name + "'");
    }
  }
  // What the script set going (a mail being sent) reports before the script counts as done.
  if (!finishBackgroundWork()) {
    errors << "line " << number << ": work still running at the end of the script\n";
    return number;
  }
  return 0;
}

}  // namespace kit
