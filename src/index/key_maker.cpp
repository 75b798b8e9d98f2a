#include "index/key_maker.h"

#include <cstring>

#include "common/names.h"
#include "dates/date_text.h"
#include "expr/compiled_expr.h"
#include "expr/evaluator.h"
#include "expr/number_text.h"
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
  if (text->size() > static_cast<std::size_t>(kMaxKeyLength)) text->resize(kMaxKeyLength);
}

}  // namespace

std::string FoldedKeyText(const KeySource& source, std::string text) {
  ConvertCharacterKey(source, &text);
  return text;
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

std::string SearchKey(const IndexFile& index, const TagState& tag, const std::string& text, bool exact,
                      int* compare_length) {
  const int length = tag.layout.key_length;
  std::string key;
  *compare_length = length;
  switch (tag.layout.key_type) {
    case 'N':
    case 'F': {
      auto k = EncodeNumericText(text, 0);
      key.assign(reinterpret_cast<const char*>(k.data()), k.size());
      break;
    }
    case 'D': {
      double d = DayNumberFromDateText(TrimBoth(text));
      key.assign(reinterpret_cast<const char*>(&d), sizeof d);
      break;
    }
    default: {
      std::string t = text.substr(0, kMaxKeyLength);
      if (exact && t.size() < static_cast<std::size_t>(length)) t.resize(static_cast<std::size_t>(length), ' ');
      KeySource s = KeySourceOf(index, tag);
      key = FoldedKeyText(s, t);
      if (key.size() > static_cast<std::size_t>(length)) key.resize(static_cast<std::size_t>(length));
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
