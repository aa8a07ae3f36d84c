// The credits window: the image's layout, the scroll and its wrap, the missing
// file, and the About button around it.
#include "credits/frm_credits.h"

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

TEST_F(CreditsTest, LinesAreCentredWithTheirShadowAndTheImageHoldsEveryLine) {
  program.Write("Credits.txt", "ab\r\n\r\nLonger line");
  log().close_after = 1;
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
  EXPECT_EQ(log().copies, std::vector<int>{292});
  EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(CreditsTest, TheImageRisesFromTheBottomEdgeAndStartsAgainOnceAboveTheTop) {
  program.Write("Credits.txt", "");  // an image of 200 background rows
  log().close_after = 292 + 200 + 3;
  window.ClickAbout();
  const std::vector<int>& y = log().copies;
  ASSERT_EQ(y.size(), 495u);  // closing ends the loop within one wait
  EXPECT_EQ(y[0], 292);
  EXPECT_EQ(y[1], 291);
  EXPECT_EQ(y[492], -200);
  EXPECT_EQ(y[493], 292);
  EXPECT_EQ(y[494], 291);
  EXPECT_EQ(log().height, 200);
}

TEST_F(CreditsTest, AMissingFileIsReportedAndTheWindowCloses) {
  window.ClickAbout();
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].text, "The Credits File: \"" + program.str() +
                                       "Credits.txt\" Could Not Be Found!\r\n"
                                       "Credits Dialof Will Close!");
  EXPECT_EQ(dialogs.boxes[0].icon, MsgIcon::kCritical);
  EXPECT_TRUE(log().closed);
  EXPECT_TRUE(log().draws.empty());
  EXPECT_TRUE(log().copies.empty());
}

TEST_F(CreditsTest, AboutWhileTheCreditsScrollBringsThemToTheFrontAndEndingClosesThem) {
  program.Write("Credits.txt", "x");
  log().close_after = 10;
  pump.on_pump = [this] {
    if (log().copies.size() == 3) window.ClickAbout();
  };
  window.ClickAbout();
  EXPECT_EQ(log().opened, 1);
  EXPECT_EQ(log().fronts, 1);
  EXPECT_EQ(log().draws.size(), 3u);  // drawn once
  window.ClickAbout();                // closed: a new window, drawn afresh
  EXPECT_EQ(log().opened, 2);
  EXPECT_EQ(log().draws.size(), 6u);
  // Ending the program closes them.
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
