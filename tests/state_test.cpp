// The state row (its two looks on screen, its log lines) and the two state tables. Rows picked
// and scrolled in a state list are tried in the gallery's tour (gallery_test).

#include "controls/State.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <set>

#include "app/TolvikViewController.h"
#include "kit/backends/headless/Headless.h"
#include "support/TestSupport.h"

using kit::Color;

TEST(StateTables, FollowThePostalCodesAndGiveNothingOutsideThem) {
  struct Entry {
    int index;
    const char* code;
    const char* name;
  };
  const Entry entries[] = {
      {0, "AK", "Alaska"},
      {1, "AL", "Alabama"},  // by code, not by name
      {7, "DC", "District of Columbia"},
      {50, "WY", "Wyoming"},
      {-1, "", ""},
      {51, "", ""},
      {INT_MIN, "", ""},
      {INT_MAX, "", ""},
  };
  for (const Entry& e : entries) {
    EXPECT_EQ(TolvikViewController::getState(e.index), e.code) << e.index;
    EXPECT_EQ(TolvikViewController::getFullState(e.index), e.name) << e.index;
  }
  // The whole table: 51 distinct two-letter codes in rising order, each with a name.
  std::set<std::string> names;
  for (int i = 0; i <= 50; ++i) {
    std::string code = TolvikViewController::getState(i);
    ASSERT_EQ(code.size(), 2u) << i;
    if (i > 0) {
      EXPECT_LT(TolvikViewController::getState(i - 1), code);
    }
    names.insert(TolvikViewController::getFullState(i));
  }
  EXPECT_EQ(names.size(), 51u);
  EXPECT_EQ(names.count(""), 0u);
}

TEST(State, PressedAndNormalLooksShowOnScreenAndAreLogged) {
  kit::Headless h(2);
  kit::View* root = testing_support::addWhiteRoot(h);
  State* row = root->addSubview(std::make_unique<State>());
  row->setCenter({149, 22.5});  // screen (0..298, 20..65)
  row->initText("Alaska");
  row->initText("District of Columbia");  // again: the text changes, nothing is doubled
  EXPECT_EQ(row->getTxt(), "District of Columbia");
  EXPECT_EQ(row->subviews().size(), 3u);
  kit::Point plain{280, 42};  // right of the text

  testing_support::StderrCapture log;
  std::string dir = testing_support::outputDirectory();
  h.shot(dir + "/state-row-normal.png");
  Color normal = h.colorAt(plain);
  EXPECT_GT(normal.r, 0.9);
  EXPECT_GT(normal.b, 0.85);

  row->downState();
  row->downState();  // twice looks as once
  EXPECT_EQ(row->blue->alpha(), 0.8);
  EXPECT_EQ(row->title->textColor(), Color::white());
  h.shot(dir + "/state-row-pressed.png");
  Color pressed = h.colorAt(plain);
  EXPECT_LT(std::max({pressed.r, pressed.g, pressed.b}), 0.55) << "dark under white text";

  row->upState();
  EXPECT_EQ(row->blue->alpha(), 0.0);
  EXPECT_EQ(row->title->textColor(), Color::black());
  EXPECT_COLOR(normal, h.colorAt(plain));

  // Looks asked of a row that has no parts yet change nothing, but are logged all the same.
  State bare;
  bare.downState();
  bare.upState();
  std::string lines = log.finish();
  EXPECT_EQ(testing_support::countOf(lines, " downstate\n"), 3);
  EXPECT_EQ(testing_support::countOf(lines, " upstate\n"), 2);
}
