// The byte handling that the journals of this library share (the memo
// pack's journal, the journal of a keyed write): little-endian integers, a
// checksum that tells a complete entry from one a killed program cut short,
// and the reading of a whole small file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace orvex {

// 32-bit FNV-1a over `bytes`.
std::uint32_t JournalChecksum(std::string_view bytes);

// Appends the low `bytes` bytes of `value`, least significant first.
void PutLe(std::string* out, std::uint64_t value, int bytes);

// Reads `bytes` bytes at `at` as a little-endian integer; the caller has
// checked that they are there.
std::uint64_t GetLe(std::string_view in, std::size_t at, int bytes);

// Reads the whole file `name` into *bytes; false on an I/O error, with
// *error set to the Win32 error number.
bool ReadWholeFile(const std::string& name, std::string* bytes, int* error);

}  // namespace orvex
