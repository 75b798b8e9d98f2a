// The side pane of a table tab that shows the memo fields of the current
// record in full: one wrapped, scrollable text box per memo field, under
// its name. While editing is on the texts can be changed; a changed text is
// stored into its field when the box loses focus or the user presses
// Ctrl+Return (the dataset goes into edit state; the record is written when
// it is posted, as with a change in the grid).
#pragma once

#include <QWidget>
#include <vector>

class QPlainTextEdit;
class QLabel;

namespace orvex {
class TOxDbf;
}

namespace orvex::view {

class MemoPane : public QWidget {
 public:
  MemoPane(TOxDbf& table, QWidget* parent);

  // Builds one box per memo field of the open table (none: the pane hides).
  void Rebuild();
  // Shows the current record's memos (leaves a box being typed into alone).
  void ShowRecord();
  void SetEditable(bool editable);
  bool HasMemos() const { return !boxes_.empty(); }
  // The text of the first memo box (tests and the state dump).
  QString FirstText() const;

 private:
  struct Box {
    int field_index = 0;  // in the dataset's fields
    QPlainTextEdit* edit = nullptr;
    bool dirty = false;
  };
  void Store(Box& box);
  bool eventFilter(QObject* watched, QEvent* event) override;

  TOxDbf& table_;
  std::vector<Box> boxes_;
  bool editable_ = false;
  bool showing_ = false;  // filling the boxes: their changes are not the user's
};

}  // namespace orvex::view
