#include "platform/os/display_text.h"

#include <algorithm>
#include <deque>

#include "platform/os/codepage.h"

namespace orvex::os {
namespace {

// A noted component and the two forms a message can hold it in, each as a
// plain conversion to UTF-8 would show it.
struct NotedName {
  std::string given;
  std::string shown_as_bytes;  // the given bytes taken for library text
  std::string shown_as_text;   // the name's library text ('?' where lost)
};

constexpr std::size_t kKeptNames = 48;

std::deque<NotedName>& Noted() {
  static std::deque<NotedName> names;
  return names;
}

bool BeyondAscii(std::string_view s) {
  return std::any_of(s.begin(), s.end(),
                     [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

bool IsBoundary(char c) {
  return c == ' ' || c == '/' || c == '"' || c == '\'' || c == ':' || c == '[' || c == ']' ||
         c == '(' || c == ')' || c == '\r' || c == '\n' || c == '\t';
}

// Replaces every occurrence of `from` in *text that stands between
// boundaries (see IsBoundary; a trailing full stop counts as one too).
void ReplaceBounded(std::string* text, const std::string& from, const std::string& to) {
  std::size_t at = 0;
  while ((at = text->find(from, at)) != std::string::npos) {
    const std::size_t end = at + from.size();
    const bool before = at == 0 || IsBoundary((*text)[at - 1]);
    const bool after = end == text->size() || IsBoundary((*text)[end]) || (*text)[end] == '.' ||
                       (*text)[end] == ',';
    if (before && after) {
      text->replace(at, from.size(), to);
      at += to.size();
    } else {
      at = end;
    }
  }
}

}  // namespace

void NoteNameForDisplay(std::string_view path) {
  std::size_t pos = 0;
  while (pos < path.size()) {
    std::size_t end = path.find('/', pos);
    if (end == std::string_view::npos) end = path.size();
    const std::string_view component = path.substr(pos, end - pos);
    pos = end + 1;
    if (!BeyondAscii(component) || !IsValidUtf8(component)) continue;
    auto& noted = Noted();
    auto same = std::find_if(noted.begin(), noted.end(),
                             [&](const NotedName& n) { return n.given == component; });
    if (same != noted.end()) noted.erase(same);
    noted.push_back(
        {std::string(component), AnsiToUtf8(component), AnsiToUtf8(Utf8ToAnsi(component))});
    if (noted.size() > kKeptNames) noted.pop_front();
  }
}

std::string DisplayText(std::string_view text) {
  std::string shown = AnsiToUtf8(text);
  if (Noted().empty()) return shown;
  // The newest name first, so that of two names with the same library
  // text ("??.dbf") the one the failing operation used wins; the bytes'
  // mojibake before the library text, being unambiguous.
  for (auto n = Noted().rbegin(); n != Noted().rend(); ++n)
    ReplaceBounded(&shown, n->shown_as_bytes, n->given);
  for (auto n = Noted().rbegin(); n != Noted().rend(); ++n) {
    if (n->shown_as_text != n->given) ReplaceBounded(&shown, n->shown_as_text, n->given);
  }
  return shown;
}

void ForgetNamesForDisplay() { Noted().clear(); }

}  // namespace orvex::os
