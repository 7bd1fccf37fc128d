// Pixels of the rendered screen: pictures by name, alpha, transforms, unclipped children, labels,
// the status bar, and pixel density.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "kit/Image.h"
#include "kit/ImageView.h"
#include "kit/Label.h"
#include "kit/Renderer.h"
#include "kit/Screen.h"
#include "kit/backends/headless/Headless.h"
#include "support/TestSupport.h"

using namespace kit;

namespace {

using Rgb = std::array<uint8_t, 3>;

// Writes an opaque RGB PNG (deflate in stored blocks), so that tests need no image library.
void writePng(const std::string& path, int width, int height,
              const std::function<Rgb(int x, int y)>& pixel) {
  auto crc = [](const std::string& bytes) {
    uint32_t c = 0xffffffffu;
    for (unsigned char b : bytes) {
      c ^= b;
      for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xedb88320u & (0u - (c & 1)));
    }
    return c ^ 0xffffffffu;
  };
  auto be32 = [](uint32_t v) {
    return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
  };
  auto chunk = [&](const std::string& type, const std::string& data) {
    return be32(uint32_t(data.size())) + type + data + be32(crc(type + data));
  };
  std::string raw;
  for (int y = 0; y < height; ++y) {
    raw += '\0';
    for (int x = 0; x < width; ++x) {
      Rgb c = pixel(x, y);
      raw.append(reinterpret_cast<const char*>(c.data()), 3);
    }
  }
  std::string zlib = "\x78\x01";
  for (size_t at = 0; at < raw.size() || at == 0; at += 65535) {
    size_t n = std::min<size_t>(65535, raw.size() - at);
    zlib += char(at + n >= raw.size() ? 1 : 0);
    zlib += {char(n), char(n >> 8), char(~n), char(~n >> 8)};
    zlib += raw.substr(at, n);
  }
  uint32_t a = 1, b = 0;
  for (unsigned char byte : raw) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  zlib += be32(b << 16 | a);
  std::string header = be32(width) + be32(height) + std::string{8, 2, 0, 0, 0};
  std::ofstream out(path, std::ios::binary);
  out << "\x89PNG\r\n\x1a\n" << chunk("IHDR", header) << chunk("IDAT", zlib) << chunk("IEND", "");
}

void expectColorAt(int line, Color expected, Color actual, double tolerance) {
  SCOPED_TRACE(testing::Message() << "checked at line " << line);
  EXPECT_NEAR(expected.r, actual.r, tolerance);
  EXPECT_NEAR(expected.g, actual.g, tolerance);
  EXPECT_NEAR(expected.b, actual.b, tolerance);
  EXPECT_NEAR(expected.a, actual.a, tolerance);
}

#define expectColor(...) expectColorWithDefault(__LINE__, __VA_ARGS__)
void expectColorWithDefault(int line, Color expected, Color actual, double tolerance = 2.0 / 255) {
  expectColorAt(line, expected, actual, tolerance);
}

bool isDark(Color c) {
  return c.r + c.g + c.b < 1.5;
}

// A white root view below the status bar, as a window's content would be.
View* whiteRoot(Headless& h) {
  auto root = std::make_unique<View>(Size{kScreenWidth, kScreenHeight - kStatusBarHeight});
  root->setCenter({kScreenWidth / 2, kStatusBarHeight + (kScreenHeight - kStatusBarHeight) / 2});
  root->backgroundColor = Color::white();
  return h.app().screen().windowLayer()->addSubview(std::move(root));
}

View* addBox(View* parent, Size size, Point center, Color color) {
  auto box = std::make_unique<View>(size);
  box->setCenter(center);
  box->backgroundColor = color;
  return parent->addSubview(std::move(box));
}

// Root coordinates to screen points.
Point onScreen(double x, double y) {
  return {x, y + kStatusBarHeight};
}

class RenderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = std::filesystem::temp_directory_path() /
              ("kit-render-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
               "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(folder_);
    previousFolder_ = Image::resourceDirectory();
    Image::setResourceDirectory(folder_.string());
  }
  void TearDown() override {
    Image::setResourceDirectory(previousFolder_);
    std::filesystem::remove_all(folder_);
  }
  std::string file(const std::string& name) const { return (folder_ / name).string(); }
  std::filesystem::path folder_;
  std::string previousFolder_;
};

}  // namespace

TEST_F(RenderTest, PictureIsDrawnScaledIntoItsViewAtItsCentre) {
  // 20 x 10 pixels: blue on the left half, green on the right; the double-density file is
  // 40 x 20 and cyan on the left, so it shows which one was picked.
  writePng(file("marker.png"), 20, 10, [](int x, int) {
    return x < 10 ? Rgb{0, 0, 255} : Rgb{0, 255, 0};
  });
  writePng(file("marker@2x.png"), 40, 20, [](int x, int) {
    return x < 20 ? Rgb{0, 255, 255} : Rgb{0, 255, 0};
  });
  {
    Headless h(1);
    View* root = whiteRoot(h);
    auto image = Image::imageNamed("marker.png");
    ASSERT_TRUE(image);
    EXPECT_EQ(1, image->scale());
    EXPECT_EQ((Size{20, 10}), image->size());
    EXPECT_EQ(image, Image::imageNamed("marker.png")) << "loaded once, then cached";

    auto view = std::make_unique<ImageView>(Size{40, 20});
    EXPECT_FALSE(view->userInteractionEnabled);
    view->setImage(image);
    view->setCenter({100, 200});
    root->addSubview(std::move(view));
    // A missing picture is null and its view shows only its background.
    auto missing = std::make_unique<ImageView>(Size{40, 20});
    missing->setImage(Image::imageNamed("nothing.png"));
    EXPECT_EQ(nullptr, missing->image());
    missing->backgroundColor = Color::gray();
    missing->setCenter({300, 200});
    root->addSubview(std::move(missing));

    ASSERT_TRUE(h.shot(testing_support::outputDirectory() + "/render_picture.png"));
    const Renderer& r = h.renderer();
    expectColor(Color::rgba(0, 0, 1), r.colorAt(onScreen(81, 191)));
    expectColor(Color::rgba(0, 0, 1), r.colorAt(onScreen(97, 207)));
    expectColor(Color::rgba(0, 1, 0), r.colorAt(onScreen(101, 200)));
    expectColor(Color::rgba(0, 1, 0), r.colorAt(onScreen(119, 207)));
    expectColor(Color::white(), r.colorAt(onScreen(79, 200)));
    expectColor(Color::white(), r.colorAt(onScreen(121, 200)));
    expectColor(Color::white(), r.colorAt(onScreen(100, 189)));
    expectColor(Color::white(), r.colorAt(onScreen(100, 211)));
    expectColor(Color::gray(), r.colorAt(onScreen(300, 200)));
  }
  // At scale 2 the double-density file is used; its size in points stays the same.
  Image::clearCache();
  Headless h(2);
  View* root = whiteRoot(h);
  auto image = Image::imageNamed("marker.png");
  ASSERT_TRUE(image);
  EXPECT_EQ(2, image->scale());
  EXPECT_EQ((Size{20, 10}), image->size());
  auto view = std::make_unique<ImageView>(Size{20, 10});
  view->setImage(image);
  view->setCenter({100, 200});
  root->addSubview(std::move(view));
  h.shot("");
  EXPECT_EQ(1536, h.renderer().pixelWidth());
  EXPECT_EQ(2048, h.renderer().pixelHeight());
  // One device pixel either side of the picture's edges: no blur at double density.
  expectColor(Color::rgba(0, 1, 1), h.renderer().colorAt(onScreen(90.25, 195.25)), 0);
  expectColor(Color::rgba(0, 1, 0), h.renderer().colorAt(onScreen(100.25, 195.25)), 0);
  expectColor(Color::white(), h.renderer().colorAt(onScreen(89.75, 195.25)), 0);
}

TEST_F(RenderTest, AlphaTransformAndUnclippedChildren) {
  Headless h(1);
  View* root = whiteRoot(h);

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
  View* hidden = addBox(root, {50, 50}, {100, 600}, Color::red());
  hidden->setHidden(true);
  View* clear = addBox(root, {50, 50}, {200, 600}, Color::red());
  clear->setAlpha(0);
  addBox(clear, {10, 10}, {25, 25}, Color::black());

  // A picture in a faded group lands where it belongs, faded with it.
  writePng(file("dot.png"), 10, 10, [](int, int) { return Rgb{0, 0, 0}; });
  View* fadedGroup = addBox(root, {100, 100}, {650, 650}, Color::clear());
  fadedGroup->setAlpha(0.5);
  auto dot = std::make_unique<ImageView>(Size{10, 10});
  dot->setImage(Image::imageNamed("dot.png"));
  dot->setCenter({75, 75});
  fadedGroup->addSubview(std::move(dot));

  ASSERT_TRUE(h.shot(testing_support::outputDirectory() + "/render_alpha_transform.png"));
  const Renderer& r = h.renderer();
  expectColor(Color::rgba(1, 0.5, 0.5), r.colorAt(onScreen(100, 100)));
  expectColor(Color::white(), r.colorAt(onScreen(45, 100)));
  expectColor(Color::rgba(0.5, 0.5, 0.5), r.colorAt(onScreen(260, 100)));
  expectColor(Color::rgba(0.5, 0.5, 0.5), r.colorAt(onScreen(300, 100)));
  expectColor(Color::white(), r.colorAt(onScreen(360, 100)));

  expectColor(Color::rgba(0, 0, 1), r.colorAt(onScreen(427, 100)));
  expectColor(Color::rgba(0, 0, 1), r.colorAt(onScreen(573, 173)));
  expectColor(Color::white(), r.colorAt(onScreen(423, 100)));
  expectColor(Color::white(), r.colorAt(onScreen(500, 177)));

  // The parent spans 175..225, its child 215..255.
  expectColor(Color::black(), r.colorAt(onScreen(250, 400)));
  expectColor(Color::white(), r.colorAt(onScreen(258, 400)));
  // The scaled parent spans 450..550; its child's far edge lands at 500 + 2 * (70 - 25) = 590.
  expectColor(Color::black(), r.colorAt(onScreen(585, 400)));
  expectColor(Color::white(), r.colorAt(onScreen(595, 400)));

  expectColor(Color::rgba(0.5, 0.5, 0.5), r.colorAt(onScreen(671, 671)));
  expectColor(Color::rgba(0.5, 0.5, 0.5), r.colorAt(onScreen(679, 679)));
  expectColor(Color::white(), r.colorAt(onScreen(669, 675)));
  expectColor(Color::white(), r.colorAt(onScreen(681, 675)));
  expectColor(Color::white(), r.colorAt(onScreen(100, 600)));
  expectColor(Color::white(), r.colorAt(onScreen(200, 600)));
}

TEST_F(RenderTest, LabelsAndStatusBar) {
  Headless h(1);
  View* root = whiteRoot(h);
  auto makeLabel = [&](const std::string& text, TextAlignment alignment, Point center) {
    auto label = std::make_unique<Label>(Size{200, 40});
    EXPECT_FALSE(label->userInteractionEnabled);
    label->text = text;
    label->font = Font::fontWithName("Helvetica", 24);
    label->textAlignment = alignment;
    label->backgroundColor = Color::rgba(1, 1, 0.8);
    label->setCenter(center);
    return root->addSubview(std::move(label));
  };
  makeLabel("Centred", TextAlignment::Center, {200, 100});
  makeLabel("A line far too long to fit in the label", TextAlignment::Left, {200, 200});
  makeLabel("Right", TextAlignment::Right, {200, 300});
  ASSERT_TRUE(h.shot(testing_support::outputDirectory() + "/render_labels.png"));
  const Renderer& r = h.renderer();

  // The extent of the dark pixels in a label's row band, in root x.
  auto inkSpan = [&](double centerY) {
    double first = 1e9, last = -1e9;
    for (double x = 50; x < 400; x += 0.5) {
      for (double y = centerY - 20; y < centerY + 20; y += 1) {
        if (isDark(r.colorAt(onScreen(x, y)))) {
          first = std::min(first, x);
          last = std::max(last, x);
        }
      }
    }
    return std::make_pair(first, last);
  };
  auto [centredFrom, centredTo] = inkSpan(100);
  EXPECT_NEAR(200, (centredFrom + centredTo) / 2, 3);
  EXPECT_GT(centredTo - centredFrom, 50);
  auto [longFrom, longTo] = inkSpan(200);
  EXPECT_NEAR(100, longFrom, 4);
  EXPECT_LE(longTo, 300) << "ellipsised inside its bounds";
  EXPECT_GT(longTo, 270);
  auto [rightFrom, rightTo] = inkSpan(300);
  EXPECT_NEAR(300, rightTo, 4);
  EXPECT_GT(rightFrom, 200);
  // Vertically centred: ink above and below the label's middle line.
  bool inkAbove = false, inkBelow = false;
  for (double x = centredFrom; x <= centredTo; x += 1) {
    inkAbove |= isDark(r.colorAt(onScreen(x, 94)));
    inkBelow |= isDark(r.colorAt(onScreen(x, 104)));
  }
  EXPECT_TRUE(inkAbove && inkBelow);
  expectColor(Color::rgba(1, 1, 0.8), r.colorAt(onScreen(105, 85)));

  // The status bar: black, a light clock in the middle, a battery at the right.
  expectColor(Color::black(), r.colorAt({10, 10}));
  auto lightPixelsIn = [&](double from, double to) {
    int count = 0;
    for (double x = from; x < to; x += 1) {
      for (double y = 0; y < kStatusBarHeight; y += 1) count += !isDark(r.colorAt({x, y}));
    }
    return count;
  };
  EXPECT_GT(lightPixelsIn(kScreenWidth / 2 - 25, kScreenWidth / 2 + 25), 40);
  EXPECT_GT(lightPixelsIn(kScreenWidth - 40, kScreenWidth), 60);
  EXPECT_EQ(0, lightPixelsIn(0, kScreenWidth / 2 - 40));
}

TEST_F(RenderTest, ViewsCoveringTheScreenHideOnlyWhatIsBelowThem) {
  writePng(file("backdrop.png"), 8, 8, [](int, int) { return Rgb{0, 128, 0}; });
  Headless h(1);
  View* root = whiteRoot(h);
  addBox(root, {100, 100}, {100, 100}, Color::red());
  // An opaque picture over the whole screen below the status bar, and a box above it.
  auto cover = std::make_unique<ImageView>(Size{kScreenWidth, kScreenHeight - kStatusBarHeight});
  cover->setImage(Image::imageNamed("backdrop.png"));
  cover->setCenter(root->center());
  ImageView* backdrop = h.app().screen().modalLayer()->addSubview(std::move(cover));
  addBox(backdrop, {50, 50}, {400, 100}, Color::rgba(0, 0, 1));

  auto look = [&](const char* name) {
    EXPECT_TRUE(h.shot(testing_support::outputDirectory() + "/render_cover_" + name + ".png"));
    return std::make_pair(h.renderer().colorAt(onScreen(100, 100)),
                          h.renderer().colorAt(onScreen(400, 100)));
  };
  auto [under, above] = look("opaque");
  expectColor(Color::rgba(0, 128 / 255.0, 0), under);
  expectColor(Color::rgba(0, 0, 1), above);
  expectColor(Color::black(), h.renderer().colorAt({100, 10}));

  // See-through, moved aside, or hidden, the cover lets what is below show again.
  backdrop->setAlpha(0.5);
  expectColor(Color::rgba(0.5, 64 / 255.0, 0), look("half").first);
  backdrop->setAlpha(1);
  backdrop->setCenter({backdrop->center().x + 1, backdrop->center().y});
  look("moved");
  expectColor(Color::white(), h.renderer().colorAt(onScreen(0.5, 500)));
  backdrop->setHidden(true);
  expectColor(Color::red(), look("hidden").first);
}
