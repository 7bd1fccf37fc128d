#include "kit/ui/Window.h"

#include "kit/app/Application.h"
#include "kit/ui/Screen.h"

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
