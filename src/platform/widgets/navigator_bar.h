// The navigator bar: ten buttons in a row (first, prior, next, last, insert,
// delete, edit, post, cancel, refresh), each with its own drawn glyph and a
// hint, enabled from the state of the dataset it serves. The bar knows no
// dataset: its data-aware descendant tells it the state (NavigatorState) and
// gives each button its click action.
//
// A click on a button calls the virtual BtnClick, whose default runs the
// button's action (if any) and then fires OnClick with the button. The
// visible buttons share the bar's width equally, the remainder going to the
// first ones; prior and next repeat while held down.
#pragma once

#include <QToolButton>
#include <QWidget>
#include <array>
#include <functional>
#include <string>

namespace orvex::ui {

enum class NavigateBtn {
  nbFirst,
  nbPrior,
  nbNext,
  nbLast,
  nbInsert,
  nbDelete,
  nbEdit,
  nbPost,
  nbCancel,
  nbRefresh
};
inline constexpr int kNavigateButtons = 10;

// What the enabling rules look at.
struct NavigatorState {
  bool active = false;      // the dataset is open
  bool editing = false;     // in edit or insert state
  bool can_modify = false;  // the dataset may be changed
  bool bof = false;         // at its first record
  bool eof = false;         // at its last record
};

class TNavigatorBar : public QWidget {
 public:
  explicit TNavigatorBar(QWidget* parent = nullptr);

  QToolButton* Button(NavigateBtn button) const;

  // Enables the buttons: first and prior when active and not at the first
  // record; next and last when active and not at the last; insert when the
  // dataset can be modified; delete when it can be modified and is not empty
  // (not both at the first and the last record); edit when it can be modified
  // and is not being edited; post and cancel while it is being edited and can
  // be modified; refresh when active. Everything is off when inactive or when
  // the bar itself is disabled.
  void UpdateButtons(const NavigatorState& state);

  // The buttons shown (bit i for button i); all by default.
  unsigned VisibleButtons() const { return visible_; }
  void SetVisibleButtons(unsigned mask);

  // The hints (tooltips), shown while ShowHint is on. Defaults: "First record",
  // "Prior record", "Next record", "Last record", "Insert record", "Delete
  // record", "Edit record", "Post edit", "Cancel edit", "Refresh data".
  void SetHint(NavigateBtn button, std::string_view hint_ansi);
  std::string Hint(NavigateBtn button) const;
  void SetShowHint(bool show);
  bool ShowHint() const { return show_hint_; }

  // Ask before deleting (used by the data-aware descendant); on by default.
  bool ConfirmDelete() const { return confirm_delete_; }
  void SetConfirmDelete(bool confirm) { confirm_delete_ = confirm; }

  // The action of one button, replacing the previous one (empty: none).
  void SetAction(NavigateBtn button, std::function<void()> action);

  // Fired after a button's action, with the button.
  std::function<void(NavigateBtn)> OnClick;

  // What a click does; a descendant may replace it for some buttons.
  virtual void BtnClick(NavigateBtn button);

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void Arrange();
  void ApplyHints();

  std::array<QToolButton*, kNavigateButtons> buttons_{};
  std::array<QString, kNavigateButtons> hints_;
  std::array<std::function<void()>, kNavigateButtons> actions_;
  NavigatorState last_state_;
  unsigned visible_ = (1u << kNavigateButtons) - 1;
  bool show_hint_ = true;
  bool confirm_delete_ = true;
};

// The glyph of a navigator button, drawn by this code (16 x 16).
QIcon NavigatorGlyph(NavigateBtn button);

}  // namespace orvex::ui
