// What oxview remembers between runs (QSettings, organisation "Orvex",
// application "oxview"): the recently opened tables and, per table, the
// layout of its grid columns.
//
// A table is known by its absolute path. Its column layout is the list of
// the columns shown, left to right, each a field name and a width in
// pixels; a field of the table that the list does not name is a hidden
// column. Names the table no longer has are dropped when the layout is
// applied (column_layout.h), so a layout never stops a table from opening.
#pragma once

#include <QString>
#include <QStringList>
#include <string>
#include <vector>

namespace orvex::view {

struct ColumnSetting {
  std::string field;  // the field's name as the dataset names it
  int width = 0;      // pixels
};
using ColumnLayout = std::vector<ColumnSetting>;

class ViewSettings {
 public:
  static constexpr int kMaxRecent = 10;

  // The recent tables, the most recent first (at most kMaxRecent).
  static QStringList RecentFiles();
  // Puts `path` (made absolute) at the front of the list.
  static void AddRecentFile(const QString& path);

  // The remembered layout of the table at `path`; empty when none.
  static ColumnLayout Columns(const QString& path);
  static void SetColumns(const QString& path, const ColumnLayout& layout);
};

}  // namespace orvex::view
