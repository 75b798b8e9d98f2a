// oxdbf and code pages: which code page a table's text is in, how the
// library is handed that text (the one way every command opens a table),
// and the conversions between it and UTF-8. What the tool shows and stores
// is the bytes of the file, converted here, so that any code page the
// platform knows can be read and written without a character changing on
// the way.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "common/errors.h"
#include "engine/dbf_file.h"
#include "engine/record_io.h"
#include "engine/tables.h"
#include "engine/work_area.h"
#include "oxdbf.h"
#include "platform/os/codepage.h"
#include "platform/os/system.h"
#include "platform/os/table_code_pages.h"

namespace orvex::tool {
namespace {

// The code page of the table opened last; before any, the library's own
// text (Windows-1252).
int codepage = 1252;
// True when the library converts that table's text (code page 850) to its
// Windows-1252 itself; false when it sees the bytes as stored.
bool library_converts = false;
// The C values given for the record being written, by field number, as the
// file must hold them (padded to the field's length); only for a table whose
// text the library converts.
std::map<int, std::string> given_stored;

void Open(const Invocation& call, const std::string& file, bool read_only) {
  if (read_only) OpenModeOverride = call.exclusive ? os::kOpenRead : os::kOpenReadDenyNone;
  USE(file + (call.exclusive ? " EXCLUSIVE" : ""));
}

}  // namespace

int TableCodePage() { return codepage; }

void OpenTable(const Invocation& call, const std::string& file, bool read_only) {
  bool ansi = AnsiTables;
  AnsiTables = true;  // no conversion by the library
  Open(call, file, read_only);
  AnsiTables = ansi;
  const WorkArea& area = *CurrentWorkArea();
  int named = area.dialect == DbfDialect::kDbase2 ? 0 : os::CodePageOfDriver(area.header[29]);
  codepage = call.codepage != 0                       ? call.codepage
             : named != 0 && os::CodePageSupported(named) ? named
                                                      : 850;
  library_converts = false;
  given_stored.clear();
  // The library's text of a code page 850 table is what its own conversion
  // makes of it: the tool hands such a table to the library that way, as
  // every program of the library does, so that keys come out alike. A table
  // that names no code page is handed over as stored: the programs that
  // write such tables (without a language driver) made their keys from the
  // bytes as they stand. --oem or --codepage 850 says it is code page 850.
  if (codepage != 850 || (call.codepage != 850 && named != 850)) return;
  // Opened once more, with the library's own conversion (USE closes the
  // area first).
  ansi = AnsiTables;
  AnsiTables = false;
  Open(call, file, read_only);
  AnsiTables = ansi;
  library_converts = true;
  if (!read_only) {
    // Every write of a record puts the C values the tool was given into the
    // file as they were given (see PutGivenText).
    WorkArea& opened = *CurrentWorkArea();
    const std::vector<FieldDesc> fields = opened.fields;
    // The library hands its translator memo texts too; only the record
    // buffer takes the given values.
    opened.write_translator = [fields](char* bytes, int length) {
      if (bytes != CurrentWorkArea()->record.data() + 1) return;
      for (const auto& [n, text] : given_stored) {
        const FieldDesc& f = fields[static_cast<std::size_t>(n - 1)];
        if (f.offset - 1 + f.length > length) continue;
        std::memcpy(bytes + f.offset - 1, text.data(), f.length);
      }
    };
  }
}

const char* StoredRecord() {
  WorkArea& area = *CurrentWorkArea();
  if (!library_converts || area.record_number < 1 || area.record_number > area.record_count) {
    return area.record.data();
  }
  static std::vector<char> stored;
  if (!ReadStoredRecord(area, area.record_number, &stored))
    FailAsReported();
  return stored.data();
}

void PutGivenText(int n, const std::string& stored) {
  std::uint8_t* p = FieldAddress(n);
  std::string text = stored;
  if (library_converts) {
    os::OemToCharBuff(text.data(), text.size());
    std::string padded = stored;
    padded.resize(static_cast<std::size_t>(FieldLen(n)), ' ');
    given_stored[n] = padded;
  }
  p[0] = static_cast<std::uint8_t>(text.size());
  std::memcpy(p + 1, text.data(), text.size());
}

void KeepGivenText() {
  if (given_stored.empty()) return;
  WorkArea& area = *CurrentWorkArea();
  std::vector<char> stored;
  if (!ReadStoredRecord(area, area.record_number, &stored))
    FailAsReported();
  KeptFields kept;
  kept.unchanged.assign(area.fields.size(), false);
  bool differs = false;
  for (const auto& [n, text] : given_stored) {
    const FieldDesc& f = area.fields[static_cast<std::size_t>(n - 1)];
    differs = differs || std::memcmp(stored.data() + f.offset, text.data(), f.length) != 0;
    std::memcpy(stored.data() + f.offset, text.data(), f.length);
    kept.unchanged[static_cast<std::size_t>(n - 1)] = true;
  }
  if (!differs) return;
  kept.stored = stored.data();
  if (!PutDbfRecord(area, area.record_number, &kept)) FailAsReported();
}

bool LibraryCaseRulesFit() { return library_converts || codepage == 1252; }

bool Utf8ToLibraryText(const std::string& utf8, std::string* text) {
  if (!library_converts) return Utf8ToStored(utf8, text);
  // The text must have a place in the table (850) and in what the library
  // turns it into before comparing (Windows-1252).
  std::string stored;
  return Utf8ToStored(utf8, &stored) && os::Utf8ToCodePage(utf8, false, text);
}

std::string LibraryTextToUtf8(std::string_view text) {
  return library_converts ? os::AnsiToUtf8(text) : StoredToUtf8(text);
}

std::string Shown(const std::string& utf8) {
  std::string shown;
  for (std::size_t i = 0; i < utf8.size();) {
    std::size_t n = 1;
    while (i + n < utf8.size() && (static_cast<unsigned char>(utf8[i + n]) & 0xC0) == 0x80) ++n;
    std::string one = utf8.substr(i, n), ansi;
    if (os::Utf8ToCodePage(one, false, &ansi)) {
      shown += one;
    } else {
      char code[16];
      std::uint32_t cp = static_cast<unsigned char>(one[0]) & (n == 1 ? 0x7F : 0x3F >> (n - 1));
      for (std::size_t k = 1; k < n; ++k)
        cp = (cp << 6) | (static_cast<unsigned char>(one[k]) & 0x3F);
      std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(cp));
      shown += code;
    }
    i += n;
  }
  return shown;
}

namespace {

// The conversion of stored text to UTF-8, a call per text.
std::string ConvertToUtf8(std::string_view stored) {
  std::string out;
  os::CodePageTextToUtf8(codepage, stored, &out);
  return out;
}

// Speed: in a code page of one byte per character each byte stands for the
// same character wherever it is, so its UTF-8 can be looked up in a table of
// 256 entries, made once by converting each byte alone. An export then
// converts a text with one look-up per byte instead of a conversion call
// (and its allocations) per value.
struct ByteTable {
  int codepage = 0;  // the code page the entries are for; 0 = none yet
  bool usable = false;
  std::array<std::array<char, 4>, 256> utf8{};
  std::array<unsigned char, 256> size{};
};

// The table of the current code page, or nullptr when the code page has
// characters of more bytes than one (932, 936, 949, 950: a byte alone can be
// the incomplete first half of one) or combines characters across bytes
// (1255, 1258, whose converters join a letter with the accent after it).
const ByteTable* CurrentByteTable() {
  static ByteTable table;
  if (table.codepage == codepage) return table.usable ? &table : nullptr;
  table.codepage = codepage;
  table.usable = os::EachByteStandsAlone(codepage);
  for (int b = 0; b < 256 && table.usable; ++b) {
    const char byte = static_cast<char>(b);
    const std::string utf8 = ConvertToUtf8(std::string_view(&byte, 1));
    if (utf8.size() > 4) table.usable = false;
    table.size[static_cast<std::size_t>(b)] = static_cast<unsigned char>(utf8.size());
    std::copy(utf8.begin(),
              utf8.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(utf8.size(), 4)),
              table.utf8[static_cast<std::size_t>(b)].begin());
  }
  return table.usable ? &table : nullptr;
}

}  // namespace

std::string StoredToUtf8(std::string_view stored) {
  std::string out;
  AppendStoredAsUtf8(stored, &out);
  return out;
}

void AppendStoredAsUtf8(std::string_view stored, std::string* out) {
  const ByteTable* table = CurrentByteTable();
  if (table == nullptr) {
    out->append(ConvertToUtf8(stored));
    return;
  }
  // Most text is ASCII, which is the same in UTF-8: the part up to the
  // first other byte is copied whole.
  std::size_t ascii = 0;
  while (ascii < stored.size() && static_cast<unsigned char>(stored[ascii]) < 0x80) ++ascii;
  out->append(stored.data(), ascii);
  if (ascii == stored.size()) return;
  // Room for the longest result (4 bytes per byte) first, cut back after:
  // the loop then writes through a plain pointer.
  const std::size_t start = out->size();
  out->resize(start + (stored.size() - ascii) * 4);
  char* p = out->data() + start;
  for (char c : stored.substr(ascii)) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x80) {
      *p++ = c;  // ASCII is the same in UTF-8
    } else {
      std::memcpy(p, table->utf8[b].data(), 4);  // all 4 bytes: one fixed-size copy
      p += table->size[b];
    }
  }
  out->resize(static_cast<std::size_t>(p - out->data()));
}

bool Utf8ToStored(const std::string& utf8, std::string* stored) {
  return os::Utf8ToCodePageText(codepage, utf8, stored);
}

}  // namespace orvex::tool
