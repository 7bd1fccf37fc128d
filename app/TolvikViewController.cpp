#include "app/TolvikViewController.h"

// Observer registrations end with the controller itself (the notification centre holds only weak
// references), so tests may build and destroy controllers freely.
TolvikViewController::~TolvikViewController() = default;

bool TolvikViewController::shouldAutorotateToInterfaceOrientation(
    kit::InterfaceOrientation orientation) {
  return orientation == kit::InterfaceOrientation::Portrait ||
         orientation == kit::InterfaceOrientation::PortraitUpsideDown;
}

// A memory warning changes nothing: the kiosk holds nothing it could let go of.
void TolvikViewController::didReceiveMemoryWarning() {
  kit::ViewController::didReceiveMemoryWarning();
}
