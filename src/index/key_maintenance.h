// Keeping the tags of an open index right when records change: inserting a
// key (AppendIndex, splitting full nodes up to a new root), removing one
// (DeleteKey, unlinking nodes that become empty), and the three record
// hooks the table engine calls inside its semaphore lock bracket: before an
// edit, after an edit, after an append.
//
// Order of writes: a node that did not exist before (the upper half of a
// split, a new root) is appended to the file before any existing node or the
// tag header is changed to point at it. A program that dies in the middle of
// a split therefore leaves at worst unused pages behind, never a pointer to
// a page that was not written. Existing nodes are then rewritten from the
// leaf up, the tag header last, the file header at the end of the record
// operation. Inside a keyed write (the record hooks) these writes are held
// in memory and reach the file once each, journaled, when the unit ends
// (index_journal.h).
//
// A record change that changes no key (and no FOR membership) writes
// nothing to the index file.
#pragma once

#include <cstdint>
#include <string>

#include "index/index_file.h"

namespace orvex {

// When on, the index file's buffers are flushed to the medium after each
// key insertion or removal. Off by default: the table engine's own flush
// settings decide when data reaches the disk.
extern bool FlushIndexWrites;

enum class KeyChange { kDone, kSkipped, kFailed };

// Inserts (key, record) into the tag: kSkipped when the record does not
// meet the tag's FOR condition or a unique tag already holds the key,
// kFailed after an error was reported (the tag's keys are unchanged unless
// a write failed half way). `for_checked` tells that the caller already
// knows the record meets the FOR condition; `newest` that no item of the
// tag has a higher record number (a record just appended), so its place
// follows from the key alone instead of a walk over the items of equal keys.
KeyChange AppendIndex(IndexFile& index, TagState& tag, const std::string& key, std::int32_t record,
                      bool for_checked = false, bool newest = false);

// Removes the item (key, record) from the tag: kSkipped when it is not
// there, kFailed after an error was reported.
KeyChange DeleteKey(IndexFile& index, TagState& tag, const std::string& key, std::int32_t record);

// The record hooks (IndexEngine.before_edit, after_edit, append_new_key).
// BeforeEdit remembers every tag's key and FOR membership of the current
// record; AfterEdit (CompareKeys) moves the keys that changed;
// AppendNewKey inserts the new record's key into every tag. Each runs inside
// the keyed write's lock bracket (index_journal.h): a failure stops at once
// and leaving the bracket puts the record and every tag back as they were.
void BeforeEdit(int area);
void CompareKeys(int area);
void AppendNewKey(int area);

}  // namespace orvex
