// BLOB access: byte-stream reading and writing of one memo per work area
// (the current one), with automatic conversion between the file's OEM
// character set and the program's (Windows-1252), on which the dataset's
// BLOB stream is built.
//
// A descriptor is closed, or open for reading (mode 1) or writing (mode 2).
// Opening resets any previous descriptor of the area without finishing it.
// Conversion: with auto-convert the first transferred piece decides it: a
// piece without a zero byte switches conversion on (OEM -> ANSI when
// reading, ANSI -> OEM when writing), a piece with one switches it off for
// the rest of the descriptor's life.
//
// Tables with translators (WorkArea read/write translator) transfer through a
// 512-byte buffer whose bytes pass the translator; others transfer directly.
// Failures are reported through SetError with the memo file's name, the
// record number and the operation's tag, and the operation answers 0.
#pragma once

#include <cstdint>

namespace orvex {

inline constexpr int kBlobRead = 1;
inline constexpr int kBlobWrite = 2;

// Opens the area's descriptor on a memo. Read: the memo at |block| (a block
// header gives the length; a headerless memo's length is found at its 0x1A);
// block 0 is an empty memo; an address at or beyond the file size - 1 reports
// 1003 "<block> <name> Record # <n> [CreateBlobDescriptor]". Write: takes the
// memo file's write lock and starts a new memo where a dBASE IV allocation
// of unknown length puts it (the record's old memo at |block| is given up),
// or at the end of dBASE III and FPT files; the memo gets an 8-byte block
// header in every kind. Returns the block number (negative for dBASE III
// files, where that marks a memo with block header), or 0 on failure (and
// for block 0 in read mode).
std::int32_t CreateBlobDescriptor(bool auto_convert, std::int32_t block, int mode);

// Reads up to `count` bytes at the position into `buffer`: cut to the memo's
// length and the file's end; a headerless memo ends at its first 0x1A. Answers
// the bytes read; 0 unless open for reading.
std::int32_t ReadBlobStream(char* buffer, std::int32_t count);

// Writes `count` bytes at the position (the caller's buffer is not changed).
// Answers the bytes written; 0 unless open for writing.
std::int32_t WriteBlobStream(const char* buffer, std::int32_t count);

// Moves the position: origin 0 from the start, 1 from the position, 2 from
// the end (a headerless memo being read is first read through to learn its
// length; in write mode the end is the furthest byte written); other origins
// keep the position. A negative result becomes 0. Answers the new position,
// or 0 without an open descriptor.
std::int32_t SeekBlobStream(std::int32_t offset, int origin);

// Finishes and closes the descriptor. After writing: flushes the buffer,
// writes the block header with the length of the bytes written (none when
// nothing was written), updates the file header (MainHeaderWrite, which also
// releases the write lock) and flushes the file.
void DestroyBlobDescriptor();

}  // namespace orvex
