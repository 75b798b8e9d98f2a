// The field types of FoxPro, Visual FoxPro and level-7 tables beyond C, D,
// F, L, M and N: which ones a table may hold, and the one place that turns
// their stored bytes into a value.
//
// Visual FoxPro (versions 0x30-0x32): I (32-bit little-endian integer), B
// (double), Y (currency: 64-bit integer in ten-thousandths), T (date-time:
// Julian day and milliseconds since midnight, both 32-bit), V and Q (text
// and bytes whose length may stand in their last byte), G, P and M with a
// 4-byte binary memo block number, W (blob), and the system field
// _NullFlags (type "0") whose bits mark nulls and used lengths. Level 7: I
// (32-bit big-endian with the sign bit flipped), + (the same, counted up),
// O (big-endian double in sortable form: positive values with the sign bit
// set, negative ones with every bit inverted), @ (big-endian double of
// milliseconds since the day before 1 January of year 1). Every dialect: a
// field of length 0 of any type holds nothing.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/work_area.h"

namespace orvex {

// True when a table of `area`'s dialect may hold a field of this type and
// length as a raw field (see FieldDesc::raw): the types above.
bool IsRawFieldType(const WorkArea& area, char type, int length);

// True when the raw field holds text (V), so that it takes part in the
// table's code-page conversion like a C field.
bool RawFieldHoldsText(const FieldDesc& field);

// Assigns the _NullFlags bits of a Visual FoxPro field list (in field order,
// each V or Q field its length bit, then each nullable field its null bit)
// and notes the _NullFlags field in area.null_flags_field.
void AssignNullBits(WorkArea& area);

// True when _NullFlags marks the field null in `record` (any field of a
// Visual FoxPro table whose flags allow null, raw or not).
bool FieldIsNull(const WorkArea& area, const FieldDesc& field, const char* record);

// (A C field longer than 255 bytes is raw as well and holds text.)
//
// The value of a raw field in `record` (the record as read): `null` when
// _NullFlags marks it null or it holds no value (a T of day 0, a field of
// length 0); otherwise its text: integers in decimal, doubles with the
// fewest digits that read back the same, currency with four decimals,
// date-times as "YYYY-MM-DD HH:MM:SS" with ".mmm" when the milliseconds are
// not 0, V as its text (the used length), Q, G, P and W as lower-case hex
// digits of their bytes (memo fields: of their block number).
struct FieldValue {
  bool null = false;
  std::string text;
};
FieldValue RawFieldValue(const WorkArea& area, const FieldDesc& field, const char* record);

// True when the raw field holds a Visual FoxPro memo block number (M, G, P
// and W: 4 bytes, little-endian), and that number in `record`.
bool HoldsMemoBlock(const WorkArea& area, const FieldDesc& field);
std::uint32_t MemoBlockOf(const FieldDesc& field, const char* record);

// The bytes as lower-case hex digits, two per byte.
std::string HexText(std::string_view bytes);

// True when the value is a number (I, B, Y, +, O), so that exports write it
// without quotes.
bool RawValueIsNumber(const FieldDesc& field);

// Writes `text` into the bytes of Visual FoxPro field `field` at `out`
// (field.length bytes) in the field's own layout: I (a decimal integer
// within 32 bits), B (a decimal number; the nearest double), Y (a decimal
// with at most four decimals, within 64 bits of ten-thousandths), T
// ("YYYY-MM-DD", optionally with " HH:MM", ":SS" and ".mmm"); V and wide C
// (`text` in the table's code page), Q (`text` as hex digits, as
// RawFieldValue shows them). An empty text is 0, or the empty date-time.
// V and Q shorter than the field are padded with zeros, their length in
// the last byte and their size bit set in `flags` (the record's _NullFlags
// bytes); a value that fills the field clears that bit. Answers the reason
// when the field cannot hold the text exactly or the type is not written,
// else "" (and only then are the bytes changed).
std::string EncodeRawField(const WorkArea& area, const FieldDesc& field, const std::string& text,
                           char* out, char* flags);

// Writes `value` into raw field `field` at `out` in the field's own layout,
// `value` as RawFieldNumber gives it: integers and doubles as they are,
// currency in units, date-times as the Julian day plus the fraction of the
// day (kept to the millisecond). For Visual FoxPro's I, B, Y and T and
// level 7's I, +, O and @. Answers the reason when the field cannot hold
// the value exactly (an integer with a fraction or beyond 32 bits, currency
// with more than four decimals or beyond 64 bits of ten-thousandths, a
// date-time outside the years 1 to 9999, not a finite number), else "" (and
// only then are the bytes changed).
std::string EncodeRawNumber(const WorkArea& area, const FieldDesc& field, double value, char* out);

// Writes the empty value of Visual FoxPro raw field `field` at `out`, as
// Visual FoxPro stores it in a new record: zeros for the binary types
// (which read as 0, the empty date-time and no memo), blanks for a wide C;
// V and Q get zeros with length 0 and their size bit set in `flags`.
// False (nothing written) for a table of another dialect.
bool BlankRawField(const WorkArea& area, const FieldDesc& field, char* out, char* flags);

// Writes the empty value of every raw field of a Visual FoxPro table into
// `record` (the record as read, its other fields left as they are):
// _NullFlags all clear, then each field as BlankRawField writes it.
void BlankRawFields(const WorkArea& area, char* record);

// True when the field may hold a null: its flags allow null and the table
// has _NullFlags.
bool FieldMayBeNull(const WorkArea& area, const FieldDesc& field);

// Sets (`null` true) or clears the field's null bit in `flags`, the
// record's _NullFlags bytes; nothing for a field that cannot be null.
void MarkNull(const WorkArea& area, const FieldDesc& field, bool null, char* flags);

// The kind of a raw field's value for callers that hold values rather than
// texts (the dataset, expressions): integer (I, +), double (B, O),
// currency (Y), date-time (T, @), text (V, wide C), bytes (Q) or memo
// (M, G, P, W of Visual FoxPro). Fields of length 0 and _NullFlags hold
// nothing.
enum class RawKind { kNothing, kInteger, kDouble, kCurrency, kDateTime, kText, kBytes, kMemo };
RawKind RawKindOf(const WorkArea& area, const FieldDesc& field);

// The value of a raw field of kind integer, double, currency or date-time
// as a double: integers and doubles exactly, currency in units (1.5 for
// 15000 ten-thousandths; exact to 2^53 ten-thousandths), date-times as the
// day number (Julian) plus the fraction of the day. `null` as
// RawFieldValue gives it.
struct FieldNumber {
  bool null = false;
  double value = 0;
};
FieldNumber RawFieldNumber(const WorkArea& area, const FieldDesc& field, const char* record);

}  // namespace orvex
