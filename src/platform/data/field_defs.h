// Field definitions: what a dataset's table offers (name, type, size, field
// number), as the subclass reports it in InternalInitFieldDefs. Default
// fields are created from them at open when the dataset has no persistent
// fields.
#pragma once

#include <string>
#include <vector>

#include "platform/data/data_types.h"

namespace orvex::data {

struct TFieldDef {
  std::string name;
  TFieldType data_type = TFieldType::ftUnknown;
  int size = 0;  // characters of a string field; 0 for the others
  bool required = false;
  int field_no = 0;  // the subclass's number of the field (1-based)
};

class TFieldDefs {
 public:
  void Clear() { defs_.clear(); }
  void Add(const std::string& name, TFieldType type, int size, bool required, int field_no);
  int Count() const { return static_cast<int>(defs_.size()); }
  const TFieldDef& Items(int i) const { return defs_.at(static_cast<std::size_t>(i)); }
  // The definition of that name (letter case ignored), or nullptr.
  const TFieldDef* Find(const std::string& name) const;

 private:
  std::vector<TFieldDef> defs_;
};

// Field names compare without regard to letter case (ASCII and
// Windows-1252 letters).
bool SameFieldName(const std::string& a, const std::string& b);

}  // namespace orvex::data
