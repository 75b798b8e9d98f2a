#include "dataset/ox_c_data_set.h"

#include <algorithm>

#include "common/errors.h"
#include "common/names.h"
#include "dataset/property_text.h"
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
bool TOxCDataSet::Locate(const std::string& key_fields, const std::vector<LocateValue>& key_values,
                         unsigned options) {
  if (!SelectArea("Locate")) return false;
  const bool exact = (options & loPartialKey) == 0;
  std::vector<LocateValue> values = key_values;
  if (exact) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < values.size() && start <= key_fields.size(); ++i) {
      const std::size_t end = std::min(key_fields.find(';', start), key_fields.size());
      const std::string name = TrimBoth(key_fields.substr(start, end - start));
      const int field = FieldNo(name.substr(0, name.find(' ')));
      auto* text = std::get_if<std::string>(&values[i]);
      if (field > 0 && FieldType(field) == 'C' && text != nullptr &&
          static_cast<int>(text->size()) < FieldLen(field))
        text->resize(static_cast<std::size_t>(FieldLen(field)), ' ');
      start = end + 1;
    }
  }
  const bool found = ::orvex::Locate(key_fields, values, (options & loCaseInsensitive) != 0, exact);
  RefreshFromEngine();
  return found;
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
