#include "platform/data/data_link.h"

#include <algorithm>

#include "platform/data/data_set.h"

namespace orvex::data {

// ------------------------------------------------------------ TDataSource ---

TDataSource::~TDataSource() {
  for (TDataLink* link : std::vector<TDataLink*>(links_)) link->SetDataSource(nullptr);
  SetDataSet(nullptr);
}

void TDataSource::SetDataSet(TDataSet* data_set) {
  if (data_set == data_set_) return;
  if (data_set_ != nullptr) data_set_->RemoveDataSource(this);
  data_set_ = data_set;
  if (data_set_ != nullptr) data_set_->AddDataSource(this);
  UpdateState();
}

void TDataSource::SetEnabled(bool enabled) {
  enabled_ = enabled;
  UpdateState();
}

void TDataSource::Edit() {
  if (auto_edit && state_ == TDataSetState::dsBrowse) data_set_->Edit();
}

void TDataSource::UpdateState() {
  TDataSetState state =
      enabled_ && data_set_ != nullptr ? data_set_->State() : TDataSetState::dsInactive;
  if (state == state_) return;
  state_ = state;
  for (TDataLink* link : std::vector<TDataLink*>(links_))
    link->DataEvent(TDataEvent::deUpdateState, 0);
  if (OnStateChange) OnStateChange(*this);
}

void TDataSource::DataEvent(TDataEvent event, std::intptr_t info) {
  if (event == TDataEvent::deUpdateState) return UpdateState();
  if (state_ == TDataSetState::dsInactive) return;
  for (std::size_t i = 0; i < links_.size(); ++i)
    links_[i]->DataEvent(event, info);  // no copy: see TDataSet::DataEvent
  switch (event) {
    case TDataEvent::deFieldChange:
    case TDataEvent::deRecordChange:
    case TDataEvent::deDataSetChange:
    case TDataEvent::deDataSetScroll:
    case TDataEvent::deLayoutChange:
      if (OnDataChange) {
        OnDataChange(*this, event == TDataEvent::deFieldChange ? InfoField(info) : nullptr);
      }
      break;
    case TDataEvent::deUpdateRecord:
      if (OnUpdateData) OnUpdateData(*this);
      break;
    default:
      break;
  }
}

void TDataSource::AddLink(TDataLink* link) {
  links_.push_back(link);
  if (data_set_ != nullptr) data_set_->UpdateBufferCount();
}

void TDataSource::RemoveLink(TDataLink* link) {
  links_.erase(std::remove(links_.begin(), links_.end(), link), links_.end());
  if (data_set_ != nullptr) data_set_->UpdateBufferCount();
}

// -------------------------------------------------------------- TDataLink ---

TDataLink::~TDataLink() {
  if (data_source_ != nullptr) data_source_->RemoveLink(this);
}

void TDataLink::SetDataSource(TDataSource* source) {
  if (source == data_source_) return;
  if (data_source_ != nullptr) data_source_->RemoveLink(this);
  data_source_ = source;
  if (data_source_ != nullptr) data_source_->AddLink(this);
  UpdateState();
}

TDataSet* TDataLink::DataSet() const {
  return data_source_ != nullptr ? data_source_->DataSet() : nullptr;
}

void TDataLink::SetReadOnly(bool read_only) {
  read_only_ = read_only;
  UpdateState();
}

void TDataLink::SetBufferCount(int count) {
  count = std::max(count, 1);
  if (count == buffer_count_) return;
  buffer_count_ = count;
  if (DataSet() != nullptr) DataSet()->UpdateBufferCount();
  if (active_) UpdateRange();
}

int TDataLink::RecordCount() const {
  if (!active_) return 0;
  if (data_source_->State() == TDataSetState::dsSetKey) return 1;
  return std::clamp(DataSet()->RecordCountInBuffers() - first_record_, 0, buffer_count_);
}

int TDataLink::ActiveRecord() const {
  if (!active_ || data_source_->State() == TDataSetState::dsSetKey) return 0;
  return DataSet()->ActiveRecord() - first_record_;
}

void TDataLink::SetActiveRecord(int row) {
  if (!active_ || data_source_->State() == TDataSetState::dsSetKey) return;
  DataSet()->SetActiveRecord(row + first_record_);
}

bool TDataLink::Edit() {
  if (!read_only_ && data_source_ != nullptr) data_source_->Edit();
  return editing_;
}

void TDataLink::UpdateRecord() {
  updating_ = true;
  try {
    UpdateData();
  } catch (...) {
    updating_ = false;
    throw;
  }
  updating_ = false;
}

void TDataLink::UpdateState() {
  TDataSet* data_set = DataSet();
  bool active = data_source_ != nullptr && data_source_->Enabled() && data_set != nullptr &&
                data_source_->State() != TDataSetState::dsInactive;
  if (active != active_) {
    active_ = active;
    if (active_) {
      UpdateRange();
    } else {
      first_record_ = 0;
    }
    ActiveChanged();
  }
  TDataSetState state = data_source_ != nullptr ? data_source_->State() : TDataSetState::dsInactive;
  bool editing = !read_only_ &&
                 (state == TDataSetState::dsEdit || state == TDataSetState::dsInsert) &&
                 data_set->CanModify();
  if (editing != editing_) {
    editing_ = editing;
    EditingChanged();
  }
}

// Keeps the window inside the ring and the active record inside the window,
// moving it as little as possible.
void TDataLink::UpdateRange() {
  const TDataSet* data_set = DataSet();
  const int active = data_set->ActiveRecord();
  const int lowest = std::max(active - buffer_count_ + 1, 0);
  const int highest = std::min(std::max(data_set->BufferCount() - buffer_count_, 0), active);
  first_record_ = std::clamp(first_record_, lowest, std::max(lowest, highest));
}

void TDataLink::DataEvent(TDataEvent event, std::intptr_t info) {
  if (event == TDataEvent::deUpdateState) return UpdateState();
  if (!active_) return;
  switch (event) {
    case TDataEvent::deFieldChange:
    case TDataEvent::deRecordChange:
      if (!updating_) RecordChanged(InfoField(info));
      break;
    case TDataEvent::deDataSetChange:
    case TDataEvent::deLayoutChange:
      UpdateRange();
      event == TDataEvent::deDataSetChange ? DataSetChanged() : LayoutChanged();
      break;
    case TDataEvent::deDataSetScroll: {
      // The ring turned by `info` buffers: the record on the first row is
      // now at first_record_ + info. The window then follows the active
      // record; what it moved by is the distance the rows scroll.
      int same_records = first_record_ + static_cast<int>(info);
      first_record_ = same_records;
      UpdateRange();
      DataSetScrolled(first_record_ - same_records);
      break;
    }
    case TDataEvent::deUpdateRecord:
      UpdateRecord();
      break;
    case TDataEvent::deCheckBrowseMode:
      CheckBrowseMode();
      break;
    case TDataEvent::deFocusControl: {
      // The first link that focuses its control clears the field, so that
      // the others leave theirs alone.
      TField** field = reinterpret_cast<TField**>(info);
      if (*field != nullptr) FocusControl(*field);
      break;
    }
    case TDataEvent::deUpdateState:
      break;
  }
}

}  // namespace orvex::data
