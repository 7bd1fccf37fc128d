#include "Headless.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <istream>
#include <ostream>

#include "kit/Screen.h"
#include "kit/TextField.h"
#include "kit/Utf8.h"

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
  renderer_.renderScreen(app_->screen());
  app_->didDisplay();
  return file.empty() || renderer_.writePng(file);
}

Color Headless::colorAt(Point screenPoint) {
  shot("");
  return renderer_.colorAt(screenPoint);
}

int Headless::runScript(std::istream& script, std::ostream& errors, const ExtraCommand& extra) {
  std::string line;
  int number = 0;
  while (std::getline(script, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::string text = trimmed(line);
    if (text.empty() || text[0] == '#') continue;
    auto start = line.find_first_not_of(" \t");
    auto split = line.find_first_of(" \t", start);
    std::string command = line.substr(start, split - start);
    // Text arguments keep everything after the command word and one blank, '#' and trailing
    // blanks included.
    std::string rest = split == std::string::npos ? std::string() : line.substr(split + 1);
    auto fail = [&](const std::string& message) {
      errors << "line " << number << ": " << message << ": " << text << "\n";
      return number;
    };
    if (command == "type" || command == "paste") {
      if (rest.empty()) return fail("missing text");
      command == "type" ? type(rest) : paste(rest);
      continue;
    }
    // Other commands may end in a comment.
    std::istringstream args(trimmed(rest.substr(0, rest.find('#'))));
    if (command == "drag") {
      double values[5];
      if (!readNumbers(args, values, 5) || !atEnd(args) || values[4] < 0) {
        return fail("expected X0 Y0 X1 Y1 SECONDS");
      }
      drag(values[0], values[1], values[2], values[3], values[4]);
    } else if (command == "tap" || command == "down" || command == "up" || command == "move") {
      double xy[2];
      if (!readNumbers(args, xy, 2)) return fail("expected X Y");
      if (command == "tap") {
        double count = 1;
        std::string word;
        if (args >> word) {
          if (!parseNumber(word, count) || count < 1 || count != std::floor(count)) {
            return fail("the tap count must be a whole number of at least 1");
          }
        }
        if (!atEnd(args)) return fail("too many arguments");
        tap(xy[0], xy[1], static_cast<int>(count));
      } else {
        if (!atEnd(args)) return fail("too many arguments");
        if (command == "down") down(xy[0], xy[1]);
        if (command == "move") move(xy[0], xy[1]);
        if (command == "up") up(xy[0], xy[1]);
      }
    } else if (command == "key") {
      std::string name;
      if (!(args >> name) || !atEnd(args)) return fail("expected one key name");
      if (!key(name)) return fail("unknown key '" + name + "'");
    } else if (command == "wait") {
      double seconds;
      if (!readNumbers(args, &seconds, 1) || !atEnd(args) || seconds < 0) {
        return fail("expected a number of seconds");
      }
      wait(seconds);
    } else if (command == "shot") {
      std::string file = args.str();
      if (file.empty()) return fail("missing file name");
      if (!shot(file)) return fail("could not write " + file);
    } else {
      std::istringstream extraArgs(rest);
      if (!extra || !extra(command, extraArgs)) return fail("unknown command '" + command + "'");
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
