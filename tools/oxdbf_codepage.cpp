// oxdbf and code pages: which code page a table's text is in, and the
// conversions between it and UTF-8. The library opens tables for the tool
// without converting their text; the tool converts here, so that any code
// page the platform knows can be read and written without a character
// changing on the way.
#include <iconv.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <string_view>

#include "engine/dbf_file.h"
#include "engine/tables.h"
#include "engine/work_area.h"
#include "oxdbf.h"
#include "platform/os/codepage.h"
#include "platform/os/system.h"

namespace orvex::tool {
namespace {

// Language-driver ids (header byte 29) and their code pages, as dBASE,
// FoxPro and the ESRI shapefile writers assign them. 0x57 is "the system's
// ANSI code page", which on the Western systems these tables come from is
// 1252.
struct Driver {
  unsigned char id;
  int codepage;
};
constexpr Driver kDrivers[] = {
    {0x01, 437},  {0x02, 850},  {0x03, 1252}, {0x08, 865},  {0x09, 437},  {0x0A, 850},  {0x0B, 437},
    {0x0D, 437},  {0x0E, 850},  {0x0F, 437},  {0x10, 850},  {0x11, 437},  {0x12, 850},  {0x13, 932},
    {0x14, 850},  {0x15, 437},  {0x16, 850},  {0x17, 865},  {0x18, 437},  {0x19, 437},  {0x1A, 850},
    {0x1B, 437},  {0x1C, 863},  {0x1D, 850},  {0x1F, 852},  {0x22, 852},  {0x23, 852},  {0x24, 860},
    {0x25, 850},  {0x26, 866},  {0x37, 850},  {0x40, 852},  {0x4D, 936},  {0x4E, 949},  {0x4F, 950},
    {0x50, 874},  {0x57, 1252}, {0x58, 1252}, {0x59, 1252}, {0x64, 852},  {0x65, 866},  {0x66, 865},
    {0x67, 861},  {0x6A, 737},  {0x6B, 857},  {0x6C, 863},  {0x78, 950},  {0x79, 949},  {0x7A, 936},
    {0x7B, 932},  {0x7C, 874},  {0x86, 737},  {0x87, 852},  {0x88, 857},  {0xC8, 1250}, {0xC9, 1251},
    {0xCA, 1254}, {0xCB, 1253}, {0xCC, 1257},
};

// The language-neutral id of each code page, written by create.
constexpr Driver kNeutralDrivers[] = {
    {0x01, 437},  {0x02, 850},  {0x03, 1252}, {0x64, 852},  {0x65, 866},  {0x66, 865},  {0x67, 861},
    {0x6A, 737},  {0x6B, 857},  {0x6C, 863},  {0x78, 950},  {0x79, 949},  {0x7A, 936},  {0x7B, 932},
    {0x7C, 874},  {0xC8, 1250}, {0xC9, 1251}, {0xCA, 1254}, {0xCB, 1253}, {0xCC, 1257},
};

// The code page of the table opened last; before any, the library's own
// text (Windows-1252).
int codepage = 1252;
// True when the library converts that table's text (code page 850) to its
// Windows-1252 itself; false when it sees the bytes as stored.
bool library_converts = false;

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

// The iconv descriptors, one per direction and code page, opened once and
// closed when the program ends.
class Converters {
 public:
  ~Converters() {
    for (auto& [key, cd] : open_) {
      if (cd != kNoConverter) iconv_close(cd);
    }
  }
  iconv_t Get(int cp, bool to_utf8) {
    auto [it, added] = open_.try_emplace({cp, to_utf8}, kNoConverter);
    if (added) {
      std::string name = "CP" + std::to_string(cp);
      it->second = to_utf8 ? iconv_open("UTF-8", name.c_str()) : iconv_open(name.c_str(), "UTF-8");
    }
    return it->second;
  }

 private:
  std::map<std::pair<int, bool>, iconv_t> open_;
};

iconv_t Converter(int cp, bool to_utf8) {
  static Converters converters;
  return converters.Get(cp, to_utf8);
}

bool IsAscii(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

// Converts `in` with `cd`; a byte that cannot be converted is replaced by
// `replacement` (and the answer is false) or ends the conversion (false,
// when `replacement` is null).
bool Convert(iconv_t cd, std::string_view in, std::string* out, const char* replacement) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  out->assign(in.size() * 4 + 4, '\0');
  char* src = const_cast<char*>(in.data());
  std::size_t src_left = in.size();
  char* dst = out->data();
  std::size_t dst_left = out->size();
  bool exact = true;
  while (src_left > 0) {
    if (iconv(cd, &src, &src_left, &dst, &dst_left) != static_cast<std::size_t>(-1)) break;
    if (errno == E2BIG || replacement == nullptr) return false;
    exact = false;  // EILSEQ or EINVAL: one byte without a character
    for (const char* r = replacement; *r != '\0' && dst_left > 0; ++r, --dst_left) *dst++ = *r;
    ++src;
    --src_left;
  }
  out->resize(out->size() - dst_left);
  return exact;
}

void Open(const Invocation& call, const std::string& file, bool read_only) {
  if (read_only) OpenModeOverride = call.exclusive ? os::kOpenRead : os::kOpenReadDenyNone;
  USE(file + (call.exclusive ? " EXCLUSIVE" : ""));
}

}  // namespace

int CodePageOfDriver(unsigned char driver) {
  for (const Driver& d : kDrivers) {
    if (d.id == driver) return d.codepage;
  }
  return 0;
}

unsigned char DriverOfCodePage(int cp) {
  for (const Driver& d : kNeutralDrivers) {
    if (d.codepage == cp) return d.id;
  }
  for (const Driver& d : kDrivers) {
    if (d.codepage == cp) return d.id;
  }
  return 0;
}

bool CodePageSupported(int cp) {
  return cp == 850 || cp == 1252 || Converter(cp, true) != kNoConverter;
}

int TableCodePage() { return codepage; }

void OpenTable(const Invocation& call, const std::string& file, bool read_only) {
  // The library converts OEM text to ANSI itself; the tool's code page
  // choice decides which of the two it takes the table for.
  bool ansi = AnsiTables;
  if (call.codepage != 0) AnsiTables = call.codepage != 850;
  codepage = AnsiTables ? 1252 : 850;
  library_converts = codepage == 850;
  Open(call, file, read_only);
  AnsiTables = ansi;
}

void OpenTableAsStored(const Invocation& call, const std::string& file, bool read_only) {
  bool ansi = AnsiTables;
  AnsiTables = true;  // no conversion by the library
  Open(call, file, read_only);
  AnsiTables = ansi;
  const WorkArea& area = *CurrentWorkArea();
  int named = area.dialect == DbfDialect::kDbase2 ? 0 : CodePageOfDriver(area.header[29]);
  codepage = call.codepage != 0 ? call.codepage : named != 0 && CodePageSupported(named) ? named : 850;
  library_converts = false;
}

void OpenTableForLibrary(const Invocation& call, const std::string& file, bool read_only) {
  OpenTableAsStored(call, file, read_only);
  if (codepage != 850) return;
  // Opened once more, with the library's own conversion (USE closes the
  // area first).
  bool ansi = AnsiTables;
  AnsiTables = false;
  Open(call, file, read_only);
  AnsiTables = ansi;
  library_converts = true;
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
      for (std::size_t k = 1; k < n; ++k) cp = (cp << 6) | (static_cast<unsigned char>(one[k]) & 0x3F);
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
  if (IsAscii(stored)) return std::string(stored);
  if (codepage == 850) return os::Cp850ToUtf8(stored);
  if (codepage == 1252) return os::AnsiToUtf8(stored);
  std::string out;
  Convert(Converter(codepage, true), stored, &out, "\xEF\xBF\xBD");
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
  table.usable = codepage != 1255 && codepage != 1258;
  iconv_t cd = codepage == 850 || codepage == 1252 ? kNoConverter : Converter(codepage, true);
  for (int b = 0; b < 256 && table.usable; ++b) {
    const char byte = static_cast<char>(b);
    if (cd != kNoConverter && b >= 0x80) {
      // A byte that is only the start of a character leaves iconv waiting
      // for more (EINVAL).
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
      char in = byte, out[8];
      char* src = &in;
      char* dst = out;
      std::size_t src_left = 1, dst_left = sizeof out;
      if (iconv(cd, &src, &src_left, &dst, &dst_left) == static_cast<std::size_t>(-1) && errno == EINVAL) {
        table.usable = false;
      }
    }
    const std::string utf8 = ConvertToUtf8(std::string_view(&byte, 1));
    if (utf8.size() > 4) table.usable = false;
    table.size[static_cast<std::size_t>(b)] = static_cast<unsigned char>(utf8.size());
    std::copy(utf8.begin(), utf8.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(utf8.size(), 4)),
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
  if (IsAscii(utf8)) {
    *stored = utf8;
    return true;
  }
  if (codepage == 850 || codepage == 1252) return os::Utf8ToCodePage(utf8, codepage == 850, stored);
  return Convert(Converter(codepage, false), utf8, stored, nullptr);
}

}  // namespace orvex::tool
