#include "app/TolvikAppDelegate.h"
#include "kit/ApplicationMain.h"

int main(int argc, char** argv) {
  return kit::applicationMain(argc, argv, [] { return loadMainInterface(); });
}
