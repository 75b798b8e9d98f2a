// Opening and closing a table's index file and listing the tags of an
// index file.
//
// These act on the current work area's table or on the area given, and report failures through
// SetError. Opening registers the program in the table's semaphore file
// (semaphore.h) and opens every tag inside the read bracket.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/work_area.h"
#include "index/index_file.h"

namespace orvex {

// Open mode of index files when set (0xFFFF = none: read/write, deny-none
// for shared tables in network mode, read-only for read-only tables). A
// mode without deny-none sharing also skips the semaphore LOGIN.
extern std::uint16_t IndexOpenMode;

// The index file name for the current table: empty = the table's name with
// the extension MDX (in the case of the table's extension); no extension =
// ".MDX" added; no directory = the table's directory.
std::string IndexFileName(const WorkArea& table, const std::string& name);

// SetIndexTo(name): closes an open index of the current table and opens
// `name` (see IndexFileName). Errors: 2 "SetIndexTo(<name>)" for a missing
// file, 222 for a file too short or a tag header that is damaged or whose
// expressions do not compile, the system's error when it cannot be opened.
// The first tag becomes active and the table stands on its first visible
// record in key order. A failure leaves no index open.
void SetIndexTo(const std::string& file_name);

// Closes the index of `area`: an open transaction ends, keeping its
// changes (transaction.h); dirty tag headers are written (the index
// file's byte 0 locked meanwhile for shared tables), the header when dirty,
// the file is closed and the program logs out of the semaphore file.
void CloseIndex(int area);

// The active tag's number; 0 in natural order or without an index.
int CurrentOrder();

// Re-reads every tag header and drops the paths (another program changed the
// index): ReadAnchorNodes. False after an error.
bool ReadAnchorNodes(IndexFile& index);

// Re-reads the tag headers when the semaphore's change counter moved.
void CheckChangeCounter(IndexFile& index);

// The tag listing of an index file: two lines per tag ("NAME,F,T,EXPR" with
// the descending and unique letters, then the FOR condition or ""). A file
// that does not exist gives an empty list; the name gets ".MDX" and the
// current table's directory when it has none.
std::vector<std::string> IndexTagLines(const std::string& file_name);

// Opens one tag of an open index into a TagState (header read, expressions
// normalised and compiled, geometry checked). Error 222 for a damaged
// header or an expression that does not compile. Null after an error.
std::unique_ptr<TagState> OpenTag(IndexFile& index, int number);

// Compiles a key expression or FOR condition as the index stores and reads
// it: in its normalised form (NormaliseExpression), or as it stands when the
// normalised form does not compile (removing the blanks of ".NOT. DELETED()"
// leaves a text the lexer reads differently), or with dBASE IV's .TRUE. and
// .FALSE. written as .T. and .F. The text that compiled is left in *text.
// Quiet: false, with DbfErrorNo 0 and *expr null, when no form compiles.
bool CompileNormalised(std::string* text, CompiledExpr** expr);

// Puts the key expression and FOR condition texts in the form the index
// stores: outside quotes ASCII letters upper-cased, blanks and tabs removed,
// quote characters as double quotes.
std::string NormaliseExpression(const std::string& text);

}  // namespace orvex
