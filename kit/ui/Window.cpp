#include "kit/ui/Window.h"

#include "kit/ui/Screen.h"

namespace kit {

Window::Window() : View({kScreenWidth, kScreenHeight}) {}

void Window::makeKeyAndVisible(Screen& screen) {
  screen.windowLayer()->addSubview(this);
  screen.setKeyWindow(this);
}

}  // namespace kit
