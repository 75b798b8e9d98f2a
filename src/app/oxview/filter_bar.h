// The filter bar (Ctrl+L puts the cursor there): a dBASE condition that
// hides the records it rejects (table_filter.h); Return applies it, "Clear"
// removes it.
#pragma once

#include <QWidget>
#include <functional>

class QLineEdit;

namespace orvex::view {

class FilterBar : public QWidget {
 public:
  explicit FilterBar(QWidget* parent);

  void SetCondition(const QString& condition);
  void Activate();

  // The condition to apply ("" removes the filter).
  std::function<void(const QString& condition)> OnApply;

 private:
  QLineEdit* condition_;
};

}  // namespace orvex::view
