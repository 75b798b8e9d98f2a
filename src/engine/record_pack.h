// Conversions between the record buffer (the file's bytes) and the unpacked
// buffer (the typed image callers read and write), and the 6-byte real.
//
// Unpacked layout: deleted byte, then per field C: length byte + characters;
// D: short string of the date text (DateType, CenturyOn); N/F with decimals:
// 6-byte real; N/F without decimals and M: 32-bit integer (little-endian);
// L: one byte.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/work_area.h"

namespace orvex {

// A field's text as the next write is to store it (C, D, N or F fields;
// cut or blank-padded to the field's length), for a value the unpacked form
// cannot carry: a date of another century than CenturyOf gives while
// CenturyOn is off, an integer beyond 32 bits. The text belongs to the
// unpacked buffer: PackRecord writes it over what it makes of that field,
// and it is dropped whenever the buffer is unpacked anew (a read, a blank
// record, the end of a write). An empty text drops the field's text.
void SetExactFieldText(WorkArea& area, int field, std::string text);

// Works out area.unpack_plan from area.fields and area.unpacked_offsets;
// called whenever the field list is read.
void PlanUnpacking(WorkArea& area);

// Record buffer -> unpacked buffer (nothing for virtual areas). The second
// form reads the record from `record`, which must hold the same bytes as the
// record buffer (see GetDbfRecord).
void UnpackRecord(WorkArea& area);
void UnpackRecord(WorkArea& area, const char* record);
// Unpacked buffer -> record buffer (nothing for virtual areas).
void PackRecord(WorkArea& area);

// For each field: true when its part of the unpacked buffer holds what
// unpacking the field of `stored` (a record as it stands in the file, before
// read conversion) gives and no exact text is set for it. Replace writes such
// fields with their stored bytes, because the unpacked forms cannot carry
// every stored value (two-digit years, integers beyond 32 bits, long
// decimals, OEM characters without an ANSI twin, blank logicals and
// numbers). All false for virtual areas.
std::vector<bool> UnchangedFields(WorkArea& area, const char* stored);

// Converts the record bytes after the deletion flag for reading (read
// translator, then OEM -> ANSI) or writing (ANSI -> OEM, then write
// translator).
void ConvertForRead(WorkArea& area, char* record);
// True when ConvertForRead might change `record` (a read translator is set,
// or OEM text holds a byte above 0x7F).
bool NeedsReadConversion(const WorkArea& area, const char* record);
void ConvertForWrite(WorkArea& area, char* record);

// The 6-byte real: byte 0 the exponent biased by 129 (0 = the value 0),
// bytes 1-5 the 39-bit fraction, least significant byte first, with an
// implicit leading 1; bit 7 of byte 5 the sign.
double RealToDouble(const std::uint8_t* real);
void DoubleToReal(double value, std::uint8_t* real);

// A number right-aligned in `width` with `decimals`, rounded half away from
// zero (DecimalText); a row of '*' of the width when it does not fit.
std::string FormatNumber(double value, int width, int decimals);

}  // namespace orvex
