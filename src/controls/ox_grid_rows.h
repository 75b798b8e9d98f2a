// Visiting the rows a data-aware grid shows: each of the records in the
// grid's buffers made the link's active record in turn, top to bottom, so
// that the dataset's fields read that record. For state dumps and checks
// that read what the user sees.
#pragma once

#include "controls/ox_grid.h"
#include "platform/data/data_link.h"
#include "platform/data/data_set.h"

namespace orvex {

// Calls `row(dataset)` once per shown row; the active record is put back
// afterwards, also on failure. Nothing without an active dataset.
template <typename F>
void ForEachVisibleRow(TCustomOxGrid& grid, F&& row) {
  data::TDataLink& link = grid.DataLink();
  data::TDataSet* ds = link.DataSet();
  if (ds == nullptr || !ds->Active()) return;
  struct Restore {
    data::TDataLink& link;
    int active;
    ~Restore() { link.SetActiveRecord(active); }
  } restore{link, link.ActiveRecord()};
  for (int i = 0; i < link.RecordCount(); ++i) {
    link.SetActiveRecord(i);
    row(*ds);
  }
}

}  // namespace orvex
