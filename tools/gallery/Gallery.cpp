// The kit's gallery: one page at a time, with buttons at the bottom to switch pages. Runs in a
// window, or headless from a script: kit-gallery [--headless SCRIPT [--scale S]]

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <vector>

#include "Pages.h"
#include "kit/app/Application.h"
#include "kit/app/ApplicationMain.h"
#include "kit/backends/headless/Headless.h"
#include "kit/base/Options.h"
#include "kit/ui/Button.h"
#include "kit/ui/Label.h"
#include "kit/ui/Window.h"

namespace {

constexpr double kBarHeight = 56;

struct PageEntry {
  const char* title;
  std::unique_ptr<kit::ViewController> (*make)();
  std::unique_ptr<kit::ViewController> controller;
  kit::Button* button = nullptr;
};

// Holds the current page, under a bar with a button for each page.
class GalleryController : public kit::ViewController {
 public:
  GalleryController() {
    pages_.push_back({"Core kit", &makeCorePage, nullptr});
    pages_.push_back({"Text and keyboards", &makeTextPage, nullptr});
    pages_.push_back({"State picker", &makeStatePage, nullptr});
  }

  void loadView() override {
    view_ = std::make_unique<kit::View>(kit::Size{kit::kScreenWidth, kit::kScreenHeight});
    view_->setFrame({{0, 0}, {kit::kScreenWidth, kit::kScreenHeight}});
  }

  void viewDidLoad() override {
    auto pageArea = std::make_unique<kit::View>(kit::Size{kit::kScreenWidth, kit::kScreenHeight});
    pageArea->setFrame({{0, 0}, {kit::kScreenWidth, kit::kScreenHeight}});
    pageArea_ = view_->addSubview(std::move(pageArea));

    auto bar = std::make_unique<kit::View>(kit::Size{kit::kScreenWidth, kBarHeight});
    bar->setFrame({{0, kit::kScreenHeight - kBarHeight}, {kit::kScreenWidth, kBarHeight}});
    bar->setBackgroundColor(kit::Color::rgba(0.15, 0.15, 0.18, 0.92));
    kit::View* barView = view_->addSubview(std::move(bar));
    double width = (kit::kScreenWidth - 20 * (pages_.size() + 1)) / pages_.size();
    for (size_t i = 0; i < pages_.size(); ++i) {
      auto button = std::make_unique<kit::Button>(kit::Size{width, 40});
      button->setFrame({{20 + i * (width + 20), 8}, {width, 40}});
      button->addAction([this, i] { showPage(i); }, kit::ControlEvent::TouchUpInside);
      kit::Button* raw = barView->addSubview(std::move(button));
      auto title = std::make_unique<kit::Label>(kit::Size{width, 40});
      title->setText(pages_[i].title);
      title->setTextAlignment(kit::TextAlignment::Center);
      title->setTextColor(kit::Color::white());
      title->setFont(kit::Font::boldSystemFontOfSize(17));
      title->setCenter({width / 2, 20});
      raw->addSubview(std::move(title));
      pages_[i].button = raw;
    }
    showPage(0);
  }

  size_t pageCount() const { return pages_.size(); }

  // Shows page `index`; pages are built on first view and keep their state when hidden.
  void showPage(size_t index) {
    if (index >= pages_.size()) return;
    if (current_ < pages_.size()) pages_[current_].controller->view()->removeFromSuperview();
    PageEntry& page = pages_[index];
    if (!page.controller) page.controller = page.make();
    pageArea_->addSubview(page.controller->view());
    current_ = index;
    for (size_t i = 0; i < pages_.size(); ++i) {
      pages_[i].button->setBackgroundColor(i == index ? kit::Color::rgba(0.2, 0.5, 0.9)
                                                      : kit::Color::rgba(0.35, 0.35, 0.4));
    }
    if (kit::Application* app = kit::Application::shared()) app->setNeedsDisplay();
  }

 private:
  std::vector<PageEntry> pages_;
  kit::View* pageArea_ = nullptr;
  size_t current_ = static_cast<size_t>(-1);
};

class GalleryDelegate : public kit::ApplicationDelegate {
 public:
  bool didFinishLaunchingWithOptions(kit::Application& app) override {
    window_ = std::make_unique<kit::Window>();
    controller_ = std::make_unique<GalleryController>();
    window_->addSubview(controller_->view());
    window_->makeKeyAndVisible(app.screen());
    return true;
  }
  GalleryController& controller() { return *controller_; }

 private:
  std::unique_ptr<kit::Window> window_;
  std::unique_ptr<GalleryController> controller_;
};

// Runs a script headless. Besides the runner's commands it knows "page N" (1 is the first).
int runHeadless(const std::string& scriptPath, double scale) {
  std::ifstream script(scriptPath);
  if (!script) {
    std::cerr << "cannot open " << scriptPath << ": " << std::strerror(errno) << "\n";
    return 2;
  }
  kit::Headless headless(scale);
  auto delegate = std::make_unique<GalleryDelegate>();
  GalleryDelegate* gallery = delegate.get();
  if (!headless.launch(std::move(delegate))) return 1;
  return headless.runScript(script, std::cerr, [&](const std::string& command, auto& args) {
    if (command != "page") return false;
    size_t number = 0;
    if (!(args >> number) || number < 1 || number > gallery->controller().pageCount()) return false;
    gallery->controller().showPage(number - 1);
    headless.app().runOnce();
    return true;
  });
}

}  // namespace

int main(int argc, char** argv) {
  std::string script;
  double scale = 1;
  kit::WindowOptions window;
  window.title = kit::programName(argc, argv);
  bool fullScreen = false;
  kit::CommandLine line =
      kit::parseCommandLine(argc, argv,
                            {{"headless", &script, "Run SCRIPT without a window instead", "SCRIPT"},
                             {"scale", &scale, "Pixels per point when headless (default 1)", "S"},
                             {"fullscreen", &fullScreen, "Cover the whole display"}},
                            "", "Shows every piece of the kit at work, one page at a time.", 0);
  if (line.exitStatus) return *line.exitStatus;
  if (scale <= 0) {
    std::cerr << window.title << ": the scale must be above 0\n";
    return 2;
  }
  if (!script.empty()) return runHeadless(script, scale);
  if (fullScreen) window.mode = kit::WindowMode::FullScreen;
  return kit::applicationMain(window, [] { return std::make_unique<GalleryDelegate>(); });
}
