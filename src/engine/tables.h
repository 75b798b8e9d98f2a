// Opening and closing tables in work areas: USE, closing one area or all of
// them, and the library's shut-down.
#pragma once

#include <cstdint>
#include <string>

#include "engine/work_area.h"

namespace orvex {

// USE(command, buffer, size): closes the current area, then opens the table
// the command names: "<file> [EXCLUSIVE] [ALIAS <alias>]" (upper-cased as a
// whole). `buffer`/`size` are the caller's unpacked record buffer (its size
// must equal the unpacked size of the table, else error 266); nullptr and 0
// let USE allocate one. An empty command only closes the area. Every failure
// leaves the area empty and DbfErrorNo set. " LINKED LIST" and " VIRTUAL
// FILE" open a virtual area served by the virtual-file handler.
void USE(const std::string& command, std::uint8_t* buffer = nullptr, int size = 0);

// USE with per-record read and write translators stored in the new area.
void USE(const std::string& command, std::uint8_t* buffer, int size, RecordTranslator read_translator,
         RecordTranslator write_translator);

// Closes the table in the current area (index, locks, memo, header, buffers).
void CloseArea();

// Closes areas 1-33 and makes area 1 current; DbfErrorNo is 0 before.
void CloseAllAreas();

// Closes areas 34 and 35, then all areas; an EOrvexError on the way stops it
// quietly. Registered to run at process exit once the first table opened.
void ShutDownEngine();

}  // namespace orvex
