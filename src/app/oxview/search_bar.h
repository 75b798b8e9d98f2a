// The search bar (Ctrl+F shows it): a field, a value, how the value
// matches (starts with, whole value, contains), case-insensitive, nearest
// key; Return or "Find" searches from the top of the order, F3 or "Next"
// from the record after the current one (table_search.h). The bar says
// whether the index or a sequential search answered and whether anything
// was found.
#pragma once

#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "app/oxview/table_search.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

namespace orvex::view {

class SearchBar : public QWidget {
 public:
  explicit SearchBar(QWidget* parent);

  // The fields to offer (names) and the one to choose first.
  void SetFields(const std::vector<std::string>& fields, const std::string& preferred);
  // Shows the bar and puts the cursor into the value.
  void Activate();
  SearchRequest Request() const;
  // Shows the outcome of a search.
  void ShowOutcome(const SearchOutcome& outcome);

  std::function<void()> OnFind;
  std::function<void()> OnFindNext;

 private:
  QComboBox* field_;
  QLineEdit* value_;
  QComboBox* mode_;
  QCheckBox* no_case_;
  QCheckBox* nearest_;
  QLabel* result_;
};

}  // namespace orvex::view
