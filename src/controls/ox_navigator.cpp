// TOxNavigator: the buttons' actions, their enabling, and the delete toggle.
#include "controls/ox_navigator.h"

#include "controls/ox_messages.h"
#include "dataset/ox_data_set.h"
#include "platform/data/data_set.h"
#include "platform/os/system.h"

namespace orvex {

using ui::NavigateBtn;

void TOxNavDataLink::ActiveChanged() { navigator_.DataChanged(); }
void TOxNavDataLink::DataSetChanged() { navigator_.DataChanged(); }
void TOxNavDataLink::EditingChanged() { navigator_.DataChanged(); }

TOxNavigator::TOxNavigator(QWidget* parent)
    : ui::TNavigatorBar(parent), link_(std::make_unique<TOxNavDataLink>(*this)) {
  auto on_data_set = [this](void (*action)(data::TDataSet&)) {
    return [this, action] {
      if (data::TDataSet* data_set = DataSet(); data_set != nullptr) action(*data_set);
    };
  };
  SetAction(NavigateBtn::nbFirst, on_data_set([](data::TDataSet& d) { d.First(); }));
  SetAction(NavigateBtn::nbPrior, on_data_set([](data::TDataSet& d) { d.Prior(); }));
  SetAction(NavigateBtn::nbNext, on_data_set([](data::TDataSet& d) { d.Next(); }));
  SetAction(NavigateBtn::nbLast, on_data_set([](data::TDataSet& d) { d.Last(); }));
  SetAction(NavigateBtn::nbInsert, on_data_set([](data::TDataSet& d) { d.Insert(); }));
  SetAction(NavigateBtn::nbEdit, on_data_set([](data::TDataSet& d) { d.Edit(); }));
  SetAction(NavigateBtn::nbPost, on_data_set([](data::TDataSet& d) { d.Post(); }));
  SetAction(NavigateBtn::nbCancel, on_data_set([](data::TDataSet& d) { d.Cancel(); }));
  SetAction(NavigateBtn::nbRefresh, on_data_set([](data::TDataSet& d) { d.Refresh(); }));
  SetAction(NavigateBtn::nbDelete, [this] { ToggleDeleted(); });
}

TOxNavigator::~TOxNavigator() { link_->SetDataSource(nullptr); }

data::TDataSource* TOxNavigator::DataSource() const { return link_->DataSource(); }
void TOxNavigator::SetDataSource(data::TDataSource* source) {
  link_->SetDataSource(source);
  DataChanged();
}

data::TDataSet* TOxNavigator::DataSet() const {
  return link_->Active() ? link_->DataSet() : nullptr;
}

void TOxNavigator::DataChanged() {
  ui::NavigatorState state;
  if (data::TDataSet* data_set = DataSet(); data_set != nullptr) {
    state.active = true;
    state.editing = link_->Editing();
    state.can_modify = data_set->CanModify();
    state.bof = data_set->Bof();
    state.eof = data_set->Eof();
  }
  UpdateButtons(state);
}

void TOxNavigator::BtnClick(NavigateBtn button) {
  if (button != NavigateBtn::nbDelete) {
    ui::TNavigatorBar::BtnClick(button);
    return;
  }
  ToggleDeleted();
}

void TOxNavigator::ToggleDeleted() {
  auto* ox = dynamic_cast<TOxDataSet*>(DataSet());
  if (ox == nullptr || !ox->CanModify() || ox->IsEmpty()) return;
  if (ox->IsCurrentDeleted()) {
    if (!confirm_restore_ || os::Confirm(kConfirmRestore)) ox->SetCurrentDeleted(false);
  } else if (!ConfirmDelete() || os::Confirm(kConfirmDelete)) {
    ox->SetCurrentDeleted(true);
  }
  if (!design_mode_ && OnClick) OnClick(NavigateBtn::nbDelete);
}

}  // namespace orvex
