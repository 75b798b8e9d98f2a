#include "app/oxview/table_orders.h"

#include <functional>

#include "common/errors.h"
#include "dataset/dataset_settings.h"
#include "dataset/ox_file_data_set.h"
#include "dataset/table_definitions.h"
#include "engine/dbf_file.h"
#include "engine/entry_points.h"
#include "engine/work_area.h"
#include "index/index_file.h"
#include "index/index_open.h"
#include "platform/data/try_finally.h"
#include "platform/os/files.h"

namespace orvex::view {

void OpenIndexBeside(TOxDbf& table) {
  const int area = table.WorkAreaNo();
  if (area <= 0 || IndexOf(area) != nullptr) return;
  table.s_RecNo();  // selects the table's area
  const std::string index_file = IndexFileName(*CurrentWorkArea(), "");
  if (!os::FileExists(index_file)) return;
  SetIndexTo(index_file);
  if (DbfErrorNo != 0) HandleError();
  // SetIndexTo makes the first tag the order: natural order, as opened.
  table.SetOrderToTag("");
  table.First();
}

std::vector<TagDefinition> TableTags(TOxDbf& table) {
  const IndexFile* index = IndexOf(table.WorkAreaNo());
  if (index == nullptr) return {};
  return ParseIndexList(IndexTagLines(index->file_name));
}

std::string ActiveTag(TOxDbf& table) {
  IndexFile* index = IndexOf(table.WorkAreaNo());
  const TagState* tag = index != nullptr ? index->Active() : nullptr;
  return tag != nullptr ? tag->name : "";
}

void UseOrder(TOxDbf& table, const std::string& tag) {
  table.CheckBrowseMode();
  if (!table.SetOrderToTag(tag) && DbfErrorNo != 0) HandleError();
}

namespace {

// Runs `build` (MakeIndex, AddIndexTag, Reindex) on `index_file` while the
// progress window shows its steps.
void WithIndexProgress(const std::string& index_file, const std::function<void()>& build) {
  RunIndexProgress(index_file, [&](const std::function<void()>& step) {
    data::TryFinally(
        [&] {
          IndexProgress = step;
          IndexProgressSteps = 100;
          build();
        },
        [] {
          IndexProgress = nullptr;
          IndexProgressSteps = 0;
        });
  });
}

}  // namespace

void AddTag(TOxDbf& table, const TagDefinition& tag) {
  table.CheckBrowseMode();
  const std::int32_t record = table.GetRecNo();
  table.s_Go(record);  // selects the table's area, on the current record
  WorkArea* area = CurrentWorkArea();
  if (area == nullptr) return;
  const bool has_index = IndexOf(table.WorkAreaNo()) != nullptr;
  const std::string index_file =
      has_index ? IndexOf(table.WorkAreaNo())->file_name : IndexFileName(*area, "");
  std::vector<TagDefinition> tags;
  if (!has_index) tags.push_back(tag);
  WithIndexProgress(index_file, [&] {
    // A table without index gets a new production index of this one tag;
    // otherwise the tag joins the open index.
    if (has_index) {
      AddIndexTag(tag, false);
    } else if (MakeIndex(tags, index_file) && MarkProductionIndex()) {
      // The table's header says so at once: whoever opens the table next
      // opens the new index and keeps it current.
      SetIndexTo(index_file);
    }
  });
  if (DbfErrorNo != 0) HandleError();
  if (DbfErrorNo == 0) {
    table.SetOrderToTag(tag.name);
    if (DbfErrorNo != 0) HandleError();
  }
}

void RebuildIndex(TOxDbf& table) {
  table.CheckBrowseMode();
  table.s_Go(table.GetRecNo());  // selects the table's area, on the current record
  const IndexFile* index = IndexOf(table.WorkAreaNo());
  if (index == nullptr) return;
  const std::string tag = ActiveTag(table);
  WithIndexProgress(index->file_name, [] { Reindex(); });
  if (DbfErrorNo != 0) HandleError();
  // The dataset takes up the rebuilt order on its record.
  if (DbfErrorNo == 0 && !table.SetOrderToTag(tag) && DbfErrorNo != 0) HandleError();
}

}  // namespace orvex::view
