// TOxFileDataSet and TOxDbf: the table component. It opens the table file
// with the requested sharing, creates a missing table from its field list,
// opens, verifies or builds the production index named by its index list,
// writes under record and file locks with events for a lock that cannot be
// had, searches through the active index, and hands out BLOB streams for
// memo fields. TOxDbf adds the choice of the index order.
//
// OPENING (OpenTable, called by the dataset core's open):
//   1. With CreateIfNotFound a missing file is created from DbfFields
//      (table_definitions.h); when that fails the warning 57601 "Konnte
//      '<DbfFileName>' nicht erzeugen" is shown and the open then fails with
//      the engine's error.
//   2. USE "<file>[ EXCLUSIVE][ ALIAS <component name>]", with the engine's
//      CountFromFileSize set to AutoFixRecCount and, for ReadOnly, the open
//      mode forced to 0 (read-only; with Exclusive) or 64 (read-only, deny
//      none); both options are restored on every path.
//   3. Outside design mode, the production index (the table's name with the
//      extension MDX). When IndexList names a tag the table's production-
//      index flag is set and CreateIndex decides; otherwise the index is
//      opened only when the table's header announces one.
//        ciNever        the index is opened; a failure is reported.
//        ciNotFound     the index is opened; when it is missing or damaged
//                       (errors 2, 222, 223) it is built.
//        ciVerifyHeader the index is built when its tags differ from
//                       IndexList by more than letter case, else opened.
//        ciAlways       the index is built.
//      An index whose table another program holds open (its semaphore file
//      cannot be removed) is never rebuilt: it is opened as under
//      ciNotFound. A build fires OnBeforeMakeIndex (which may refuse it:
//      the table is then used without index and its production-index flag
//      cleared), runs under the progress hook (dataset_settings.h) when
//      ShowProgress is set, with 100 progress steps per tag, fires
//      OnAfterMakeIndex, and opens the new index when no error is pending.
//
// WRITES: s_AppendWithLock (file lock), s_DeleteWithLock, s_RestoreWithLock
// and s_ReplaceWithLock (record lock) do nothing when ReadOnly. Otherwise
// they lock, change the table and unlock. When the lock cannot be had the
// matching event (OnALockFailedOnInsert, OnRLockFailedOnDelete,
// OnRLockFailedOnRestore, OnRLockFailedOnPost) is called with Retry false;
// a handler that sets Retry has the lock tried again (after a short,
// growing pause in which the application's messages are dispatched).
// Without a handler the warning 57620 "Sperren fehlgeschlagen [<Insert |
// Delete | Restore | Post>]" is shown. A failed lock never raises.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "dataset/ox_c_data_set.h"
#include "engine/work_area.h"
#include "index/index_build.h"

namespace orvex {

class TOxBlobStream;

class TOxFileDataSet : public TOxCDataSet {
 public:
  explicit TOxFileDataSet(std::string name = "", bool design_mode = false);
  ~TOxFileDataSet() override;

  bool AutoFixRecCount() const { return auto_fix_rec_count_; }
  void SetAutoFixRecCount(bool on) { auto_fix_rec_count_ = on; }
  TCreateIndexType CreateIndex() const { return create_index_; }
  void SetCreateIndex(TCreateIndexType type) { create_index_ = type; }
  bool CreateIfNotFound() const { return create_if_not_found_; }
  void SetCreateIfNotFound(bool on) { create_if_not_found_ = on; }
  bool Exclusive() const { return exclusive_; }
  // Closes and reopens an active dataset when the value changes.
  void SetExclusive(bool exclusive);
  std::vector<std::string>& IndexList() { return index_list_; }

  TBeforeMakeIndexEvent OnBeforeMakeIndex;
  TAfterMakeIndexEvent OnAfterMakeIndex;
  // Called with the dataset as sender.
  TOxLockFailedEvent OnALockFailedOnInsert;
  TOxLockFailedEvent OnRLockFailedOnDelete;
  TOxLockFailedEvent OnRLockFailedOnPost;
  TOxLockFailedEvent OnRLockFailedOnRestore;

  // Index search in the active order for the key text (at most 100
  // characters): the dataset then shows the record found, or its last
  // record when the search ended behind the table. FindExact matches the
  // whole key. Answer: found.
  bool Find(const std::string& key);
  bool FindExact(const std::string& key);

  // When the key fields are the active tag's key (its expression is the
  // fields' names joined by "+"), the key values (as one text of at most
  // 255 characters) are searched in the tag, exactly unless loPartialKey;
  // loCaseInsensitive does not matter there. Otherwise, and in natural
  // order, the sequential search of TOxCDataSet.
  bool Locate(const std::string& key_fields, const std::vector<LocateValue>& key_values,
              unsigned options) override;
  // Whether an index order is active whose key is the key fields.
  bool KeyFieldsAreActiveKey(const std::string& key_fields);

  // A TOxBlobStream over a BLOB field of the current record (text
  // translated between OEM and the program's characters where the engine
  // converts the table's text, see OemText);
  // nullptr for other fields.
  std::unique_ptr<data::TStream> CreateBlobStream(data::TField* field,
                                                  data::TBlobStreamMode mode) override;

  bool SetProperty(const std::string& name, const std::string& value) override;

 protected:
  bool OpenTable(const std::string& name) override;
  void s_AppendWithLock() override;
  void s_DeleteWithLock() override;
  void s_RestoreWithLock() override;
  void s_ReplaceWithLock() override;
  bool KeepsTableOpen() override { return !(DesignMode() && exclusive_); }
  void RefillDbfFields() override;

 private:
  friend class TOxBlobStream;
  bool CreateTable();
  // The definition corrected (table_definitions.h), with the warning when
  // anything changed.
  FieldDef Corrected(const FieldDef& written);
  // Production index of the table in the current area (see the file
  // comment); index_open.cpp of this folder.
  void OpenProductionIndex();
  void BuildProductionIndex(const std::string& index_file);
  bool Search(const char* routine, const std::string& key, bool exact);
  void LockedWrite(const char* routine, const char* word, bool (*lock)(), void (*operation)(),
                   const TOxLockFailedEvent& event);

  bool auto_fix_rec_count_ = false;
  TCreateIndexType create_index_ = TCreateIndexType::ciNotFound;
  bool create_if_not_found_ = true;
  bool exclusive_ = false;
  std::vector<std::string> index_list_;
};

class TOxDbf : public TOxFileDataSet {
 public:
  using TOxFileDataSet::TOxFileDataSet;
  // Makes the tag of that name (at most 10 characters, letter case ignored;
  // the first tag whose name begins with it) the active order, "" the
  // natural order, and shows the dataset in the new order. Answers true
  // when the order was set.
  bool SetOrderToTag(const std::string& tag_name);
};

}  // namespace orvex
