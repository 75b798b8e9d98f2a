#include "dataset/ox_c_data_set.h"

#include <algorithm>

#include "common/errors.h"
#include "common/names.h"
#include "dataset/property_text.h"
#include "engine/entry_points.h"
#include "engine/navigation.h"
#include "engine/search.h"
#include "engine/work_area.h"

namespace orvex {

TOxCDataSet::TOxCDataSet(std::string name, bool design_mode)
    : TOxDataSet(std::move(name), design_mode) {}

void TOxCDataSet::SetDbfFileName(const std::string& name) {
  const bool was_active = Active();
  if (!loading_) Close();
  std::string trimmed = TrimBoth(name);
  if (!trimmed.empty() && trimmed.back() != '.') trimmed = DefaultExt(trimmed, "DBF");
  TOxDataSet::SetDbfFileName(trimmed);
  if (!trimmed.empty() && !loading_) SetActive(was_active);
}

// The engine's exact search compares the whole stored field, padding
// included; a key value means the field's value without its padding, so
// text values for character fields are padded to the field's length.
//
// Several fields must all match. In natural order the engine's search finds
// the records that match the first one, and the first of them whose other
// fields match too is the answer; in an index order the records are walked
// in that order, each matched as the engine's search matches.
bool TOxCDataSet::Locate(const std::string& key_fields, const std::vector<LocateValue>& key_values,
                         unsigned options) {
  if (!SelectArea("Locate")) return false;
  const bool exact = (options & loPartialKey) == 0;
  const bool no_case = (options & loCaseInsensitive) != 0;
  const std::vector<std::string> names = KeyFieldNames(key_fields);
  std::vector<LocateValue> values = key_values;
  for (std::size_t i = 0; exact && i < values.size() && i < names.size(); ++i) {
    const int field = FieldNo(names[i].substr(0, names[i].find(' ')));
    auto* text = std::get_if<std::string>(&values[i]);
    if (field > 0 && FieldType(field) == 'C' && text != nullptr &&
        static_cast<int>(text->size()) < FieldLen(field))
      text->resize(static_cast<std::size_t>(FieldLen(field)), ' ');
  }
  bool found = false;
  if (names.size() != values.size()) {
    found = ::orvex::Locate(key_fields, values, no_case, exact);  // reports the mismatch
  } else {
    auto all_match = [&](std::size_t from) {
      for (std::size_t i = from; i < names.size(); ++i) {
        if (!RecordMatches(names[i], values[i], no_case, exact) || DbfErrorNo != 0) return false;
      }
      return true;
    };
    if (IndexOrderActive(SelectedArea())) {
      GoTop();
      while (DbfErrorNo == 0 && !dEOF() && !(found = all_match(0))) SKIP(1);
    } else {
      found = ::orvex::Locate(names[0], values[0], no_case, exact);
      while (found && !all_match(1)) found = DbfErrorNo == 0 && Continue();
    }
    found = found && DbfErrorNo == 0;
  }
  RefreshFromEngine();
  return found;
}

std::vector<std::string> KeyFieldNames(const std::string& key_fields) {
  std::vector<std::string> names;
  for (std::size_t start = 0;;) {
    const std::size_t end = key_fields.find(';', start);
    names.push_back(TrimBoth(key_fields.substr(start, end - start)));
    if (end == std::string::npos) return names;
    start = end + 1;
  }
}

void TOxCDataSet::EndLoading() {
  loading_ = false;
  if (active_after_loading_) {
    active_after_loading_ = false;
    Open();
  }
}

bool TOxCDataSet::SetProperty(const std::string& name, const std::string& value) {
  bool flag = false;
  const bool is_bool = ParseBoolText(value, flag);
  if (SameName(name, "Name")) {
    SetName(value);
  } else if (SameName(name, "DbfFileName")) {
    SetDbfFileName(value);
  } else if (SameName(name, "DbfFields")) {
    DbfFields() = SplitLines(value);
  } else if (SameName(name, "TableLanguage")) {
    if (SameName(value, "tlOem")) {
      SetTableLanguage(TOxTableLanguage::tlOem);
    } else if (SameName(value, "tlAnsi")) {
      SetTableLanguage(TOxTableLanguage::tlAnsi);
    } else {
      return false;
    }
  } else if (!is_bool) {
    return false;
  } else if (SameName(name, "Active")) {
    if (loading_) {
      active_after_loading_ = flag;
    } else {
      SetActive(flag);
    }
  } else if (SameName(name, "AutoCalcFields")) {
    SetAutoCalcFields(flag);
  } else if (SameName(name, "HideDeletedRecs")) {
    SetHideDeletedRecs(flag);
  } else if (SameName(name, "ShowProgress")) {
    SetShowProgress(flag);
  } else if (SameName(name, "ReadOnly")) {
    SetReadOnly(flag);
  } else {
    return false;
  }
  return true;
}

}  // namespace orvex
