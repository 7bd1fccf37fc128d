#include "app/TolvikAppDelegate.h"

#include "kit/app/Application.h"

// The controller goes first, then the window.
TolvikAppDelegate::~TolvikAppDelegate() {
  viewController.reset();
  window.reset();
}

bool TolvikAppDelegate::didFinishLaunchingWithOptions(kit::Application& application) {
  // The first request for the view loads it: the whole tree is built here.
  window->addSubview(viewController->view());
  window->makeKeyAndVisible(application.screen());
  return true;
}

void TolvikAppDelegate::didReceiveMemoryWarning(kit::Application&) {
  viewController->didReceiveMemoryWarning();
}

std::unique_ptr<TolvikAppDelegate> loadMainInterface(const KioskSettings& settings) {
  auto delegate = std::make_unique<TolvikAppDelegate>();
  delegate->window = std::make_unique<kit::Window>();
  delegate->viewController = std::make_unique<TolvikViewController>();
  delegate->viewController->settings = settings;
  return delegate;
}
