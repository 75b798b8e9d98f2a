// What the index commands of oxdbf offer the other commands.
#pragma once

#include <string>

namespace orvex::tool {

// Opens the production index of the table in the current area and makes
// `tag` the active order; failures end the program through the library.
void UseOrder(const std::string& tag);

}  // namespace orvex::tool
