// Making keys: the key of the current record for a tag (its key expression
// evaluated and encoded as the tag's key type), whether the record meets the
// tag's FOR condition, and the search key made from a text given to Find.
//
// A character key is padded with blanks to the tag's key length (other
// writers pad short keys, which expressions such as TRIM(NAME) produce); a
// key longer than the tag's key length (beyond trailing blanks) is refused
// with error 266, never cut. Keys of a tag that another writer stored unfolded are made
// unfolded too, so that they compare with the stored ones.
#pragma once

#include <cstdint>
#include <string>

#include "index/index_file.h"

namespace orvex {

// Makes an area current for key evaluation and restores the previous one.
class AreaScope {
 public:
  explicit AreaScope(int area) : saved_(CurrentArea) {
    CurrentArea = static_cast<std::uint8_t>(area);
  }
  ~AreaScope() { CurrentArea = saved_; }
  AreaScope(const AreaScope&) = delete;
  AreaScope& operator=(const AreaScope&) = delete;

 private:
  std::uint8_t saved_;
};

// What a key is made from: the compiled key expression and the tag's key
// format. `oem` converts character results to OEM first (the table's text
// translation).
struct KeySource {
  CompiledExpr* expr = nullptr;
  char key_type = 'C';
  int key_length = 0;
  bool fold = true;
  bool oem = true;
};

// The key of the current record of the current work area (key_length
// bytes) into *key. False after an evaluation error or a key that does not
// fit (266), both reported.
bool MakeKey(const KeySource& source, std::string* key);

// The character key text of a result before padding (converted and folded,
// at most 100 characters).
std::string FoldedKeyText(const KeySource& source, std::string text);

// The key length of a new character tag on `expr` over `table`: the width
// of the text the expression gives for the widest value of every field,
// never the length of one record's value. 0 when it is not a character
// expression, cannot be evaluated, or its width does not fit a key (1 to
// 100). The table's record buffer is as it was afterwards.
int CharacterKeyLength(CompiledExpr& expr, WorkArea& table);

// The KeySource of an open tag.
KeySource KeySourceOf(const IndexFile& index, const TagState& tag);

// True when the tag has no FOR condition or the current record meets it.
bool MeetsFor(TagState& tag);

// The search key for Find: the text converted as the tag's keys are (exact:
// padded with blanks to the key length first), followed by zero bytes (0xFE
// for a descending character tag) up to the key length. *compare_length
// gets the number of leading bytes the found test compares. *can_match is
// false when no key can be what was asked for: a character text longer than
// the key length (beyond trailing blanks), or for a numeric tag a text that
// is no number (decimal, or a form such as 7e9, taken by its value); the key
// then still tells where such a key would stand.
std::string SearchKey(const IndexFile& index, const TagState& tag, const std::string& text,
                      bool exact, int* compare_length, bool* can_match);

// A key as text for the dataset and grid: character keys as they are, the
// numeric key's value with the expression's width and decimals, dates as
// date text.
std::string KeyAsText(const TagState& tag, const std::string& key);

}  // namespace orvex
