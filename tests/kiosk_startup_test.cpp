// The kiosk as it stands after start-up: the view tree, the data file check, hit testing at the
// layout's tricky points, and the controller's lifecycle answers.

#include <gtest/gtest.h>

#include <filesystem>

#include "admin/AdminView.h"
#include "kit/Button.h"
#include "kit/NotificationCenter.h"
#include "kit/Screen.h"
#include "support/KioskHarness.h"
#include "survey/Tables.h"

using testing_support::FormPoints;
using testing_support::Kiosk;

namespace {

const std::string kHeader =
    "First Name,Last Name,Phone,Email,Gender,Age,1)In which outdoor activities do you "
    "participate?,2)Do you currently own Tolvik shoes or boots?,3)Do you plan on buying new "
    "Hiking Boots in the next 6 months?,4)Do you plan on buying new trail running shoes in the "
    "next 6 months?,";

int hitTag(Kiosk& k, kit::Point screenPoint) {
  kit::View* hit = k.app().screen().hitTest(screenPoint);
  return hit ? hit->tag : -1;
}

kit::View* hitView(Kiosk& k, kit::Point screenPoint) {
  return k.app().screen().hitTest(screenPoint);
}

}  // namespace

TEST(KioskStartup, FirstStartBuildsTheWholeFormAndCreatesTheDataFileWithItsHeaderOnly) {
  Kiosk k;
  TolvikViewController& c = k.c();

  EXPECT_EQ(testing_support::readAll(k.dataFile()), kHeader);
  EXPECT_EQ(c.formData, "");
  EXPECT_EQ(c.currTextField, 400);
  EXPECT_EQ(c.phoneNum, "");

  // Root view: thank-you view, form view, administration screen, bottom to top.
  kit::View* root = c.view();
  EXPECT_EQ(root->backgroundColor, kit::Color::black());
  EXPECT_EQ(root->convertToAncestor({0, 0}, nullptr), (kit::Point{0, 20}));
  ASSERT_EQ(root->subviews().size(), 3u);
  EXPECT_EQ(root->subviews()[0], c.thankyouView);
  EXPECT_EQ(root->subviews()[1], c.formView);
  EXPECT_EQ(root->subviews()[2], c.admin);
  EXPECT_EQ(c.thankyouView->tag, 110);
  EXPECT_TRUE(c.thankyouView->isHidden());
  EXPECT_EQ(c.formView->tag, 10);
  EXPECT_FALSE(c.formView->isHidden());
  EXPECT_TRUE(c.admin->isHidden());
  EXPECT_EQ(c.formView->center(), (kit::Point{384, 492}));
  EXPECT_EQ(c.admin->center(), (kit::Point{384, 512}));
  EXPECT_EQ(root->superview(), k.delegate().window.get());

  // Form view children in stacking order.
  const auto& children = c.formView->subviews();
  ASSERT_EQ(children.size(), 30u);
  EXPECT_EQ(children[1], c.submit);
  EXPECT_EQ(c.submit->tag, 200);
  EXPECT_EQ(c.submit->frame(), (kit::Rect{{614.5, 943}, {81, 34}}));
  kit::TextField* fields[] = {c.firstName, c.lastName, c.phone, c.email, c.gender, c.age};
  const char* placeholders[] = {"First Name", "Last Name",       "Phone",
                                "Email",      "Gender (M or F)", "Age"};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(children[2 + i], fields[i]);
    EXPECT_EQ(fields[i]->tag, 400 + i);
    EXPECT_EQ(fields[i]->placeholder, placeholders[i]);
    EXPECT_EQ(fields[i]->text(), "");
    EXPECT_EQ(fields[i]->borderStyle, kit::BorderStyle::RoundedRect);
    EXPECT_EQ(fields[i]->font, kit::Font::fontWithName("Helvetica", 15));
    EXPECT_EQ(fields[i]->delegate, &c);
    EXPECT_EQ(root->viewWithTag(400 + i), fields[i]);
  }
  EXPECT_EQ(c.phone->keyboardType, kit::KeyboardType::NumberPad);
  EXPECT_EQ(c.email->keyboardType, kit::KeyboardType::EmailAddress);
  EXPECT_EQ(c.email->autocapitalizationType, kit::AutocapitalizationType::None);
  EXPECT_EQ(c.firstName->autocapitalizationType, kit::AutocapitalizationType::Sentences);
  EXPECT_EQ(c.gender->frame(), (kit::Rect{{84, 297}, {140, 30}}));
  EXPECT_EQ(c.age->frame(), (kit::Rect{{264, 297}, {100, 30}}));

  ASSERT_EQ(c.buttonsArray.size(), 12u);
  const int groups[] = {501, 501, 501, 501, 501, 501, 502, 502, 503, 503, 504, 504};
  for (int i = 0; i < 12; ++i) {
    RadioBtn* b = c.buttonsArray[i];
    EXPECT_EQ(children[8 + i], b);
    EXPECT_EQ(b->tag, groups[i]);
    EXPECT_EQ(b->center(), FormPoints::answer(i));
    EXPECT_FALSE(b->btnTouched());
    EXPECT_TRUE(b->userInteractionEnabled);
  }
  EXPECT_EQ(c.btn7, c.buttonsArray[7]);

  kit::ImageView* markers[] = {c.r1, c.r2, c.r3, c.r4};
  kit::Label* labels[] = {c.rt1, c.rt2, c.rt3, c.rt4};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(children[20 + i], markers[i]);
    EXPECT_EQ(markers[i]->tag, i);
    EXPECT_EQ(markers[i]->alpha(), 0.0);
    EXPECT_FALSE(markers[i]->isHidden());
    EXPECT_EQ(children[24 + i], labels[i]);
    EXPECT_EQ(labels[i]->alpha(), 0.0);
    EXPECT_EQ(labels[i]->text, "*required");
    EXPECT_EQ(labels[i]->textAlignment, kit::TextAlignment::Right);
    EXPECT_EQ(labels[i]->textColor, kit::Color::red());
  }
  EXPECT_EQ(c.rY, (std::vector<std::string>{"388", "555", "642", "730"}));
  EXPECT_EQ(c.r3->center(), (kit::Point{120, 522}));
  EXPECT_EQ(c.rt4->center(), (kit::Point{602, 275}));

  EXPECT_EQ(children[28]->tag, 300);
  EXPECT_EQ(children[28]->frame(), (kit::Rect{{618, 0}, {150, 150}}));
  EXPECT_EQ(children[29], c.toolbar);
  EXPECT_EQ(c.toolbar->center(), (kit::Point{384, 1050}));
  ASSERT_EQ(c.toolbar->items().size(), 4u);
  EXPECT_EQ(c.toolbar->items()[0]->title, "prev");
  EXPECT_EQ(c.toolbar->items()[1]->title, "next");
  EXPECT_TRUE(c.toolbar->items()[2]->isSystemItem);
  EXPECT_EQ(c.toolbar->items()[3]->title, "done");
  EXPECT_EQ(c.toolbar->items()[3]->style, kit::BarButtonItemStyle::Done);

  EXPECT_EQ(c.questionsTextArray, survey::questionTexts());
  EXPECT_EQ(c.answersTextArray[5], "Camping");
}

TEST(KioskStartup, AStartWithADataFilePresentLeavesItByteForByteUnchanged) {
  testing_support::TempHome home;
  std::string path = home.documents() + "/TolvikData.txt";
  std::filesystem::create_directories(home.documents());
  // Stored by an earlier run: a header, a record, and no line end at the end.
  std::string stored = kHeader + "\r\nAnna,Berg,(555) 201-3344,a@b.c,F,34,\"Hiking,\",Yes,No,Yes,";
  testing_support::writeAll(path, stored);
  {
    kit::Headless h;
    auto delegate = loadMainInterface();
    TolvikViewController* c = delegate->viewController.get();
    h.launch(std::move(delegate));
    EXPECT_EQ(c->formData, stored);
  }
  EXPECT_EQ(testing_support::readAll(path), stored);
}

TEST(KioskStartup, TouchesHitTheRightViewsAtTheLayoutsTrickyPoints) {
  Kiosk k;
  TolvikViewController& c = k.c();

  // The invisible tap area in the form's top right corner, not the form background beside it.
  EXPECT_EQ(hitTag(k, {693, 75}), 300);
  EXPECT_EQ(hitTag(k, {619, 21}), 300);  // just below the status bar
  EXPECT_EQ(hitTag(k, {767, 149}), 300);
  EXPECT_EQ(hitTag(k, {617, 75}), 10);
  EXPECT_EQ(hitTag(k, {693, 151}), 10);

  // Labels and markers take no touches, also while fully visible.
  c.rt1->setAlpha(1.0);
  c.r2->setAlpha(1.0);
  c.r2->setCenter({120, 585});
  EXPECT_EQ(hitView(k, {330, 242}), c.firstName);  // under the first label's text
  EXPECT_EQ(hitView(k, {103, 560}), c.btn4);       // an answer button under the marker
  EXPECT_EQ(hitTag(k, {180, 610}), 10);            // the marker over bare background
  EXPECT_EQ(hitView(k, {655, 960}), c.submit);

  // The answer button takes the touch on its whole 50 x 50 square, not only on its ring; where
  // two squares overlap, the later button lies on top.
  EXPECT_EQ(hitView(k, {300 - 24, 517 - 24}), c.btn3);
  EXPECT_EQ(hitView(k, {300 - 24, 517 + 24}), c.btn5);

  // The thank-you picture takes no touches: the thank-you view gets them.
  c.formView->setHidden(true);
  c.thankyouView->setHidden(false);
  EXPECT_EQ(hitTag(k, {384, 500}), 110);
  EXPECT_EQ(hitTag(k, {10, 1015}), 110);
  EXPECT_EQ(hitTag(k, {693, 75}), 110);  // the tap area lies in the hidden form
}

TEST(KioskStartup, LifecycleAnswersAndMemoryWarningsChangeNothing) {
  Kiosk k;
  TolvikViewController& c = k.c();
  EXPECT_TRUE(c.shouldAutorotateToInterfaceOrientation(kit::InterfaceOrientation::Portrait));
  EXPECT_TRUE(
      c.shouldAutorotateToInterfaceOrientation(kit::InterfaceOrientation::PortraitUpsideDown));
  EXPECT_FALSE(c.shouldAutorotateToInterfaceOrientation(kit::InterfaceOrientation::LandscapeLeft));
  EXPECT_FALSE(c.shouldAutorotateToInterfaceOrientation(kit::InterfaceOrientation::LandscapeRight));

  k.app().orientationChanged(kit::InterfaceOrientation::LandscapeLeft);
  EXPECT_EQ(k.app().screenOrientation(), kit::InterfaceOrientation::Portrait);
  k.app().orientationChanged(kit::InterfaceOrientation::PortraitUpsideDown);
  EXPECT_EQ(k.app().screenOrientation(), kit::InterfaceOrientation::PortraitUpsideDown);

  k.fill(FormPoints::firstName, "Anna");
  k.tapAt(FormPoints::answer(1));
  k.app().memoryWarning();
  EXPECT_EQ(c.firstName->text(), "Anna");
  EXPECT_TRUE(k.answerOn(1));
  EXPECT_FALSE(c.formView->isHidden());
}

TEST(KioskStartup, ControllersComeAndGoWithoutLeavingObserversBehind) {
  for (int i = 0; i < 20; ++i) {
    Kiosk k;
    k.tapAt(FormPoints::email);
    k.advance(0.1);
  }
  // Notifications posted after the kiosks have gone reach nobody.
  kit::ManualClock clock;
  kit::Application app(clock);
  kit::NotificationCenter::defaultCenter().postNotificationName(kit::KeyboardWillShowNotification,
                                                                nullptr);
  kit::NotificationCenter::defaultCenter().postNotificationName("ReturnToForm", nullptr);
}

TEST(KioskStartup, StaffNotificationsFromAnyOtherSenderHaveNoEffect) {
  Kiosk k;
  TolvikViewController& c = k.c();
  auto& center = kit::NotificationCenter::defaultCenter();
  k.fill(FormPoints::lastName, "Berg");
  kit::Object stranger;
  testing_support::StderrCapture capture;
  for (const char* name : {"ReturnToForm", "EmailData"}) {
    center.postNotificationName(name, &stranger);
    center.postNotificationName(name, nullptr);
  }
  EXPECT_EQ(c.lastName->text(), "Berg");
  // From the administration screen itself they reach the controller.
  center.postNotificationName("EmailData", c.admin);
  EXPECT_EQ(testing_support::countOf(capture.finish(), "CSV sent: "), 1);
  center.postNotificationName("ReturnToForm", c.admin);
  EXPECT_EQ(c.lastName->text(), "");
}
