// The credits window: the image's layout, the scroll and its wrap, the missing
// file, and the About button around it.
#include "credits/credits_window.h"

#include <gtest/gtest.h>

#include <tuple>

#include "support/install_fixture.h"

namespace dfm {
namespace {

using Draw = testing::CanvasLog::Draw;

class CreditsTest : public testing::InstallFixture {
 protected:
  CreditsTest() {
    clock.step = 0.03;  // every wait pumps once
    window.state().credits = {"Credits.txt", "Lucida Sans", 12, {1, 2, 3}, {4, 5, 6}, {7, 8, 9}};
  }
  testing::CanvasLog& log() { return view.credits; }
};

// The image rises from the bottom edge, a row per frame, and starts again once above the top.
TEST_F(CreditsTest, LinesAreCentredWithTheirShadowAndTheImageRisesAndStartsAgain) {
  program.Write("Credits.txt", "ab\r\n\r\nLonger line");
  const int frames = 292 + 3 * 22 + 200 + 1;  // from y = 292 to y = -height
  log().close_after = frames + 2;
  window.ClickAbout();
  // Centre 240.5 less half the width, halves to even; each line 20 + 2 pixels below the last.
  std::vector<Draw> expected;
  for (const auto& [text, x, y] :
       {std::tuple<const char*, int, int>{"ab", 230, 0}, {"", 240, 22}, {"Longer line", 186, 44}}) {
    for (int i = 0; i < 3; ++i)
      expected.push_back({text, x - i, y + i, i < 2 ? Rgb{7, 8, 9} : Rgb{4, 5, 6}});
  }
  EXPECT_EQ(log().draws, expected);
  EXPECT_EQ(log().width, 481);
  EXPECT_EQ(log().height, 3 * 22 + 200);
  EXPECT_EQ(log().font, "Lucida Sans");
  EXPECT_EQ(log().points, 12);
  EXPECT_EQ(log().back, (Rgb{1, 2, 3}));
  std::vector<int> rows;  // closing ends the loop within one wait
  for (int i = 0; i < frames + 2; ++i) rows.push_back(292 - i % frames);
  EXPECT_EQ(log().copies, rows);
  EXPECT_TRUE(dialogs.boxes.empty());
  window.set_credits_speed(2);  // the window tests' hook: stops with row 66 at the bottom
  log().copies.clear();
  log().close_after = 5;
  window.ClickAbout();
  EXPECT_EQ(log().copies, (std::vector<int>{292, 248, 226, 226, 226}));
}

// A missing file is reported and closes the window; About while the credits scroll brings
// them to the front; ending the program closes them.
TEST_F(CreditsTest, AboutReportsAMissingFileBringsScrollingCreditsToTheFrontEndingClosesThem) {
  window.ClickAbout();
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].text, "The Credits File: \"" + program.str() +
                                       "Credits.txt\" Could Not Be Found!\r\n"
                                       "Credits Dialof Will Close!");
  EXPECT_EQ(dialogs.boxes[0].icon, MsgIcon::kCritical);
  EXPECT_TRUE(log().closed);
  EXPECT_TRUE(log().draws.empty());
  EXPECT_TRUE(log().copies.empty());

  program.Write("Credits.txt", "x");
  log().close_after = 10;
  pump.on_pump = [this] {
    if (log().copies.size() == 3) window.ClickAbout();
  };
  window.ClickAbout();
  EXPECT_EQ(log().opened, 2);
  EXPECT_EQ(log().fronts, 1);
  EXPECT_EQ(log().draws.size(), 3u);  // drawn once
  window.ClickAbout();                // closed: a new window, drawn afresh
  EXPECT_EQ(log().opened, 3);
  EXPECT_EQ(log().draws.size(), 6u);
  log().copies.clear();
  pump.on_pump = [this] {
    if (log().copies.size() == 2) window.EndProgram();
  };
  window.ClickAbout();
  EXPECT_EQ(log().copies.size(), 2u);
  EXPECT_TRUE(view.ended);
}

}  // namespace
}  // namespace dfm
