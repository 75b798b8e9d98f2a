#include "platform/data/field_text.h"

#include <cstdio>

#include "platform/data/data_set.h"
#include "platform/data/database_error.h"
#include "platform/os/table_code_pages.h"

namespace orvex::data {

namespace {

int CodePageOf(const TField& field) {
  return field.DataSet() != nullptr ? field.DataSet()->TextCodePage() : 1252;
}

// "U+0416" for the UTF-8 character `one`.
std::string CodePointName(std::string_view one) {
  const auto lead = static_cast<unsigned char>(one[0]);
  std::uint32_t code = one.size() == 1 ? lead : lead & (0x7F >> one.size());
  for (std::size_t i = 1; i < one.size(); ++i)
    code = (code << 6) | (static_cast<unsigned char>(one[i]) & 0x3F);
  char text[16];
  std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(code));
  return text;
}

}  // namespace

std::string TextAsUtf8(const TField& field, std::string_view text) {
  std::string utf8;
  os::CodePageTextToUtf8(CodePageOf(field), text, &utf8);
  return utf8;
}

std::string FieldTextUtf8(const TField& field, bool display) {
  return TextAsUtf8(field, display ? field.DisplayText() : field.Text());
}

void SetFieldTextUtf8(TField& field, std::string_view utf8) {
  const int code_page = CodePageOf(field);
  std::string text, refused;
  if (!os::Utf8ToCodePageText(code_page, utf8, &text, &refused)) {
    const std::string what = refused.empty() ? std::string("a byte that is no UTF-8")
                                             : "character " + CodePointName(refused);
    DatabaseError("Field '" + field.FieldName() + "': " + what + " is not in code page " +
                  std::to_string(code_page));
  }
  field.SetText(text);
}

}  // namespace orvex::data
