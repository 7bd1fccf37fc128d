// Pixels of the rendered screen: alpha, transforms, unclipped children, covering views, and the
// status bar's battery. The kiosk's own screens, its pictures at both densities, are probed in
// kiosk_screens_test.

#include <cairo.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "kit/backends/headless/Headless.h"
#include "kit/base/PowerSupply.h"
#include "kit/graphics/Image.h"
#include "kit/ui/ImageView.h"
#include "kit/ui/Renderer.h"
#include "kit/ui/Screen.h"
#include "support/TestSupport.h"

using namespace kit;
using testing_support::addWhiteRoot;

namespace {

View* addBox(View* parent, Size size, Point center, Color color) {
  auto box = std::make_unique<View>(size);
  box->setCenter(center);
  box->setBackgroundColor(color);
  return parent->addSubview(std::move(box));
}

ImageView* addPicture(View* parent, Size size, Point center, const std::string& name) {
  auto view = std::make_unique<ImageView>(size);
  view->setImage(Image::imageNamed(name));
  view->setCenter(center);
  return parent->addSubview(std::move(view));
}

// Checks the last shot's colour at each (x, y) pair of root coordinates in `points`.
void expectColorAt(Headless& h, Color expected, std::initializer_list<double> points) {
  for (auto p = points.begin(); p + 1 < points.end(); p += 2) {
    EXPECT_COLOR(expected, h.renderer().colorAt({p[0], p[1] + kStatusBarHeight}))
        << p[0] << ", " << p[1];
  }
}

// Pictures are written into a folder of the test's own, the kit's picture folder meanwhile.
class RenderTest : public ::testing::Test {
 protected:
  RenderTest() { Image::setResourceDirectory(folder_.path()); }
  ~RenderTest() override { Image::setResourceDirectory(previousFolder_); }

  // An opaque picture: columns left of `split` in one colour, the rest in another.
  void writePng(const std::string& name, int width, int height, int split, Color left,
                Color right) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, right.r, right.g, right.b);
    cairo_paint(cr);
    cairo_set_source_rgb(cr, left.r, left.g, left.b);
    cairo_rectangle(cr, 0, 0, split, height);
    cairo_fill(cr);
    cairo_destroy(cr);
    std::string path = folder_.path() + "/" + name;
    ASSERT_EQ(CAIRO_STATUS_SUCCESS, cairo_surface_write_to_png(surface, path.c_str()));
    cairo_surface_destroy(surface);
  }
  std::string out(const std::string& name) {
    return testing_support::outputDirectory() + "/render_" + name + ".png";
  }

  testing_support::TempHome folder_;
  std::string previousFolder_ = Image::resourceDirectory();
};

}  // namespace

TEST_F(RenderTest, AlphaTransformAndUnclippedChildren) {
  Headless h(1);
  View* root = addWhiteRoot(h);

  // Half-transparent red over white.
  addBox(root, {100, 100}, {100, 100}, Color::red())->setAlpha(0.5);
  // A group fades as one: where its two opaque children overlap it is no darker.
  View* group = addBox(root, {100, 100}, {300, 100}, Color::clear());
  group->setAlpha(0.5);
  addBox(group, {60, 100}, {30, 50}, Color::black());
  addBox(group, {60, 100}, {70, 50}, Color::black());
  // Scaled 1.5 times about its centre: 100 points wide becomes 150.
  addBox(root, {100, 100}, {500, 100}, Color::rgba(0, 0, 1))
      ->setTransform(Transform::makeScale(1.5, 1.5));
  // A child reaching out of its parent is drawn whole, also through a transformed parent.
  View* parent = addBox(root, {50, 50}, {200, 400}, Color::rgba(0, 0.5, 0));
  addBox(parent, {40, 40}, {60, 25}, Color::black());
  View* turned = addBox(root, {50, 50}, {500, 400}, Color::rgba(0, 0.5, 0));
  turned->setTransform(Transform::makeScale(2, 2));
  addBox(turned, {20, 20}, {60, 25}, Color::black());
  // Neither hidden views nor fully transparent ones are drawn, nor their children.
  addBox(root, {50, 50}, {100, 600}, Color::red())->setHidden(true);
  View* clear = addBox(root, {50, 50}, {200, 600}, Color::red());
  clear->setAlpha(0);
  addBox(clear, {10, 10}, {25, 25}, Color::black());
  // A picture in a faded group lands where it belongs, faded with it.
  writePng("dot.png", 10, 10, 0, Color::black(), Color::black());
  View* fadedGroup = addBox(root, {100, 100}, {650, 650}, Color::clear());
  fadedGroup->setAlpha(0.5);
  addPicture(fadedGroup, {10, 10}, {75, 75}, "dot.png");

  ASSERT_TRUE(h.shot(out("alpha_transform")));
  expectColorAt(h, Color::rgba(1, 0.5, 0.5), {100, 100});
  // The faded picture spans 670..680.
  expectColorAt(h, Color::gray(), {260, 100, 300, 100, 671, 671, 679, 679});
  // The scaled box spans 425..575 and 25..175.
  expectColorAt(h, Color::rgba(0, 0, 1), {427, 100, 573, 173});
  // The parent spans 175..225, its child 215..255; the scaled parent spans 450..550 and its
  // child's far edge is at 500 + 2 * (70 - 25).
  expectColorAt(h, Color::black(), {250, 400, 585, 400});
  expectColorAt(h, Color::white(), {45,  100, 360, 100, 423, 100, 500, 177, 258, 400,
                                    595, 400, 669, 675, 681, 675, 100, 600, 200, 600});
}

TEST_F(RenderTest, ViewsCoveringTheScreenHideOnlyWhatIsBelowThem) {
  Color darkGreen = Color::rgba(0, 128 / 255.0, 0);
  writePng("backdrop.png", 8, 8, 0, darkGreen, darkGreen);
  Headless h(1);
  View* root = addWhiteRoot(h);
  addBox(root, {100, 100}, {100, 100}, Color::red());
  // An opaque picture over the whole screen below the status bar, and a box above it.
  ImageView* backdrop = addPicture(h.app().screen().modalLayer(), root->bounds().size,
                                   root->center(), "backdrop.png");
  addBox(backdrop, {50, 50}, {400, 100}, Color::rgba(0, 0, 1));
  auto under = [&] { return h.colorAt({100, 100 + kStatusBarHeight}); };
  EXPECT_COLOR(darkGreen, under());
  EXPECT_COLOR(Color::rgba(0, 0, 1), h.colorAt({400, 100 + kStatusBarHeight}));

  // See-through, moved aside, or hidden, the cover lets what is below show again.
  backdrop->setAlpha(0.5);
  EXPECT_COLOR(Color::rgba(0.5, 64 / 255.0, 0), under());
  backdrop->setAlpha(1);
  backdrop->setCenter({backdrop->center().x + 1, backdrop->center().y});
  EXPECT_COLOR(Color::white(), h.colorAt({0.5, 500}));
  backdrop->setHidden(true);
  EXPECT_COLOR(Color::red(), under());
}

// The status bar's battery as a fake power-supply folder describes the machine: none drawn
// without one, a peripheral's passed over, the charge as wide as it is full, red when low, green
// while charging.
TEST(StatusBar, ShowsTheBatteryThatTheSystemReports) {
  testing_support::TempHome home;
  const std::string folder = home.path() + "/power_supply";
  auto supply = [&](const std::string& name,
                    std::initializer_list<std::pair<const char*, const char*>> attributes) {
    std::filesystem::create_directories(folder + "/" + name);
    for (auto [attribute, value] : attributes) {
      testing_support::writeAll(folder + "/" + name + "/" + attribute, std::string(value) + "\n");
    }
  };
  const Color black = Color::black(), light = Color::rgba(0.92, 0.92, 0.92);
  const Color red = Color::rgba(1.0, 0.23, 0.19), green = Color::rgba(0.30, 0.85, 0.39);
  Headless h(2);
  addWhiteRoot(h);
  struct Step {
    std::function<void()> change;
    Color low, high;  // inside the battery at 10 % and at 90 % of its charge
  } steps[] = {
      // Mains power and a wireless mouse's battery: no battery of the machine's own.
      {[&] {
         supply("AC", {{"type", "Mains"}, {"online", "1"}});
         supply("hidpp_battery_0", {{"type", "Battery"},
                                    {"scope", "Device"},
                                    {"capacity", "70"},
                                    {"status", "Discharging"}});
       },
       black, black},
      {[&] {
         supply("BAT0", {{"type", "Battery"}, {"capacity", "57"}, {"status", "Discharging"}});
       },
       light, black},
      {[&] {
         supply("BAT0", {{"capacity", "15"}});
       },
       red, black},
      {[&] {
         supply("BAT0", {{"capacity", "100"}, {"status", "Charging"}});
       },
       green, green},
  };
  for (const Step& step : steps) {
    step.change();
    h.app().setBattery(readBattery(folder));
    h.shot(testing_support::outputDirectory() + "/status-bar-" + std::to_string(&step - steps) +
           ".png");
    // The charge runs 19 points from x 735.5, on the bar's middle row.
    EXPECT_COLOR(step.low, h.renderer().colorAt({737.5, 10}));
    EXPECT_COLOR(step.high, h.renderer().colorAt({752.5, 10}));
  }
  EXPECT_EQ(readBattery(folder), (BatteryState{100, true}));
  EXPECT_EQ(readBattery(home.path() + "/nothing here"), std::nullopt);
}
