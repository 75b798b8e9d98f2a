// Building indexes: MakeIndex creates a table's index file anew from tag
// definitions, AddIndexTag builds one tag into the open index file, Reindex
// rebuilds the open index from its own tag headers.
//
// A build reads the table file sequentially (never through the record
// cache), sorts (key, record number) entries (build_sort.h) and writes the
// tree bottom-up at the end of the index file: full leaves of the tag's
// maximum keys, each branch item keyed by the last key below it, the root
// written last. Every record that meets the FOR condition is indexed,
// deleted ones included; a unique tag keeps the lowest record number of each
// key.
//
// Each of the three is one unit: the new index file is written beside the
// table under the index file's name with the extension "$MX" and takes the
// index file's place in one atomic rename only once every tag is built. A
// failure (a bad expression, a full disk, an I/O error) or a program killed
// at any moment leaves the old index file, with every tag as it was, or no
// index file where there was none. Errors are reported after the index is
// open again.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace orvex {

// One tag to build (the table component's index list line
// "NAME,F,T,EXPR" and its FOR line).
struct TagDefinition {
  std::string name;      // at most 10 characters
  std::string key_expr;  // at most 220 characters
  std::string for_expr;  // may be empty
  bool descending = false;
  bool unique = false;
};

// How the table component opens its production index.
enum class TCreateIndexType { ciNotFound, ciAlways, ciVerifyHeader, ciNever };
// Build announcements and the lock-failed event of the table component.
using TBeforeMakeIndexEvent = std::function<void(const std::string& index_file, bool& can_make)>;
using TAfterMakeIndexEvent = std::function<void(const std::string& index_file)>;
using TOxLockFailedEvent = std::function<void(void* sender, bool& retry)>;

// Progress of a build: the callback is called `IndexProgressSteps` times in
// all for each tag built (while reading, while writing, and the missing
// calls at the end).
extern std::function<void()> IndexProgress;
extern int IndexProgressSteps;

// MakeIndex: closes the table's index, creates `file_name` (rules of
// IndexFileName) anew with its 2048-byte header and builds every tag in
// order; the file is closed afterwards and the current record kept. A
// shared table whose index file is in use elsewhere is reopened exclusively
// for the build (225 when that fails). True only when every tag was built.
bool MakeIndex(const std::vector<TagDefinition>& tags, const std::string& file_name);

// AddIndexTag: builds one tag into a copy of the current table's open index
// file, puts the copy in its place and opens the index again with the new
// tag, on the order and the record that were current; a tag of exactly the
// same name is replaced. With `reopen_exclusive` a shared table is reopened
// exclusively for the build; without it, the index file must not be open in
// another program (32). Expressions are stored in their normalised form, or
// as given when that does not compile (index_open.h). Errors carry
// " [AddIndexTag()]": 300 a key expression or FOR condition longer than 220
// characters (which one, and its length), the compile error, 254 a result
// type other than C, N or D, 362 a FOR condition that is not logical, 266 a
// key length outside 1..100, 221 without an open index.
bool AddIndexTag(const TagDefinition& tag, bool reopen_exclusive);

// Reindex: rebuilds the current table's open index file from its tag
// headers (names and the texts of expressions and FOR conditions as stored;
// a character tag keeps its key length, and keys another writer stored
// unfolded stay unfolded) and opens it again on the order and the record
// that were current.
void Reindex();

}  // namespace orvex
