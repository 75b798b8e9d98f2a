// TOxFileDataSet: the production index at open (see the file comment of
// ox_file_data_set.h for the handlings).
//
// The rule that protects other programs: an index is rebuilt only when the
// table's semaphore file could be removed. Every program that has the index
// open is logged in to that file and holds it open, and an open file cannot
// be removed, so a file that is still there after the attempt means that
// another program uses the index; it is then opened as it stands.
#include "common/errors.h"
#include "dataset/dataset_settings.h"
#include "dataset/ox_file_data_set.h"
#include "dataset/table_definitions.h"
#include "engine/dbf_file.h"
#include "index/index_open.h"
#include "common/quiet_errors.h"
#include "index/semaphore.h"
#include "platform/data/try_finally.h"
#include "platform/os/files.h"

namespace orvex {

namespace {

void ClearError() {
  DbfErrorNo = 0;
  ReportedErrorNo = 0;
  ErrorDetail.clear();
}

}  // namespace

void TOxFileDataSet::OpenProductionIndex() {
  TCreateIndexType handling = create_index_;
  if (IndexListTagCount(index_list_) >= 1) {
    SetTableFlag(true);
  } else {
    handling = TCreateIndexType::ciNever;
    if (!TableFlagSet()) return;
  }
  const std::string index_file = IndexFileName(*CurrentWorkArea(), "");
  if (handling == TCreateIndexType::ciNever) {
    SetIndexTo(index_file);
    return;
  }
  {
    QuietErrors quiet;
    if (os::FileExists(index_file)) {
      os::DeleteFile(SemaphoreFileName(CurrentWorkArea()->file_name));
      if ((handling == TCreateIndexType::ciAlways ||
           handling == TCreateIndexType::ciVerifyHeader) &&
          os::FileExists(SemaphoreFileName(CurrentWorkArea()->file_name)))
        handling = TCreateIndexType::ciNotFound;
    } else {
      handling = TCreateIndexType::ciAlways;
    }
    if (handling == TCreateIndexType::ciVerifyHeader) {
      const std::vector<std::string> stored = IndexTagLines(index_file);
      ClearError();
      handling = IndexListMatches(stored, index_list_) ? TCreateIndexType::ciNotFound
                                                       : TCreateIndexType::ciAlways;
    }
    if (handling == TCreateIndexType::ciNotFound) {
      SetIndexTo(index_file);
      if (DbfErrorNo == 2 || DbfErrorNo == 222 || DbfErrorNo == 223) {
        ClearError();
        handling = TCreateIndexType::ciAlways;
      }
    }
    // Any other index error is reported now, as the engine would have.
    quiet.ReportHeld();
  }
  if (handling == TCreateIndexType::ciAlways) BuildProductionIndex(index_file);
}

void TOxFileDataSet::BuildProductionIndex(const std::string& index_file) {
  bool can_make = true;
  if (OnBeforeMakeIndex) OnBeforeMakeIndex(index_file, can_make);
  if (!can_make) {
    SetTableFlag(false);
    return;
  }
  const std::vector<TagDefinition> tags = ParseIndexList(index_list_);
  const IndexProgressWork build = [&](const std::function<void()>& step) {
    data::TryFinally(
        [&] {
          IndexProgress = step;
          IndexProgressSteps = 100;
          MakeIndex(tags, index_file);
        },
        [] {
          IndexProgress = nullptr;
          IndexProgressSteps = 0;
        });
  };
  if (ShowProgress()) {
    RunIndexProgress(index_file, build);
  } else {
    build({});
  }
  if (OnAfterMakeIndex) OnAfterMakeIndex(index_file);
  if (DbfErrorNo == 0) SetIndexTo(index_file);
}

}  // namespace orvex
