// TDataSource and TDataLink: how controls hear from a dataset.
//
// A data source connects any number of data links to one dataset and passes
// the dataset's events on. A data link is one control's connection: it asks
// for a number of record buffers (BufferCount: a grid its visible rows, a
// navigator 1) and sees a window of the dataset's ring of that many buffers,
// starting at its own FirstRecord. The window follows the active record:
// after every change the link moves it as little as needed to keep the
// active record inside (and never past the ring's end), so a grid scrolls
// only when the active record leaves its rows.
//
// Notifications a link receives (override the hooks):
//   ActiveChanged      the dataset opened or closed (Active()).
//   DataSetChanged     the ring is new: redraw all rows.
//   DataSetScrolled(d) the window moved by d records (positive: towards the
//                      end): scroll the rows by d and redraw the new ones.
//   RecordChanged(f)   field f of the active record changed (nullptr: the
//                      whole record): redraw the active row.
//   EditingChanged     the dataset entered or left edit / insert (Editing()).
//   LayoutChanged      fields or their display properties changed.
//   UpdateData         write pending edits into the fields now.
//   CheckBrowseMode    the dataset is about to leave edit / insert.
//   FocusControl(f)    focus the control of field f (set f to nullptr when
//                      this link did it).
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/data/data_types.h"

namespace orvex::data {

class TDataSet;
class TDataLink;
class TField;

class TDataSource {
 public:
  TDataSource() = default;
  ~TDataSource();
  TDataSource(const TDataSource&) = delete;
  TDataSource& operator=(const TDataSource&) = delete;

  TDataSet* DataSet() const { return data_set_; }
  void SetDataSet(TDataSet* data_set);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  // The dataset's state; inactive without a dataset or when disabled.
  TDataSetState State() const { return state_; }
  // Edit of the dataset when AutoEdit is on and the dataset is browsing.
  void Edit();
  bool auto_edit = true;

  std::function<void(TDataSource&)> OnStateChange;
  std::function<void(TDataSource&, TField*)> OnDataChange;
  std::function<void(TDataSource&)> OnUpdateData;

 private:
  friend class TDataSet;
  friend class TDataLink;
  void DataEvent(TDataEvent event, std::intptr_t info);
  void UpdateState();
  void AddLink(TDataLink* link);
  void RemoveLink(TDataLink* link);

  TDataSet* data_set_ = nullptr;
  bool enabled_ = true;
  TDataSetState state_ = TDataSetState::dsInactive;
  std::vector<TDataLink*> links_;
};

class TDataLink {
 public:
  TDataLink() = default;
  virtual ~TDataLink();
  TDataLink(const TDataLink&) = delete;
  TDataLink& operator=(const TDataLink&) = delete;

  TDataSource* DataSource() const { return data_source_; }
  void SetDataSource(TDataSource* source);
  TDataSet* DataSet() const;
  bool Active() const { return active_; }
  bool Editing() const { return editing_; }
  bool ReadOnly() const { return read_only_; }
  void SetReadOnly(bool read_only);

  int BufferCount() const { return buffer_count_; }
  void SetBufferCount(int count);
  // The first buffer of this link's window in the dataset's ring.
  int FirstRecord() const { return first_record_; }
  // Rows of the window that hold records (0..BufferCount).
  int RecordCount() const;
  // The active record as a row of the window; setting it makes that row the
  // dataset's active record (for drawing it).
  int ActiveRecord() const;
  void SetActiveRecord(int row);

  // Puts the dataset into edit (unless read-only); answers Editing().
  bool Edit();
  // Runs UpdateData with RecordChanged notifications suppressed.
  void UpdateRecord();

 protected:
  virtual void ActiveChanged() {}
  virtual void DataSetChanged() { RecordChanged(nullptr); }
  virtual void DataSetScrolled(int distance) {
    (void)distance;
    DataSetChanged();
  }
  virtual void RecordChanged(TField* field) { (void)field; }
  virtual void EditingChanged() {}
  virtual void LayoutChanged() { DataSetChanged(); }
  virtual void UpdateData() {}
  virtual void CheckBrowseMode() {}
  virtual void FocusControl(TField*& field) { (void)field; }

 private:
  friend class TDataSource;
  void DataEvent(TDataEvent event, std::intptr_t info);
  void UpdateState();
  void UpdateRange();

  TDataSource* data_source_ = nullptr;
  bool active_ = false;
  bool editing_ = false;
  bool read_only_ = false;
  bool updating_ = false;
  int buffer_count_ = 1;
  int first_record_ = 0;
};

}  // namespace orvex::data
