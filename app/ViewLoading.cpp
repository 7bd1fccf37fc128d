// Builds the kiosk's whole view tree when the controller's view first loads. Sizes and centres
// are points; every view is made at origin (0, 0) and placed by its centre in its parent, and a
// view added later lies above those added before it.

#include <memory>

#include "admin/AdminView.h"
#include "admin/ExportPanel.h"
#include "app/TolvikViewController.h"
#include "controls/RadioBtn.h"
#include "kit/base/Log.h"
#include "kit/ui/Button.h"
#include "survey/DataFile.h"
#include "survey/Tables.h"

using kit::Color;
using kit::Font;
using kit::Point;
using kit::Size;

namespace {

constexpr Size kScreenSize{768, 1024};
// The two full-size containers reach 20 points above the root view, which starts below the
// status bar, so that they cover the whole screen.
constexpr Point kContainerCenter{384, 492};
const char* const kFontName = "Helvetica";
constexpr double kFontSize = 15;

std::unique_ptr<kit::ImageView> picture(Size size, const char* name) {
  auto view = std::make_unique<kit::ImageView>(size);
  view->setImage(kit::Image::imageNamed(name));
  return view;
}

struct FieldLayout {
  int tag;
  Size size;
  Point center;
  const char* placeholder;
  kit::KeyboardType keyboardType;
  kit::AutocapitalizationType autocapitalization;
};

// From the base point (224, 242): the right column 320 points over, rows 35 points apart, the
// gender field 70 points left and the age field 90 points right of the base on the third row.
const FieldLayout kFields[] = {
    {400,
     {280, 30},
     {224, 242},
     "First Name",
     kit::KeyboardType::Default,
     kit::AutocapitalizationType::Sentences},
    {401,
     {278, 30},
     {544, 242},
     "Last Name",
     kit::KeyboardType::Default,
     kit::AutocapitalizationType::Sentences},
    {402,
     {278, 30},
     {224, 277},
     "Phone",
     kit::KeyboardType::NumberPad,
     kit::AutocapitalizationType::Sentences},
    {403,
     {280, 30},
     {544, 277},
     "Email",
     kit::KeyboardType::EmailAddress,
     kit::AutocapitalizationType::None},
    {404,
     {140, 30},
     {154, 312},
     "Gender (M or F)",
     kit::KeyboardType::Default,
     kit::AutocapitalizationType::None},
    {405,
     {100, 30},
     {314, 312},
     "Age",
     kit::KeyboardType::Default,
     kit::AutocapitalizationType::None},
};

struct ButtonLayout {
  int tag;
  Point center;
};

const ButtonLayout kAnswerButtons[] = {
    {501, {103, 479}}, {501, {300, 479}}, {501, {103, 517}}, {501, {300, 517}},
    {501, {103, 555}}, {501, {300, 555}}, {502, {82, 644}},  {502, {154, 644}},
    {503, {82, 732}},  {503, {154, 732}}, {504, {82, 820}},  {504, {154, 820}},
};

const Point kMarkerCenters[] = {{120, 375}, {120, 455}, {120, 522}, {120, 660}};
const char* const kMarkerRestY[] = {"388", "555", "642", "730"};
const Point kLabelCenters[] = {{282, 240}, {602, 240}, {282, 275}, {602, 275}};

}  // namespace

void TolvikViewController::viewDidLoad() {
  buttonsArray.clear();
  questionsTextArray = survey::questionTexts();
  answersTextArray = survey::answerTexts();
  view()->setBackgroundColor(Color::black());

  makeThankyouView();
  makeFormView();
  currTextField = 400;
  makeEntryFields();
  makeAnswerButtons();
  makeRequiredMarkers();
  makeRequiredLabels();
  makeAdminView();
  makeHiddenTapArea();

  auto& center = kit::NotificationCenter::defaultCenter();
  center.addObserver(&emailExport, &EmailExport::start, "EmailData", admin);
  center.addObserver(this, &TolvikViewController::showForm, "ReturnToForm", admin);
  center.addObserver(this, &TolvikViewController::showExports, "SignedIn", admin);
  center.addObserver(this, &TolvikViewController::sendWaitingMail, "SendWaitingMail",
                     admin->exports);
  if (kit::mailSettings().retryMinutes > 0) retryWaitingMail();
  center.addObserver(this, &TolvikViewController::copyToDrive, "CopyToDrive", admin->exports);
  center.addObserver(this, &TolvikViewController::ejectDrive, "EjectDrive", admin->exports);
  drives = std::make_unique<kit::RemovableDrives>([this] { showDrive(); });
  showDrive();

  formData = "";
  formData = survey::checkDataFile(questionsTextArray);

  makeKeyboardToolbar();
  center.addObserver(this, &TolvikViewController::keyboardWillShow,
                     kit::KeyboardWillShowNotification, nullptr);
  center.addObserver(this, &TolvikViewController::keyboardWillHide,
                     kit::KeyboardWillHideNotification, nullptr);
  kit::ViewController::viewDidLoad();
  checkIdle();
}

void TolvikViewController::makeThankyouView() {
  auto container = std::make_unique<kit::View>(kScreenSize);
  container->setCenter(kContainerCenter);
  container->tag = 110;
  container->setHidden(true);
  container->userInteractionEnabled = true;
  container->setBackgroundColor(Color::black());
  thankyouView = view()->addSubview(std::move(container));

  auto thanks = picture(kScreenSize, "bg_thankyou.png");
  thanks->setCenter(kContainerCenter);
  thanks->setHidden(false);
  thanks->userInteractionEnabled = false;
  thanks->setAlpha(1.0);
  thankyouView->addSubview(std::move(thanks));
}

void TolvikViewController::makeFormView() {
  auto container = std::make_unique<kit::View>(kScreenSize);
  container->setCenter(kContainerCenter);
  container->tag = 10;
  container->setHidden(false);
  container->userInteractionEnabled = true;
  container->setBackgroundColor(Color::black());
  formView = view()->addSubview(std::move(container));

  auto background = picture(kScreenSize, "bg_form.png");
  background->setHidden(false);
  background->setAlpha(1.0);
  background->userInteractionEnabled = false;
  background->setBackgroundColor(Color::black());
  formView->addSubview(std::move(background));

  auto button = std::make_unique<kit::Button>(Size{81, 34});
  button->setCenter({655, 960});
  button->tag = 200;
  button->setBackgroundColor(Color::clear());
  button->setBackgroundImage(kit::Image::imageNamed("btn_submit.png"), kit::ControlState::Normal);
  button->setHidden(false);
  button->userInteractionEnabled = true;
  button->addTarget(this, &TolvikViewController::submitForm, kit::ControlEvent::TouchUpInside);
  submit = formView->addSubview(std::move(button));
}

void TolvikViewController::makeEntryFields() {
  kit::TextField** slots[] = {&firstName, &lastName, &phone, &email, &gender, &age};
  for (size_t i = 0; i < std::size(kFields); ++i) {
    const FieldLayout& layout = kFields[i];
    auto field = std::make_unique<kit::TextField>(layout.size);
    field->setCenter(layout.center);
    field->tag = layout.tag;
    field->setAlpha(1.0);
    field->setTextColor(Color::black());
    field->setFont(Font::fontWithName(kFontName, kFontSize));
    field->setBackgroundColor(Color::clear());
    field->setBorderStyle(kit::BorderStyle::RoundedRect);
    field->setTextAlignment(kit::TextAlignment::Left);
    field->autocorrectionType = kit::AutocorrectionType::No;
    field->setPlaceholder(layout.placeholder);
    field->keyboardType = layout.keyboardType;
    field->autocapitalizationType = layout.autocapitalization;
    field->delegate = this;
    *slots[i] = formView->addSubview(std::move(field));
    if (*slots[i] == phone) {
      phone->addTarget(this, &TolvikViewController::clearFormatPhone,
                       kit::ControlEvent::EditingDidBegin);
      phone->addTarget(this, &TolvikViewController::formatPhone, kit::ControlEvent::EditingDidEnd);
      phoneNum = "";
      // The digit buffer follows edits at the end only, so the caret never leaves the end.
      phone->keepsCaretAtEnd = true;
    }
    if (*slots[i] == gender) {
      gender->addTarget(this, &TolvikViewController::formatGender,
                        kit::ControlEvent::EditingDidEnd);
    }
  }
}

void TolvikViewController::makeAnswerButtons() {
  RadioBtn** slots[] = {&btn0, &btn1, &btn2, &btn3, &btn4,  &btn5,
                        &btn6, &btn7, &btn8, &btn9, &btn10, &btn11};
  for (size_t i = 0; i < std::size(kAnswerButtons); ++i) {
    auto button = std::make_unique<RadioBtn>(Size{50, 50});
    button->initBtn();
    button->tag = kAnswerButtons[i].tag;
    button->setCenter(kAnswerButtons[i].center);
    *slots[i] = button.get();
    buttonsArray.push_back(button.get());
    formView->addSubview(std::move(button));
  }
  for (RadioBtn* button : buttonsArray) {
    button->setHidden(false);
    button->setAlpha(1.0);
    button->userInteractionEnabled = true;
  }
}

void TolvikViewController::makeRequiredMarkers() {
  kit::ImageView** slots[] = {&r1, &r2, &r3, &r4};
  for (int i = 0; i < 4; ++i) {
    auto marker = picture({134, 67}, "required.png");
    marker->tag = i;
    marker->setCenter(kMarkerCenters[i]);
    marker->setHidden(false);
    marker->setAlpha(0.0);
    *slots[i] = formView->addSubview(std::move(marker));
  }
  rY.assign(std::begin(kMarkerRestY), std::end(kMarkerRestY));
}

void TolvikViewController::makeRequiredLabels() {
  kit::Label** slots[] = {&rt1, &rt2, &rt3, &rt4};
  for (int i = 0; i < 4; ++i) {
    auto label = std::make_unique<kit::Label>(Size{134, 30});
    label->setCenter(kLabelCenters[i]);
    label->setAlpha(0.0);
    label->setText("*required");
    label->setTextColor(Color::red());
    label->setFont(Font::fontWithName(kFontName, kFontSize));
    label->setBackgroundColor(Color::clear());
    label->setTextAlignment(kit::TextAlignment::Right);
    *slots[i] = formView->addSubview(std::move(label));
  }
}

void TolvikViewController::makeAdminView() {
  auto screen = std::make_unique<AdminView>(kScreenSize);
  screen->setCenter({384, 512});
  screen->setHidden(true);
  screen->userInteractionEnabled = true;
  screen->setBackgroundColor(Color::black());
  screen->staffUser = settings.staffUser;
  screen->passwordHash = settings.staffPasswordHash;
  screen->initAdminView();
  admin = view()->addSubview(std::move(screen));
}

void TolvikViewController::makeHiddenTapArea() {
  auto area = std::make_unique<kit::View>(Size{150, 150});
  area->setCenter({693, 75});
  area->tag = 300;
  area->setBackgroundColor(Color::clear());
  area->setHidden(false);
  area->userInteractionEnabled = true;
  formView->addSubview(std::move(area));
}

void TolvikViewController::makeKeyboardToolbar() {
  auto bar = std::make_unique<kit::Toolbar>(Size{768, 50});
  bar->setCenter({384, 1050});
  bar->barStyle = kit::BarStyle::Default;
  bar->tintColor = Color::lightGray();

  std::vector<std::unique_ptr<kit::BarButtonItem>> items;
  auto prev = std::make_unique<kit::BarButtonItem>("prev", kit::BarButtonItemStyle::Bordered, this,
                                                   &TolvikViewController::prevClicked);
  prev->tag = 0;
  auto next = std::make_unique<kit::BarButtonItem>("next", kit::BarButtonItemStyle::Bordered, this,
                                                   &TolvikViewController::nextClicked);
  next->tag = 1;
  auto space = std::make_unique<kit::BarButtonItem>(kit::BarButtonSystemItem::FlexibleSpace);
  auto done = std::make_unique<kit::BarButtonItem>("done", kit::BarButtonItemStyle::Done, this,
                                                   &TolvikViewController::doneClicked);
  done->tag = 2;
  items.push_back(std::move(prev));
  items.push_back(std::move(next));
  items.push_back(std::move(space));
  items.push_back(std::move(done));
  bar->setItems(std::move(items));
  toolbar = formView->addSubview(std::move(bar));
}
