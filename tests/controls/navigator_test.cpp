// The navigator: its buttons move and edit the dataset, and the delete
// button deletes and restores with their questions, or does nothing at all
// on a table that cannot be changed.
#include <QToolButton>

#include "controls/ox_navigator.h"
#include "controls_test_support.h"

namespace orvex::test {
namespace {

using ui::NavigateBtn;

class NavigatorTest : public ControlsTest {
 protected:
  void Attach(const std::string& path, bool read_only = false) {
    OpenTable(path, read_only);
    nav.SetDataSource(&source);
    nav.OnClick = [this](NavigateBtn button) { clicks.push_back(button); };
  }
  void Press(NavigateBtn button) { nav.Button(button)->click(); }
  AppFirst app_;
  TOxNavigator nav;
  std::vector<NavigateBtn> clicks;
};

TEST_F(NavigatorTest, ButtonsMoveAndAreEnabledFromTheDataset) {
  Attach(MakeTable(3));
  EXPECT_FALSE(nav.Button(NavigateBtn::nbFirst)->isEnabled());
  EXPECT_TRUE(nav.Button(NavigateBtn::nbLast)->isEnabled());
  Press(NavigateBtn::nbLast);
  EXPECT_EQ(table->GetRecNo(), 3);
  EXPECT_FALSE(nav.Button(NavigateBtn::nbNext)->isEnabled());
  Press(NavigateBtn::nbPrior);
  EXPECT_EQ(table->GetRecNo(), 2);
  Press(NavigateBtn::nbEdit);
  EXPECT_EQ(table->State(), data::TDataSetState::dsEdit);
  EXPECT_TRUE(nav.Button(NavigateBtn::nbPost)->isEnabled());
  Press(NavigateBtn::nbCancel);
  EXPECT_EQ(table->State(), data::TDataSetState::dsBrowse);
  EXPECT_EQ(clicks.size(), 4u);
}

TEST_F(NavigatorTest, DeleteButtonTogglesWithItsQuestions) {
  const std::string path = MakeTable(2);
  Attach(path);
  ASSERT_FALSE(nav.ConfirmRestore());
  Press(NavigateBtn::nbDelete);
  EXPECT_EQ(questions, std::vector<std::string>{"Datensatz l\xF6schen ?"});
  EXPECT_TRUE(table->IsCurrentDeleted());
  EXPECT_EQ(DbfRead(path).back(), "D|Name 1|1|T");
  Press(NavigateBtn::nbDelete);  // restores without a question
  EXPECT_EQ(questions.size(), 1u);
  EXPECT_FALSE(table->IsCurrentDeleted());

  nav.SetConfirmRestore(true);
  Press(NavigateBtn::nbDelete);
  answer = false;
  Press(NavigateBtn::nbDelete);  // declined: stays deleted
  EXPECT_EQ(questions.back(), "Datensatz restaurieren ?");
  EXPECT_TRUE(table->IsCurrentDeleted());
  EXPECT_EQ(clicks, std::vector<NavigateBtn>(4, NavigateBtn::nbDelete));
}

TEST_F(NavigatorTest, ReadOnlyTableDeletesNothingAsksNothingFiresNothing) {
  const std::string path = MakeTable(2);
  const std::string before = ReadFileBytes(path);
  Attach(path, true);
  nav.BtnClick(NavigateBtn::nbDelete);  // the button itself is disabled
  EXPECT_TRUE(questions.empty());
  EXPECT_TRUE(clicks.empty());
  DropTable();
  EXPECT_EQ(ReadFileBytes(path), before);
}

}  // namespace
}  // namespace orvex::test
