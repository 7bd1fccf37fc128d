#pragma once

#include <memory>

#include "kit/ui/ViewController.h"

// The gallery's pages; each is a controller whose root view fills the screen below the status
// bar. The gallery shows one at a time with buttons to switch between them.
std::unique_ptr<kit::ViewController> makeCorePage();   // views, pictures, buttons, animations
std::unique_ptr<kit::ViewController> makeTextPage();   // text fields, keyboards, toolbar, alerts
std::unique_ptr<kit::ViewController> makeStatePage();  // state rows in a scroller
