#include "Window.h"

#include "Application.h"
#include "Screen.h"

namespace kit {

Window::Window() : View({kScreenWidth, kScreenHeight}) {}

Window::~Window() {
  Application* app = Application::shared();
  if (app && app->keyWindow() == this) app->setKeyWindow(nullptr);
}

void Window::makeKeyAndVisible() {
  Application* app = Application::shared();
  if (!app) return;
  app->screen().windowLayer()->addSubview(this);
  app->setKeyWindow(this);
}

}  // namespace kit
