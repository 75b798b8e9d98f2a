#include "platform/os/table_code_pages.h"

#include <iconv.h>

#include <cerrno>
#include <map>
#include <utility>

#include "platform/os/codepage.h"

namespace orvex::os {
namespace {

// Language-driver ids and their code pages. 0x57 is "the system's ANSI code
// page", which on the Western systems these tables come from is 1252.
struct Driver {
  unsigned char id;
  int code_page;
};
constexpr Driver kDrivers[] = {
    {0x01, 437},  {0x02, 850},  {0x03, 1252}, {0x08, 865},  {0x09, 437}, {0x0A, 850},  {0x0B, 437},
    {0x0D, 437},  {0x0E, 850},  {0x0F, 437},  {0x10, 850},  {0x11, 437}, {0x12, 850},  {0x13, 932},
    {0x14, 850},  {0x15, 437},  {0x16, 850},  {0x17, 865},  {0x18, 437}, {0x19, 437},  {0x1A, 850},
    {0x1B, 437},  {0x1C, 863},  {0x1D, 850},  {0x1F, 852},  {0x22, 852}, {0x23, 852},  {0x24, 860},
    {0x25, 850},  {0x26, 866},  {0x37, 850},  {0x40, 852},  {0x4D, 936}, {0x4E, 949},  {0x4F, 950},
    {0x50, 874},  {0x57, 1252}, {0x58, 1252}, {0x59, 1252}, {0x64, 852}, {0x65, 866},  {0x66, 865},
    {0x67, 861},  {0x6A, 737},  {0x6B, 857},  {0x6C, 863},  {0x78, 950}, {0x79, 949},  {0x7A, 936},
    {0x7B, 932},  {0x7C, 874},  {0x86, 737},  {0x87, 852},  {0x88, 857}, {0xC8, 1250}, {0xC9, 1251},
    {0xCA, 1254}, {0xCB, 1253}, {0xCC, 1257},
};

// The language-neutral id of each code page, written for new tables.
constexpr Driver kNeutralDrivers[] = {
    {0x01, 437}, {0x02, 850},  {0x03, 1252}, {0x64, 852},  {0x65, 866},  {0x66, 865},  {0x67, 861},
    {0x6A, 737}, {0x6B, 857},  {0x6C, 863},  {0x78, 950},  {0x79, 949},  {0x7A, 936},  {0x7B, 932},
    {0x7C, 874}, {0xC8, 1250}, {0xC9, 1251}, {0xCA, 1254}, {0xCB, 1253}, {0xCC, 1257},
};

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
  iconv_t Get(int code_page, bool to_utf8) {
    auto [it, added] = open_.try_emplace({code_page, to_utf8}, kNoConverter);
    if (added) {
      const std::string name = "CP" + std::to_string(code_page);
      it->second = to_utf8 ? iconv_open("UTF-8", name.c_str()) : iconv_open(name.c_str(), "UTF-8");
    }
    return it->second;
  }

 private:
  std::map<std::pair<int, bool>, iconv_t> open_;
};

iconv_t Converter(int code_page, bool to_utf8) {
  static Converters converters;
  return converters.Get(code_page, to_utf8);
}

bool IsAscii(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

// The bytes of the UTF-8 character that starts at `at` (one for a byte that
// starts none).
std::string_view Utf8CharAt(std::string_view utf8, std::size_t at) {
  const auto lead = static_cast<unsigned char>(utf8[at]);
  const std::size_t n = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  return utf8.substr(at, n);
}

// Converts `in` with `cd`. A byte sequence that cannot be converted is
// replaced by `replacement` (one input byte passed over; the answer is
// false) or ends the conversion (false, with *failed_at its offset) when
// `replacement` is null.
bool Convert(iconv_t cd, std::string_view in, std::string* out, const char* replacement,
             std::size_t* failed_at = nullptr) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  out->assign(in.size() * 4 + 4, '\0');
  char* src = const_cast<char*>(in.data());
  std::size_t src_left = in.size();
  char* dst = out->data();
  std::size_t dst_left = out->size();
  bool exact = true;
  while (src_left > 0) {
    if (iconv(cd, &src, &src_left, &dst, &dst_left) != static_cast<std::size_t>(-1)) break;
    if (errno == E2BIG || replacement == nullptr) {
      if (failed_at != nullptr) *failed_at = in.size() - src_left;
      return false;
    }
    exact = false;  // EILSEQ or EINVAL: one byte without a character
    for (const char* r = replacement; *r != '\0' && dst_left > 0; ++r, --dst_left) *dst++ = *r;
    ++src;
    --src_left;
  }
  out->resize(out->size() - dst_left);
  return exact;
}

}  // namespace

int CodePageOfDriver(unsigned char driver) {
  for (const Driver& d : kDrivers) {
    if (d.id == driver) return d.code_page;
  }
  return 0;
}

unsigned char DriverOfCodePage(int code_page) {
  for (const Driver& d : kNeutralDrivers) {
    if (d.code_page == code_page) return d.id;
  }
  for (const Driver& d : kDrivers) {
    if (d.code_page == code_page) return d.id;
  }
  return 0;
}

bool CodePageSupported(int code_page) {
  return code_page == 850 || code_page == 1252 || Converter(code_page, true) != kNoConverter;
}

bool EachByteStandsAlone(int code_page) {
  if (code_page == 850 || code_page == 1252) return true;
  if (code_page == 1255 || code_page == 1258) return false;
  const iconv_t cd = Converter(code_page, true);
  if (cd == kNoConverter) return false;
  for (int b = 0x80; b < 256; ++b) {
    // A byte that is only the start of a character leaves iconv waiting
    // for more (EINVAL).
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char in = static_cast<char>(b), out[8];
    char* src = &in;
    char* dst = out;
    std::size_t src_left = 1, dst_left = sizeof out;
    if (iconv(cd, &src, &src_left, &dst, &dst_left) == static_cast<std::size_t>(-1) &&
        errno == EINVAL)
      return false;
  }
  return true;
}

bool CodePageTextToUtf8(int code_page, std::string_view text, std::string* utf8,
                        const char* replacement) {
  if (IsAscii(text)) {
    utf8->assign(text);
    return true;
  }
  if (code_page == 850) return *utf8 = Cp850ToUtf8(text), true;
  if (code_page == 1252) return *utf8 = AnsiToUtf8(text), true;
  const iconv_t cd = Converter(code_page, true);
  if (cd == kNoConverter) return false;
  return Convert(cd, text, utf8, replacement);
}

bool Utf8ToCodePageText(int code_page, std::string_view utf8, std::string* text,
                        std::string* refused) {
  if (IsAscii(utf8)) {
    text->assign(utf8);
    return true;
  }
  if (code_page == 850 || code_page == 1252) {
    if (Utf8ToCodePage(utf8, code_page == 850, text)) return true;
    // The first character that became '?' without being one.
    for (std::size_t at = 0, out = 0; at < utf8.size(); ++out) {
      const std::string_view one = Utf8CharAt(utf8, at);
      if (out < text->size() && (*text)[out] == '?' && one != "?") {
        if (refused != nullptr) refused->assign(one);
        return false;
      }
      at += one.size();
    }
    return false;
  }
  std::size_t failed_at = 0;
  const iconv_t cd = Converter(code_page, false);
  if (cd != kNoConverter && Convert(cd, utf8, text, nullptr, &failed_at)) return true;
  if (refused != nullptr && failed_at < utf8.size()) refused->assign(Utf8CharAt(utf8, failed_at));
  return false;
}

}  // namespace orvex::os
