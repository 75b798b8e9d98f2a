#include "dataset/table_definitions.h"

#include <algorithm>
#include <cstdio>

#include "common/file_utils.h"
#include "common/names.h"
#include "platform/os/codepage.h"

namespace orvex {

namespace {

// A decimal integer from 0 to 255, a leading "+" allowed.
bool ParseSmallNumber(const std::string& text, std::uint8_t& value) {
  std::size_t at = !text.empty() && text[0] == '+' ? 1 : 0;
  if (at == text.size()) return false;
  int n = 0;
  for (; at < text.size(); ++at) {
    if (text[at] < '0' || text[at] > '9') return false;
    n = n * 10 + (text[at] - '0');
    if (n > 255) return false;
  }
  value = static_cast<std::uint8_t>(n);
  return true;
}

std::string Definition(const FieldDef& def) {
  return def.name + "," + std::string(1, def.type) + "," + std::to_string(def.length) + "," +
         std::to_string(def.decimals);
}

}  // namespace

bool ParseFieldLine(const std::string& line, FieldDef& def) {
  if (std::count(line.begin(), line.end(), ',') != 3) return false;
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (std::size_t comma; (comma = line.find(',', start)) != std::string::npos; start = comma + 1)
    parts.push_back(TrimBoth(line.substr(start, comma - start)));
  parts.push_back(TrimBoth(line.substr(start)));
  def.name = parts[0].substr(0, kMaxFieldNameLength);
  def.type = parts[1].empty() ? ' ' : UpCaseChar(parts[1][0]);
  return ParseSmallNumber(parts[2], def.length) && ParseSmallNumber(parts[3], def.decimals);
}

FieldDef CorrectFieldDef(const FieldDef& written) {
  FieldDef def = written;
  if (std::string("CDFLMN").find(def.type) == std::string::npos) def.type = 'C';
  if (def.type == 'N') {
    if (def.length > 20) def.length = 20;
    if (def.decimals > 18) def.decimals = 18;
    if (def.decimals != 0 && def.length - def.decimals < 2)
      def.decimals = static_cast<std::uint8_t>(std::max(0, def.length - 2));
  }
  if (def.type == 'C' && def.length == 255) {
    def.length = 254;
    def.decimals = 0;
  }
  return def;
}

std::string CorrectedFieldWarning(const std::string& component, const FieldDef& written,
                                  const FieldDef& corrected) {
  return "Invalid field definition for " + component + ": " + Definition(written) +
         ". Will use corrected definition: " + Definition(corrected);
}

std::string FieldLine(const FieldDef& def) {
  return os::CharLowerString(def.name) + ", " + std::string(1, def.type) + ", " +
         std::to_string(def.length) + ", " + std::to_string(def.decimals);
}

int IndexListTagCount(const std::vector<std::string>& lines) {
  return static_cast<int>(lines.size() / 2);
}

std::vector<TagDefinition> ParseIndexList(const std::vector<std::string>& lines) {
  std::vector<TagDefinition> tags;
  for (int i = 0; i < IndexListTagCount(lines); ++i) {
    const std::string& line = lines[static_cast<std::size_t>(2 * i)];
    const std::size_t comma = line.find(',');
    if (comma == std::string::npos) continue;
    auto flag = [&](std::size_t at) { return at < line.size() && line[at] == 'T'; };
    TagDefinition tag;
    tag.name = line.substr(0, std::min<std::size_t>(comma, 10));
    tag.descending = flag(comma + 1);
    tag.unique = flag(comma + 3);
    tag.key_expr = comma + 5 < line.size() ? line.substr(comma + 5, 220) : "";
    tag.for_expr = lines[static_cast<std::size_t>(2 * i + 1)].substr(0, 220);
    if (TrimBoth(tag.name).empty() || TrimBoth(tag.key_expr).empty()) continue;
    tags.push_back(tag);
  }
  return tags;
}

bool IndexListMatches(const std::vector<std::string>& stored,
                      const std::vector<std::string>& index_list) {
  if (stored.size() != index_list.size()) return false;
  for (std::size_t i = 0; i < stored.size(); ++i)
    if (UpperCase(stored[i]) != UpperCase(index_list[i])) return false;
  return true;
}

}  // namespace orvex
