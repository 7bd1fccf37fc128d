#pragma once

#include <memory>

#include "app/TolvikViewController.h"
#include "kit/app/ApplicationDelegate.h"
#include "kit/ui/Window.h"

// Puts the root controller's view into the window and shows it.
class TolvikAppDelegate : public kit::ApplicationDelegate {
 public:
  ~TolvikAppDelegate() override;
  bool didFinishLaunchingWithOptions(kit::Application& application) override;
  void didReceiveMemoryWarning(kit::Application& application) override;

  std::unique_ptr<kit::Window> window;
  std::unique_ptr<TolvikViewController> viewController;
};

// What the program is made of at launch: one delegate with its window and root controller, which
// works with `settings`.
std::unique_ptr<TolvikAppDelegate> loadMainInterface(const KioskSettings& settings = {});
