// Property values as a stored form writes them: Booleans "True" / "False",
// enumeration values by their identifier, string lists one line per item
// (each ended by "\n" or "\r\n"; the last line's ending may be left out). Names and identifiers
// are compared without regard to letter case.
#pragma once

#include <string>
#include <vector>

namespace orvex {

bool SameName(const std::string& a, const std::string& b);
// False when the text is neither "True" nor "False".
bool ParseBoolText(const std::string& text, bool& value);
std::vector<std::string> SplitLines(const std::string& text);

}  // namespace orvex
