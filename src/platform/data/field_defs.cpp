#include "platform/data/field_defs.h"

#include "platform/os/codepage.h"

namespace orvex::data {

void TFieldDefs::Add(const std::string& name, TFieldType type, int size, bool required,
                     int field_no) {
  defs_.push_back({name, type, size, required, field_no});
}

const TFieldDef* TFieldDefs::Find(const std::string& name) const {
  for (const TFieldDef& def : defs_) {
    if (SameFieldName(def.name, name)) return &def;
  }
  return nullptr;
}

bool SameFieldName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (os::CharUpper(static_cast<unsigned char>(a[i])) !=
        os::CharUpper(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

}  // namespace orvex::data
