#include "dataset/property_text.h"

#include "common/file_utils.h"

namespace orvex {

bool SameName(const std::string& a, const std::string& b) { return UpperCase(a) == UpperCase(b); }

bool ParseBoolText(const std::string& text, bool& value) {
  if (SameName(text, "True")) {
    value = true;
  } else if (SameName(text, "False")) {
    value = false;
  } else {
    return false;
  }
  return true;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  if (text.empty()) return lines;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find('\n', start);
    std::string line =
        text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    if (end == std::string::npos || end + 1 == text.size()) break;
    start = end + 1;
  }
  return lines;
}

}  // namespace orvex
