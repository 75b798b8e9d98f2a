// Locate and Continue: the sequential search through Peek.
#include "engine/search.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <istream>
#include <memory>
#include <optional>
#include <string_view>

#include "common/errors.h"
#include "common/file_utils.h"
#include "common/names.h"
#include "dates/date_text.h"
#include "engine/engine_text.h"
#include "engine/entry_points.h"
#include "engine/locks.h"
#include "engine/navigation.h"
#include "engine/peek_cache.h"
#include "engine/record_io.h"
#include "engine/record_pack.h"
#include "engine/work_area.h"
#include "platform/os/codepage.h"
#include "platform/os/format_settings.h"

namespace orvex {

SearchState Search;

void ResetSearchState() { Search = SearchState{}; }

namespace {

using FoldTable = std::array<unsigned char, 256>;

// Upper case of Windows-1252 text, byte by byte.
const FoldTable& AnsiFold() {
  static const FoldTable table = [] {
    FoldTable t{};
    for (int c = 0; c < 256; ++c) t[c] = os::CharUpper(static_cast<unsigned char>(c));
    return t;
  }();
  return table;
}

// Upper case of OEM text: through the Windows-1252 letter and back. Bytes
// whose character has no other case stay as they are, so that no two
// distinct OEM characters fold together.
const FoldTable& OemFold() {
  static const FoldTable table = [] {
    FoldTable t{};
    for (int c = 0; c < 256; ++c) {
      unsigned char ansi = os::OemToAnsiChar(static_cast<unsigned char>(c));
      unsigned char upper = os::CharUpper(ansi);
      t[c] = upper != ansi ? os::AnsiToOemChar(upper) : static_cast<unsigned char>(c);
    }
    return t;
  }();
  return table;
}

std::string Fold(std::string_view text, const FoldTable& table) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(table[static_cast<unsigned char>(c)]);
  return out;
}

// ------------------------------------------------------- search values ---

std::string DecimalText(double x) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.15g", x);
  std::string text = buffer;
  char separator = os::Formats().decimal_separator;
  for (char& c : text) {
    if (c == '.') c = separator;
  }
  return text;
}

// The value as text (the C and M rule).
std::string ValueAsText(const LocateValue& value) {
  struct Visitor {
    std::string operator()(const std::string& s) const { return s; }
    std::string operator()(std::int64_t n) const { return std::to_string(n); }
    std::string operator()(double x) const { return DecimalText(x); }
    std::string operator()(bool b) const { return b ? "True" : "False"; }
    std::string operator()(const LocateDate& d) const { return DateTextFromDayNumber(d.day); }
  };
  return std::visit(Visitor{}, value);
}

// A number written with '.' or the current decimal separator.
std::optional<double> ParseNumber(const std::string& text) {
  std::string t = TrimBoth(text);
  char separator = os::Formats().decimal_separator;
  for (char& c : t) {
    if (c == separator) c = '.';
  }
  if (!t.empty() && t[0] == '+') t.erase(0, 1);
  double x = 0;
  auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), x);
  if (t.empty() || ec != std::errc() || end != t.data() + t.size()) return std::nullopt;
  return x;
}

// The N/F rule: width = field length, the field's decimals (a whole number
// when it has none), rounded half away from zero.
std::string NumberText(double x, const FieldDesc& f) { return FormatNumber(x, f.length, f.decimals); }

std::optional<double> ValueAsNumber(const LocateValue& value) {
  if (const auto* n = std::get_if<std::int64_t>(&value)) return static_cast<double>(*n);
  if (const auto* x = std::get_if<double>(&value)) return *x;
  if (const auto* s = std::get_if<std::string>(&value)) return ParseNumber(*s);
  return std::nullopt;
}

std::optional<bool> ValueAsLogical(const LocateValue& value) {
  if (const auto* b = std::get_if<bool>(&value)) return *b;
  if (const auto* n = std::get_if<std::int64_t>(&value)) return *n != 0;
  if (const auto* x = std::get_if<double>(&value)) return *x != 0;
  if (const auto* s = std::get_if<std::string>(&value)) {
    std::string t = os::CharUpperString(TrimBoth(*s));
    if (t == "T" || t == "Y" || t == "TRUE" || t == ".T.") return true;
    if (t == "F" || t == "N" || t == "FALSE" || t == ".F.") return false;
  }
  return std::nullopt;
}

std::optional<std::string> ValueAsDText(const LocateValue& value) {
  if (const auto* d = std::get_if<LocateDate>(&value)) return DTextFromDayNumber(d->day);
  if (const auto* s = std::get_if<std::string>(&value)) {
    std::string d_text = DTextFromDateText(*s);
    // Only an empty text may stand for the empty date.
    if (d_text == "        " && !TrimBoth(*s).empty()) return std::nullopt;
    return d_text;
  }
  return std::nullopt;
}

// The search text of a value for a field of the given type; nullopt after
// reporting a value that does not suit the field.
std::optional<std::string> SearchTextFor(const LocateValue& value, const FieldDesc& f) {
  std::optional<std::string> text;
  switch (f.type) {
    case 'D':
      text = ValueAsDText(value);
      break;
    case 'N':
    case 'F':
      if (std::optional<double> x = ValueAsNumber(value)) text = NumberText(*x, f);
      break;
    case 'L':
      if (std::optional<bool> b = ValueAsLogical(value)) text = *b ? "T" : "F";
      break;
    default:
      text = ValueAsText(value);  // C, M
  }
  if (!text) {
    SetError(220, Ansi("Ungültiger Suchwert für Feld ") + f.name + ": " + ValueAsText(value) +
                      " [Locate]");
  }
  return text;
}

// ------------------------------------------------------------- matching ---

// The text of field f of a virtual area's current record, formatted from its
// unpacked value as a search value would be (the handler keeps the field's
// part at f.offset of the caller's buffer); nullopt for memo fields, which
// never match, and for parts outside the buffer.
std::optional<std::string> VirtualFieldText(const WorkArea& area, const FieldDesc& f) {
  if (area.unpacked == nullptr || f.offset + UnpackedFieldSize(f) > area.unpacked_size)
    return std::nullopt;
  const std::uint8_t* p = area.unpacked + f.offset;
  switch (f.type) {
    case 'C':
      return std::string(reinterpret_cast<const char*>(p + 1), std::min<int>(p[0], f.length));
    case 'D':
      return DTextFromDisplayDateText(
          std::string_view(reinterpret_cast<const char*>(p + 1), std::min<int>(p[0], 10)));
    case 'N':
    case 'F': {
      std::int32_t whole;
      std::memcpy(&whole, p, 4);
      return NumberText(f.decimals > 0 ? RealToDouble(p) : whole, f);
    }
    case 'L':
      return std::string(p[0] != 0 ? "T" : "F");
    default:
      return std::nullopt;
  }
}

// Compares the records of one area with the search state's text.
class Matcher {
 public:
  Matcher(WorkArea& area, int field) : area_(area), field_(field), f_(area.fields[field - 1]) {
    bool stored_oem = !area.is_virtual && area.oem_text && f_.type != 'M';
    fold_ = Search.case_sensitive ? nullptr : stored_oem ? &OemFold() : &AnsiFold();
    text_ = Search.text;
    // Field text is compared as stored: the search text goes into the
    // table's code page once instead of every record out of it.
    if (stored_oem) text_ = AnsiToOem(text_);
  }

  // 1 match, 0 none, -1 a read failed (reported).
  int Matches(std::int32_t record) {
    if (area_.is_virtual) {
      if (!GetDbfRecord(area_, record)) return -1;
      std::optional<std::string> text = VirtualFieldText(area_, f_);
      return text && TextMatches(*text) ? 1 : 0;
    }
    std::string_view text;
    if (!StoredField(record, &text)) return -1;
    return f_.type == 'M' ? MemoMatches(text) : TextMatches(text);
  }

 private:
  bool TextMatches(std::string_view field) {
    if (fold_ != nullptr) {
      folded_.assign(field);
      for (char& c : folded_) c = static_cast<char>((*fold_)[static_cast<unsigned char>(c)]);
      field = folded_;
    }
    if (Search.contained) return field.find(text_) != std::string_view::npos;
    if (Search.exact) return field == text_;
    return field.size() >= text_.size() && field.compare(0, text_.size(), text_) == 0;
  }

  // The stored bytes of the field of `record`: read in place from the Peek
  // cache while it holds the records, else through PeekInto. False after a
  // reported read failure.
  bool StoredField(std::int32_t record, std::string_view* text) {
    if (cached_.bytes == nullptr || record < cached_first_ ||
        record >= cached_first_ + cached_.count) {
      cached_ = PeekCachedRecords(area_, field_, record);
      cached_first_ = record;
      if (cached_.failed) return false;
    }
    if (cached_.bytes == nullptr) {
      if (!PeekInto(area_, field_, record, field_text_)) return false;
      *text = field_text_;
      return true;
    }
    *text = std::string_view(
        cached_.bytes + static_cast<std::size_t>(record - cached_first_) * area_.record_length +
            f_.offset,
        f_.length);
    return true;
  }

  // The memo whose block number the field holds matches when one of its
  // lines contains the search text.
  int MemoMatches(std::string_view field) {
    std::int32_t block = 0;
    std::string number = TrimBoth(field);
    auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), block);
    if (ec != std::errc() || end != number.data() + number.size() || block <= 0) return 0;
    std::unique_ptr<std::istream> memo = MemoStore.assign_memo(&block);
    if (!memo) return 0;
    std::string line;
    while (std::getline(*memo, line)) {
      while (!line.empty() && (line.back() == '\r' || line.back() == '\x8D')) line.pop_back();
      if (fold_ != nullptr) line = Fold(line, *fold_);
      if (line.find(text_) != std::string::npos) return 1;
    }
    return 0;
  }

  WorkArea& area_;
  int field_;
  const FieldDesc& f_;
  const FoldTable* fold_;
  std::string text_;
  CachedRecords cached_;
  std::int32_t cached_first_ = 0;
  std::string field_text_;
  std::string folded_;
};

// Scans the current area from record `from` on. A match: GO to it, the
// search stays active. No match: the area goes to end of file and the search
// ends. A failed read ends the search where the area stands.
bool Scan(WorkArea& area, std::int32_t from) {
  RefreshRecCount(area);
  Matcher matcher(area, Search.field);
  for (std::int32_t n = from; n <= area.record_count; ++n) {
    int result = matcher.Matches(n);
    if (result < 0) {
      Search.field = 0;
      return false;
    }
    if (result > 0) {
      GO(n);
      return DbfErrorNo == 0;
    }
  }
  Search.field = 0;
  GoBottom();
  if (DbfErrorNo == 0 && !dEOF()) SKIP(1);
  return false;
}

// Passes over found records that are not visible; true when the area stands
// on a visible record.
bool VisibleResult(bool found) {
  WorkArea* area = CurrentWorkArea();
  while (found && area != nullptr && !dEOF() && !RecordVisible(*area))
    found = Scan(*area, area->record_number + 1);
  return found && !dEOF();
}

// The Locate specification: the name's first word, the option words that
// follow it, and the words of the two flags.
std::string LocateSpec(const std::string& field_name, bool no_case, bool exact) {
  std::string name = TrimBoth(field_name);
  std::size_t blank = name.find(' ');
  std::string search_spec = name.substr(0, blank);
  if (blank != std::string::npos) {
    for (const char* word : {" NOCASE", " EXACT", " CONTAINED"}) {
      std::string rest = name.substr(blank);
      if (RemoveWord(word, rest)) search_spec += word;
    }
  }
  if (no_case) search_spec += " NOCASE";
  if (exact) search_spec += " EXACT";
  return search_spec;
}

// Puts the search text for `value` in field `field` into the search state
// (the flags already parsed); false after reporting a value that does not
// suit the field, or a memo field without the memo store.
bool PrepareSearchText(const WorkArea& area, int field, const LocateValue& value) {
  const FieldDesc& f = area.fields[static_cast<std::size_t>(field - 1)];
  if (f.type == 'M' && !area.is_virtual && MemoStore.assign_memo == nullptr) {
    SetError(220, "MEMO unit not linked in [Count/Sum/Continue]");
    return false;
  }
  std::optional<std::string> text = SearchTextFor(value, f);
  if (!text) return false;
  if (!Search.exact) text->erase(text->find_last_not_of(' ') + 1);
  if (!Search.case_sensitive) *text = os::CharUpperString(*text);
  Search.text = *text;
  return true;
}

}  // namespace

int ParseSearchSpec(const std::string& search_spec) {
  WorkArea* area = RequireTable("Locate/Count/Sum");
  if (area == nullptr) return 0;
  std::string text = os::CharUpperString(TrimBoth(search_spec));
  Search.case_sensitive = !RemoveWord(" NOCASE", text);
  Search.exact = RemoveWord(" EXACT", text);
  Search.contained = RemoveWord(" CONTAINED", text);
  if (text.empty()) {
    SetError(220, "No field name specified [Locate/Count/Sum]");
    return 0;
  }
  int field = FieldNo(text);
  if (field == 0) SetError(220, "Unrecognized field name [Locate/Count/Sum(" + text + ")]");
  return field;
}

bool Locate(const std::string& field_name, const LocateValue& value, bool no_case, bool exact) {
  DbfErrorNo = 0;
  Search.field = 0;
  int field = ParseSearchSpec(LocateSpec(field_name, no_case, exact));
  if (field == 0) return false;
  WorkArea& area = *CurrentWorkArea();
  if (!PrepareSearchText(area, field, value)) return false;
  Search.field = field;
  Search.area = CurrentArea;
  Search.alias = area.alias;
  // A new search of a table other programs may change reads fresh bytes.
  if (!area.exclusive && !area.unshared && PeekCache.owner == area.alias) PeekCache.owner.reset();
  return VisibleResult(Scan(area, 1));
}

bool RecordMatches(const std::string& field_name, const LocateValue& value, bool no_case, bool exact) {
  DbfErrorNo = 0;
  // The search state is put back on every path, a raised error's too.
  struct Restore {
    SearchState saved = Search;
    ~Restore() { Search = std::move(saved); }
  } restore;
  bool matches = false;
  const int field = ParseSearchSpec(LocateSpec(field_name, no_case, exact));
  WorkArea* area = CurrentWorkArea();
  if (field != 0 && !dEOF() && PrepareSearchText(*area, field, value)) {
    Matcher matcher(*area, field);
    matches = matcher.Matches(area->record_number) > 0;
  }
  return matches;
}

bool Locate(const std::string& field_list, const std::vector<LocateValue>& values, bool no_case,
            bool exact) {
  DbfErrorNo = 0;
  std::vector<std::string> names;
  for (std::size_t start = 0;;) {
    std::size_t semicolon = field_list.find(';', start);
    names.push_back(field_list.substr(start, semicolon - start));
    if (semicolon == std::string::npos) break;
    start = semicolon + 1;
  }
  if (names.size() != values.size()) {
    Search.field = 0;
    SetError(220, "Number of values does not match the field list [Locate(" + field_list + ")]");
    return false;
  }
  bool found = false;
  for (std::size_t i = 0; i < names.size() && !found; ++i)
    found = Locate(names[i], values[i], no_case, exact);
  return found;
}

bool Continue() {
  DbfErrorNo = 0;
  WorkArea* area = RequireTable("Continue");
  if (area == nullptr) return false;
  if (Search.field == 0 || Search.area != CurrentArea || Search.alias != area->alias ||
      Search.field > area->field_count) {
    SetError(220, "Call to CONTINUE not preceeded by call to LOCATE. [Continue]");
    return false;
  }
  return VisibleResult(Scan(*area, area->record_number + 1));
}

}  // namespace orvex
