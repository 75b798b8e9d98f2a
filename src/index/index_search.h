// Ordered navigation and search over the active tag, as the table engine
// asks for it through its index entry points, and the order commands.
//
// The record-number functions answer record count + 1 (with the tag's
// end-of-file flag) for "past the end"; a step that cannot move answers the
// current record unchanged, which the engine reads as "end hit". In natural
// order they answer physical neighbours.
#pragma once

#include <cstdint>
#include <string>

namespace orvex {

// Search settings and result (process-wide): FindNear leaves the table on the
// record reached when nothing was found; Found is the last search's result.
extern bool FindNear;
extern bool Found;

// _FindFirstRec / _FindLastRec / _FindNextRec / _FindPriorRec of `area`.
std::int32_t FindFirstRec(int area);
std::int32_t FindLastRec(int area);
std::int32_t FindNextRec(int area);
std::int32_t FindPriorRec(int area);

// The active tag's flags (false without an active tag) and their setters.
bool IndexBof(int area);
bool IndexEof(int area);
void IndexSetBof(int area);
void IndexSetEof(int area);

// SyncIndex: places the active tag (all_tags false) or every tag on the
// table's current record. A record that meets a tag's FOR condition but is
// missing from the tag (other writers leave deleted records out, some tags
// are stale) is not an error here: the tag stands where its key would be,
// so that stepping goes on from there.
void SyncIndex(int area, bool all_tags);

// StoreKeys: remembers the current record's key (and record number) for the
// active tag or all tags, for key maintenance after an edit.
void StoreKeys(int area, bool all_tags);

// Set_Order_To(n) / SetOrderToTag(name) of the current table (see
// index_open.h for the rules); errors 220 and 221.
void Set_Order_To(int n);
void SetOrderToTag(const std::string& name);

// Find / FindExact on the active tag of the current table: the table stands
// on the first visible record whose key begins with the text (FindExact: is
// the text padded to the key length), or at end of file with Found false
// (on the record reached with FindNear). Error 254 in natural order, 221
// without an index. Answers Found.
bool Find(const std::string& text);
bool FindExact(const std::string& text);

// The key of the current record for tag `order` of `area` as text, or
// "Rec:" and the record number in 10 places for order 0.
std::string KeyText(int area, int order);

}  // namespace orvex
