// The orders of a table tab: natural order and the tags of the table's
// production index, and new tags added by the user.
#pragma once

#include <string>
#include <vector>

#include "index/index_build.h"

namespace orvex {
class TOxDbf;
}

namespace orvex::view {

// Opens the production index beside the table (its name with the extension
// MDX) when the table component left it closed because the table's header
// does not announce it (other programs write such tables); the table then
// stays in natural order on its first record. Nothing when an index is open
// or none lies beside the table; a damaged index fails through the
// library's reporting path and the table stays without.
void OpenIndexBeside(TOxDbf& table);

// The tags of the index open on the table (name, key, FOR condition,
// descending, unique), in the index's order; empty without an index.
std::vector<TagDefinition> TableTags(TOxDbf& table);

// The active tag's name; "" in natural order.
std::string ActiveTag(TOxDbf& table);

// Makes `tag` the order ("" natural order) through TOxDbf::SetOrderToTag;
// the dataset then shows its current record in the new order. An unknown
// tag fails through the library's reporting path.
void UseOrder(TOxDbf& table, const std::string& tag);

// Builds `tag` into the table's production index (creating the index file
// beside the table when it has none) while the progress window shows the
// build, and makes it the order. The table must be open for writing. A
// failure (a bad key or FOR, a table others hold open for writing) goes
// through the library's reporting path and leaves the index as it was.
void AddTag(TOxDbf& table, const TagDefinition& tag);

// Rebuilds every tag of the table's production index (Reindex) while the
// progress window shows the build; order and record stay. The table must be
// open for writing. A failure goes through the library's reporting path and
// leaves the index as it was: the rebuild writes a new file and puts it in
// place only when every tag is built. Nothing without an index.
void RebuildIndex(TOxDbf& table);

}  // namespace orvex::view
