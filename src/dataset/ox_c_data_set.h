// TOxCDataSet: the dataset core with its published properties, the table
// file name's rules, read-only use and the framework's Locate through the
// engine's sequential search.
//
// PROPERTIES BY NAME: SetProperty(name, text) sets a published property
// from its text as a stored form holds it (property_text.h): "Name",
// "Active", "AutoCalcFields", "DbfFileName", "DbfFields", "HideDeletedRecs",
// "ShowProgress", "TableLanguage" (tlOem, tlAnsi) and "ReadOnly" here;
// subclasses add theirs. Between BeginLoading and EndLoading the component
// counts as being read from its stored form: changing the file name then
// neither closes nor reopens the table, and Active = True takes effect at
// EndLoading, once every property is in place. Events are not set by text.
#pragma once

#include <string>
#include <vector>

#include "dataset/ox_data_set.h"
#include "engine/search.h"

namespace orvex {

// Options of Locate.
enum TLocateOption : unsigned {
  loCaseInsensitive = 1,
  loPartialKey = 2,
};

// The field names of a Locate's key fields: split at ";", trimmed.
std::vector<std::string> KeyFieldNames(const std::string& key_fields);

class TOxCDataSet : public TOxDataSet {
 public:
  explicit TOxCDataSet(std::string name = "", bool design_mode = false);

  // Closes the dataset (unless loading), stores the name trimmed of blanks
  // and, when it is not empty, adds the extension DBF to a name without one
  // (a name ending in "." gets none) and restores the active state, so that
  // an active table reopens under the new name. An empty name leaves the
  // dataset closed.
  void SetDbfFileName(const std::string& name) override;

  // The table is opened for reading only and the dataset cannot be
  // modified; the four writes then do nothing.
  bool ReadOnly() const { return read_only_; }
  void SetReadOnly(bool read_only) { read_only_ = read_only; }

  // The first record, in natural order, whose fields (names separated by
  // ";", one value each) all hold the values; case-insensitive with
  // loCaseInsensitive, exact unless loPartialKey. The dataset then shows
  // the record found (or the end of the table). Answers the engine's result.
  virtual bool Locate(const std::string& key_fields, const std::vector<LocateValue>& key_values,
                      unsigned options);

  // Sets a published property from its stored text; false for an unknown
  // name or a value the property cannot take (nothing changes then).
  virtual bool SetProperty(const std::string& name, const std::string& value);
  void BeginLoading() { loading_ = true; }
  void EndLoading();
  bool Loading() const { return loading_; }

 protected:
  bool GetCanModify() override { return !read_only_; }

 private:
  bool read_only_ = false;
  bool loading_ = false;
  bool active_after_loading_ = false;
};

}  // namespace orvex
