#include "common/names.h"

#include "platform/os/codepage.h"
#include "platform/os/files.h"

namespace orvex {

namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

}  // namespace

std::string TrimBoth(std::string_view s) { return TrimLeft(TrimRight(s)); }

std::string TrimRight(std::string_view s) {
  std::size_t end = s.size();
  while (end > 0 && static_cast<unsigned char>(s[end - 1]) <= 32) --end;
  return std::string(s.substr(0, end));
}

std::string TrimLeft(std::string_view s) {
  std::size_t begin = 0;
  while (begin < s.size() && static_cast<unsigned char>(s[begin]) <= 32) ++begin;
  return std::string(s.substr(begin));
}

std::string AnsiToOem(std::string_view s) {
  std::string out(s);
  os::CharToOemBuff(out.data(), out.size());
  return out;
}

std::string OemToAnsi(std::string_view s) {
  std::string out(s);
  os::OemToCharBuff(out.data(), out.size());
  return out;
}

NameParts SplitName(std::string_view file_name) {
  NameParts parts;
  std::size_t name_start = 0;
  for (std::size_t i = file_name.size(); i > 0; --i) {
    if (IsSeparator(file_name[i - 1]) || file_name[i - 1] == ':') {
      name_start = i;
      break;
    }
  }
  parts.dir = std::string(file_name.substr(0, name_start));
  std::string_view rest = file_name.substr(name_start);
  std::size_t dot = rest.rfind('.');
  std::string_view base = dot == std::string_view::npos ? rest : rest.substr(0, dot);
  std::string_view ext = dot == std::string_view::npos ? std::string_view{} : rest.substr(dot);
  parts.name = std::string(base);
  parts.ext = std::string(ext);
  return parts;
}

std::string DefaultExt(std::string_view file_name, std::string_view ext) {
  NameParts parts = SplitName(file_name);
  if (!parts.ext.empty()) return std::string(file_name);
  return parts.dir + TrimRight(parts.name) + "." + std::string(ext);
}

std::string ForceExt(std::string_view file_name, std::string_view ext) {
  NameParts parts = SplitName(file_name);
  return parts.dir + parts.name + "." + std::string(ext);
}

std::string ExtLike(std::string_view file_name, std::string_view ext) {
  const std::string own = SplitName(file_name).ext;
  bool lower = false, upper = false;
  for (char c : own) {
    lower = lower || (c >= 'a' && c <= 'z');
    upper = upper || (c >= 'A' && c <= 'Z');
  }
  return lower && !upper ? os::CharLowerString(ext) : std::string(ext);
}

std::string NameAsText(std::string_view file_name) {
  return os::IsValidUtf8(file_name) ? os::Utf8ToAnsi(file_name) : std::string(file_name);
}

std::string ExpandName(std::string_view file_name) { return os::FullPath(std::string(file_name)); }

}  // namespace orvex
