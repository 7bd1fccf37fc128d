#include "controls/MapScroller.h"

MapScroller::MapScroller(kit::Rect frame) : kit::ScrollView(frame.size) {
  setFrame(frame);
}

void MapScroller::touchesBegan(const kit::TouchSet& touches, const kit::Event* withEvent) {
  if (isDragging()) {
    kit::ScrollView::touchesBegan(touches, withEvent);
  } else if (kit::Responder* next = nextResponder()) {
    next->touchesBegan(touches, withEvent);
  }
}

void MapScroller::touchesEnded(const kit::TouchSet& touches, const kit::Event* withEvent) {
  if (isDragging()) {
    kit::ScrollView::touchesEnded(touches, withEvent);
  } else if (kit::Responder* next = nextResponder()) {
    next->touchesEnded(touches, withEvent);
  }
}
