// The navigator bar: its enabling rules, click actions, hints and layout.
#include "platform/widgets/navigator_bar.h"

#include <gtest/gtest.h>

#include <QTest>
#include <QToolButton>
#include <string>
#include <vector>

#include "support/gui_test_support.h"

namespace orvex::ui {
namespace {

using B = NavigateBtn;

unsigned EnabledMask(const TNavigatorBar& bar) {
  unsigned mask = 0;
  for (int i = 0; i < kNavigateButtons; ++i) {
    if (bar.Button(static_cast<B>(i))->isEnabled()) mask |= 1u << i;
  }
  return mask;
}

TEST(NavigatorBar, EnablingRulesFollowTheDatasetState) {
  test::GuiApp();
  // Bits: first prior next last insert delete edit post cancel refresh.
  struct Case {
    NavigatorState state;
    unsigned enabled;
  };
  const Case cases[] = {
      {{false, false, true, false, false}, 0b0000000000},  // closed
      {{true, false, true, true, false}, 0b1001111100},    // at the first record
      {{true, false, true, false, true}, 0b1001110011},    // at the last record
      {{true, false, true, true, true}, 0b1001010000},     // empty: no delete
      {{true, true, true, false, false}, 0b1110111111},    // editing
      {{true, false, false, false, false}, 0b1000001111},  // read-only
  };
  TNavigatorBar bar;
  for (const Case& c : cases) {
    bar.UpdateButtons(c.state);
    EXPECT_EQ(EnabledMask(bar), c.enabled) << std::hex << c.enabled;
  }
  bar.setEnabled(false);
  EXPECT_EQ(EnabledMask(bar), 0u);
  bar.setEnabled(true);
  EXPECT_EQ(EnabledMask(bar), cases[5].enabled);
}

class RecordingBar : private test::AppFirst, public TNavigatorBar {
 public:
  std::vector<std::string> log;
  void BtnClick(B button) override {
    if (button == B::nbDelete) {
      log.push_back("own delete");
      return;
    }
    TNavigatorBar::BtnClick(button);
  }
};

TEST(NavigatorBar, ClicksRunTheActionThenOnClick) {
  RecordingBar bar;
  bar.UpdateButtons({true, false, true, false, false});
  bar.SetAction(B::nbNext, [&] { bar.log.push_back("next action"); });
  bar.OnClick = [&](B b) { bar.log.push_back("click " + std::to_string(static_cast<int>(b))); };
  QTest::mouseClick(bar.Button(B::nbNext), Qt::LeftButton);
  QTest::mouseClick(bar.Button(B::nbLast), Qt::LeftButton);  // no action: only OnClick
  QTest::mouseClick(bar.Button(B::nbDelete), Qt::LeftButton);
  bar.SetAction(B::nbNext, {});
  QTest::mouseClick(bar.Button(B::nbNext), Qt::LeftButton);
  const std::vector<std::string> expected = {"next action", "click 2", "click 3", "own delete",
                                             "click 2"};
  EXPECT_EQ(bar.log, expected);
}

TEST(NavigatorBar, HintsGlyphsAndLayout) {
  test::GuiApp();
  TNavigatorBar bar;
  EXPECT_EQ(bar.Hint(B::nbFirst), "First record");
  EXPECT_EQ(bar.Hint(B::nbRefresh), "Refresh data");
  EXPECT_EQ(bar.Button(B::nbPost)->toolTip(), "Post edit");
  bar.SetHint(B::nbPost, "Speichern");
  EXPECT_EQ(bar.Button(B::nbPost)->toolTip(), "Speichern");
  bar.SetShowHint(false);
  EXPECT_TRUE(bar.Button(B::nbPost)->toolTip().isEmpty());
  EXPECT_TRUE(bar.ConfirmDelete());
  EXPECT_TRUE(bar.Button(B::nbNext)->autoRepeat());
  EXPECT_FALSE(bar.Button(B::nbLast)->autoRepeat());

  for (int i = 0; i < kNavigateButtons; ++i) {
    for (int j = i + 1; j < kNavigateButtons; ++j) {
      EXPECT_NE(NavigatorGlyph(static_cast<B>(i)).pixmap(16, 16).toImage(),
                NavigatorGlyph(static_cast<B>(j)).pixmap(16, 16).toImage());
    }
  }

  bar.resize(310, 25);
  bar.SetVisibleButtons(0b0000001111);  // the four moves only
  int x = 0;
  for (int i = 0; i < 4; ++i) {
    const QRect r = bar.Button(static_cast<B>(i))->geometry();
    EXPECT_EQ(r.left(), x);
    EXPECT_GE(r.width(), 77);
    x += r.width();
  }
  EXPECT_EQ(x, 310) << "the buttons share the whole width";
  EXPECT_TRUE(bar.Button(B::nbInsert)->isHidden());
}

}  // namespace
}  // namespace orvex::ui
