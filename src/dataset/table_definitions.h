// The table component's two definition lists as text: the field list
// (DbfFields) from which a missing table is created, and the index list
// (IndexList) from which the production index is built.
//
// DbfFields: one line per field, "name, type, length, decimals", as in
// "title, C, 20, 0". Parts are trimmed of blanks and control characters;
// the name is cut to 10 characters, the type is the first character of its
// part (upper-cased), length and decimals are decimal integers (a leading "+" allowed)
// from 0 to 255, and the last part runs to the end of the line.
//
// IndexList: two lines per tag. The first is "NAME,D,U,EXPRESSION": the tag
// name is the text before the first comma (cut to 10 characters), the
// characters one and three places after that comma are the descending and
// unique flags (true only for an upper-case T), and the key expression
// starts five places after it (cut to 220 characters). The second line is
// the FOR condition (cut to 220 characters), empty for none. The tag count
// is the line count divided by two, rounded down.
#pragma once

#include <string>
#include <vector>

#include "engine/work_area.h"
#include "index/index_build.h"

namespace orvex {

// Parses one DbfFields line. False when the line does not hold exactly
// three commas or a length or decimals part is no number from 0 to 255.
// The type is taken as written ('X' marks a line to skip, a blank type part
// gives ' '); the definition is not corrected.
bool ParseFieldLine(const std::string& line, FieldDef& def);

// The field definition a table can hold. Rules, each applied to what the
// rules before it left:
//   1. a type other than C, D, F, L, M and N becomes C;
//   2. N longer than 20: length 20;
//   3. N with more than 18 decimals: 18 decimals;
//   4. N with decimals whose length leaves fewer than 2 places before them:
//      decimals = length - 2 (not below 0);
//   5. C of length 255: length 254, decimals 0.
FieldDef CorrectFieldDef(const FieldDef& written);

// The warning for a corrected definition: "Invalid field definition for
// <component>: <name>,<type>,<len>,<dec>. Will use corrected definition:
// <name>,<type>,<len>,<dec>".
std::string CorrectedFieldWarning(const std::string& component, const FieldDef& written,
                                  const FieldDef& corrected);

// A DbfFields line as the component writes it: the name in lower case,
// ", ", the type, ", ", the length, ", ", the decimals.
std::string FieldLine(const FieldDef& def);

// The number of tags the index list names (line count / 2).
int IndexListTagCount(const std::vector<std::string>& lines);

// The tags of an index list, in list order. A pair whose tag name or key
// expression is empty is left out (an empty name would end the build's
// list early).
std::vector<TagDefinition> ParseIndexList(const std::vector<std::string>& lines);

// Whether the tag lines stored in an index file (IndexTagLines) match the
// index list: the same number of lines, each equal to its list line but for
// letter case.
bool IndexListMatches(const std::vector<std::string>& stored,
                      const std::vector<std::string>& index_list);

}  // namespace orvex
