#include "index/key_maker.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "common/errors.h"
#include "common/names.h"
#include "dates/date_text.h"
#include "engine/engine_text.h"
#include "expr/compiled_expr.h"
#include "expr/evaluator.h"
#include "expr/number_text.h"
#include "common/quiet_errors.h"
#include "platform/os/codepage.h"

namespace orvex {

namespace {

// Converts a character result in place as FoldedKeyText describes (no
// allocation beyond the key's own buffer: this runs once per record in a
// build).
void ConvertCharacterKey(const KeySource& source, std::string* text) {
  if (text->size() > 255) text->resize(255);
  if (source.oem) os::CharToOemBuff(text->data(), text->size());
  if (source.fold) FoldKeyText(*text);
}

// True when `text` holds only blanks from `from` on: what a key of that
// length leaves out is padding, which the key's own padding stands for.
bool OnlyBlanksFrom(const std::string& text, std::size_t from) {
  for (std::size_t i = from; i < text.size(); ++i) {
    if (text[i] != ' ') return false;
  }
  return true;
}

}  // namespace

std::string FoldedKeyText(const KeySource& source, std::string text) {
  ConvertCharacterKey(source, &text);
  if (text.size() > static_cast<std::size_t>(kMaxKeyLength)) text.resize(kMaxKeyLength);
  return text;
}

int CharacterKeyLength(CompiledExpr& expr, WorkArea& table) {
  if (expr.result_type != 'C') return 0;
  // The expression is evaluated once over a record of the widest values
  // each field can hold (no blanks for TRIM to take, no NUL to end a text),
  // put into the record buffer for that one evaluation; the width that
  // comes out is the expression's own, whatever the table's records hold.
  std::vector<char> saved = table.record;
  for (const FieldDesc& f : table.fields) {
    char* p = table.record.data() + f.offset;
    switch (f.type) {
      case 'C': std::memset(p, 'X', f.length); break;
      case 'N':
      case 'F':
        std::memset(p, '9', f.length);
        if (f.decimals > 0 && f.decimals < f.length) p[f.length - f.decimals - 1] = '.';
        break;
      case 'D': std::memcpy(p, "20001231", std::min<std::size_t>(f.length, 8)); break;
      case 'L': *p = 'T'; break;
      default: std::memset(p, ' ', f.length);  // memo and other pointers: none
    }
  }
  // An error of this evaluation only means that no width came out: it is
  // neither reported nor left behind.
  const std::uint16_t saved_error = DbfErrorNo;
  const std::string saved_detail = ErrorDetail;
  int width = 0;
  {
    QuietErrors quiet;
    DbfErrorNo = 0;
    if (EvaluateExpr(&expr) != nullptr && DbfErrorNo == 0) width = static_cast<int>(ResultText(&expr).size());
    DbfErrorNo = saved_error;
    ErrorDetail = saved_detail;
  }
  // The bytes go back into the same buffer: readers keep pointers into the
  // record buffer (the dataset's field access) across an index build.
  table.record.assign(saved.begin(), saved.end());
  return width >= 1 && width <= kMaxKeyLength ? width : 0;
}

bool MakeKey(const KeySource& source, std::string* key) {
  if (EvaluateExpr(source.expr) == nullptr) return false;
  switch (source.key_type) {
    case 'N':
    case 'F': {
      auto k = EncodeNumber(ResultNumber(source.expr), source.expr->decimals);
      key->assign(reinterpret_cast<const char*>(k.data()), k.size());
      break;
    }
    case 'D': {
      double d = ResultNumber(source.expr);
      key->assign(reinterpret_cast<const char*>(&d), sizeof d);
      break;
    }
    default:
      key->assign(ResultText(source.expr));
      ConvertCharacterKey(source, key);
      if (!OnlyBlanksFrom(*key, static_cast<std::size_t>(source.key_length))) {
        SetError(266, Ansi("Schlüssel länger als die Schlüssellänge ") +
                          std::to_string(source.key_length) +
                          " des Tags: " + std::string(ResultText(source.expr)) + " [MakeKey]");
        return false;
      }
      break;
  }
  key->resize(static_cast<std::size_t>(source.key_length), source.key_type == 'C' ? ' ' : '\0');
  return true;
}

KeySource KeySourceOf(const IndexFile& index, const TagState& tag) {
  KeySource s;
  s.expr = tag.key_expr;
  s.key_type = tag.layout.key_type;
  s.key_length = tag.layout.key_length;
  s.fold = tag.fold_keys;
  s.oem = WorkAreas[static_cast<std::size_t>(index.area)]->oem_text;
  return s;
}

bool MeetsFor(TagState& tag) {
  if (tag.for_expr == nullptr) return true;
  return EvaluateExpr(tag.for_expr) != nullptr && ResultLogical(tag.for_expr);
}

namespace {

// The decimal key of a search text: a plain decimal number as written
// (digits, sign, point), or any other number form strtod reads whole
// (7e9, 1.5E+3) by its value. False when the text is no number.
bool NumericSearchKey(const std::string& text, int decimals, std::string* key) {
  const std::string t = TrimBoth(text);
  std::size_t i = t.empty() || (t[0] != '+' && t[0] != '-') ? 0 : 1;
  const bool plain =
      t.find_first_not_of("0123456789.", i) == std::string::npos && t.find('.') == t.rfind('.');
  std::array<std::uint8_t, kNumericKeyLength> k{};
  if (plain) {
    k = EncodeNumericText(t, decimals);
  } else {
    char* end = nullptr;
    const double value = std::strtod(t.c_str(), &end);
    if (end == t.c_str() || *end != '\0' || !std::isfinite(value)) return false;
    k = EncodeNumber(value, decimals);
  }
  key->assign(reinterpret_cast<const char*>(k.data()), k.size());
  return true;
}

}  // namespace

std::string SearchKey(const IndexFile& index, const TagState& tag, const std::string& text,
                      bool exact, int* compare_length, bool* can_match) {
  const int length = tag.layout.key_length;
  std::string key;
  *compare_length = length;
  *can_match = true;
  switch (tag.layout.key_type) {
    case 'N':
    case 'F':
      *can_match =
          NumericSearchKey(text, tag.key_expr != nullptr ? tag.key_expr->decimals : 0, &key);
      break;
    case 'D': {
      double d = DayNumberFromDateText(TrimBoth(text));
      key.assign(reinterpret_cast<const char*>(&d), sizeof d);
      break;
    }
    default: {
      std::string t = text;
      if (exact && t.size() < static_cast<std::size_t>(length))
        t.resize(static_cast<std::size_t>(length), ' ');
      KeySource s = KeySourceOf(index, tag);
      key = t;
      ConvertCharacterKey(s, &key);
      // A key holds no more than its length: a text that goes on past it
      // with more than blanks is the beginning of no key.
      *can_match = OnlyBlanksFrom(key, static_cast<std::size_t>(length));
      if (key.size() > static_cast<std::size_t>(length))
        key.resize(static_cast<std::size_t>(length));
      if (!exact) *compare_length = static_cast<int>(key.size());
      key.resize(static_cast<std::size_t>(length), tag.layout.descending ? '\xFE' : '\0');
      return key;
    }
  }
  key.resize(static_cast<std::size_t>(length), '\0');
  return key;
}

std::string KeyAsText(const TagState& tag, const std::string& key) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(key.data());
  switch (tag.layout.key_type) {
    case 'N':
    case 'F': {
      char out[260];
      int width = tag.key_expr != nullptr ? tag.key_expr->result_length : 10;
      int decimals = tag.key_expr != nullptr ? tag.key_expr->decimals : 0;
      int n = FormatStr(key.size() >= 12 ? DecodeNumericKey(bytes) : 0.0, width, decimals, out);
      return std::string(out, static_cast<std::size_t>(n));
    }
    case 'D': {
      double d = 0;
      if (key.size() >= 8) std::memcpy(&d, bytes, 8);
      return DateTextFromDayNumber(d);
    }
    default:
      return key.substr(0, kMaxKeyLength);
  }
}

}  // namespace orvex
