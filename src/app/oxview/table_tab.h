// One table in oxview: the table component (TOxDbf) opened shared, its grid
// and navigator, and the memo pane beside the grid.
//
// The table is opened read-only (deny none: other programs may read and
// write it meanwhile) unless editing is on; switching editing reopens it
// for writing (or reading) on the same record, order and filter. The grid
// and the navigator change nothing while editing is off (the dataset
// cannot be modified). A file watcher refreshes the rows shortly after
// another program changed the table, unless a record is being edited.
//
// The tab's columns follow the table's remembered layout (view_settings.h);
// the layout is stored again when the tab closes.
//
// Every failure goes through the library's reporting path (EOrvexError in
// oxview) and from there to the message window; Open answers false after
// the failure was shown, and the caller then drops the tab.
#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <string>

#include "dataset/ox_file_data_set.h"
#include "platform/data/data_link.h"

class QFileSystemWatcher;
class QSplitter;
class QTimer;

namespace orvex {
class TOxGrid;
class TOxNavigator;
}  // namespace orvex

namespace orvex::view {

class MemoPane;

class TableTab : public QWidget {
 public:
  // `path`: the table's file name as the user gave it (UTF-8).
  TableTab(const QString& path, QWidget* parent);
  ~TableTab() override;

  // Opens the table (read-only unless `editing`) and shows its first
  // record. False after the failure was shown.
  bool Open(bool editing);
  const QString& Path() const { return path_; }
  // The table's file name without folder, for the tab's caption.
  QString ShortName() const;

  bool Editing() const { return editing_; }
  // Reopens the table for writing (true) or reading; a record being edited
  // is posted first. False (and the table as it was) after a failure.
  bool SetEditing(bool editing);

  // Shows (false) or hides deleted records.
  void SetHideDeleted(bool hide);
  bool HideDeleted() const { return table_.HideDeletedRecs(); }
  // Deletes or recalls the current record (editing only).
  void ToggleDeleted();

  // The filter condition in force ("" none); see table_filter.h.
  void SetFilter(const QString& condition);
  const QString& Filter() const { return filter_; }
  // The active tag ("" natural order); see table_orders.h.
  void SetOrder(const std::string& tag);
  std::string Order();

  // Re-reads the rows from the file (others' changes), on the same record.
  void Refresh();
  // Hides the column under the cursor / shows every field again.
  void HideCurrentColumn();
  void ShowAllColumns();

  // "Record 12 of 1000 | deleted | CP 850 | read-only, shared | order TITLE | filter ..."
  QString StatusText();

  TOxDbf& Table() { return table_; }
  TOxGrid& Grid() { return *grid_; }
  MemoPane& Memo() { return *memo_; }
  TOxNavigator& Navigator() { return *navigator_; }

  // Called after every move, change of state, order or filter.
  std::function<void()> OnStatusChanged;

 private:
  // "OxDbf1", "OxDbf2", ...: the component's name is its table's alias,
  // which must differ between the tables open at once.
  static std::string UniqueTableName();
  void Configure(bool editing);
  void ApplyEditing();
  void StatusChanged();
  void SaveColumns();
  void ScheduleRefresh();

  QString path_;
  TOxDbf table_{UniqueTableName()};
  data::TDataSource source_;
  TOxGrid* grid_ = nullptr;
  TOxNavigator* navigator_ = nullptr;
  MemoPane* memo_ = nullptr;
  QSplitter* splitter_ = nullptr;
  QFileSystemWatcher* watcher_ = nullptr;
  QTimer* refresh_timer_ = nullptr;
  QString filter_;
  bool editing_ = false;
  bool opened_ = false;
};

}  // namespace orvex::view
