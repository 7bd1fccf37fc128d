#include "admin/AdminView.h"

void AdminView::initAdminView() {
  backgroundColor = kit::Color::black();
}
