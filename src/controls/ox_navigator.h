// TOxNavigator: the data-aware navigator bar. Its buttons act on the dataset
// of DataSource (first, prior, next, last, insert, edit, post, cancel,
// refresh) and are enabled from the dataset's state; the delete button
// toggles the deleted state of the current record of a TOxDataSet, so that
// one button deletes a record and restores a deleted one:
//   - nothing without an active data source over a TOxDataSet;
//   - nothing at all (no question, no OnClick) when the dataset cannot be
//     modified;
//   - a deleted record is restored, after 57862 "Datensatz restaurieren ?"
//     when ConfirmRestore; any other record is deleted, after 57863
//     "Datensatz löschen ?" when ConfirmDelete (both through os::Confirm;
//     Cancel leaves the record as it was);
//   - then, outside design mode, OnClick fires with the delete button, also
//     after a cancelled question.
#pragma once

#include <memory>

#include "dataset/ox_data_link.h"
#include "platform/widgets/navigator_bar.h"

namespace orvex::data {
class TDataSource;
class TDataSet;
}  // namespace orvex::data

namespace orvex {

class TOxNavigator;

// The navigator's connection: re-enables the buttons on every change.
class TOxNavDataLink : public TOxDataLink {
 public:
  explicit TOxNavDataLink(TOxNavigator& navigator) : navigator_(navigator) {}

 protected:
  void ActiveChanged() override;
  void DataSetChanged() override;
  void EditingChanged() override;

 private:
  TOxNavigator& navigator_;
};

class TOxNavigator : public ui::TNavigatorBar {
 public:
  explicit TOxNavigator(QWidget* parent = nullptr);
  ~TOxNavigator() override;

  data::TDataSource* DataSource() const;
  void SetDataSource(data::TDataSource* source);
  // Ask before restoring a record; off initially.
  bool ConfirmRestore() const { return confirm_restore_; }
  void SetConfirmRestore(bool confirm) { confirm_restore_ = confirm; }
  bool DesignMode() const { return design_mode_; }
  void SetDesignMode(bool on) { design_mode_ = on; }

  // The delete button runs the toggle; every other button its own action.
  void BtnClick(ui::NavigateBtn button) override;
  // Enables the buttons from the dataset's state.
  void DataChanged();

 private:
  data::TDataSet* DataSet() const;
  void ToggleDeleted();

  std::unique_ptr<TOxNavDataLink> link_;
  bool confirm_restore_ = false;
  bool design_mode_ = false;
};

}  // namespace orvex
