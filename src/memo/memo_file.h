// The memo file of a table: creating, opening and closing it, and the
// primitives every memo write is built from (the write lock on byte 10, the
// start at the end of the file, the header update at the end of a write, the
// 8-byte block headers). The file's state lives in WorkArea::memo.
//
// Every failure is reported through SetError with the memo file's name and
// the routine's tag in the detail; functions then return false, 0 or -1.
// With RaiseOnError the report throws; the write lock is released on the way
// out all the same (MemoWriteScope).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/work_area.h"

namespace orvex {

// The precondition of every memo operation, which starts by setting
// DbfErrorNo to 0 (callers test it afterwards): the current area holds a table
// (else error 215) with an open memo file (else 1019 " No Memo Field [" +
// operation + "]"). Returns the area or nullptr.
WorkArea* RequireMemo(const std::string& operation);

// The memo kind of the current area's table (from its version byte), or the
// kind of MemoVersionByte when no table is open.
std::uint8_t GetMemoType();

// The memo file of kind `kind` beside the table `table_name`: its extension
// replaced by DBT or FPT, written in the case of the table's extension.
std::string MemoFileName(const std::string& table_name, std::uint8_t kind);

// Creates an empty memo file for the table `table_name` (extension ignored)
// of the kind of MemoVersionByte with MemoBlockSize, replacing an existing
// file in one atomic rename (it is written as "<name>.$CM" first). Errors: 220 for a block size the kind cannot hold; the I/O error (101
// for a short write) with "Cannot create memo file <name> [<routine>]".
bool CreateMemofile(const std::string& table_name, const std::string& routine);

// Opens the memo file of the current area's table (`table_name` without its
// extension) into the area's MemoState. Kind from the table's version byte,
// extension FPT or DBT by kind, block size from the file's header. Open mode:
// MemoOpenModeOverride when set; read-only when the table was opened
// read-only; read/write deny-none for shared tables (NetworkLocking on, not
// exclusive); read/write otherwise. Errors: 1007 "<name> [USE]" when a memo
// is already open; the I/O error with "Memo-Datei nicht gefunden: <name>
// [USE]" (the state is cleared). A pack of this memo file that a killed
// program left unfinished is first rolled back or completed
// (RecoverInterruptedPack); its failure is reported the same way.
void OpenMemofile(const std::string& table_name);

// Opens the memo file `name` of kind `kind` into the area's MemoState (see
// OpenMemofile for the open mode). An open failure clears the state and
// reports the I/O error with "Memo-Datei nicht gefunden: <name> [<routine>]".
bool OpenMemoNamed(WorkArea& area, const std::string& name, std::uint8_t kind,
                   const std::string& routine);

// Closes the current area's memo file, if any, and clears its state (the BLOB
// descriptor too); DbfErrorNo keeps what the table's close met before. An I/O
// error is reported with "<name> [CloseMemofile]".
void CloseMemofile();

// Closes, creates anew and reopens the current area's memo file: empties it.
void RecreateMemofile(const std::string& table_name);

// Free space, in kilobytes, of the file system that holds the memo file (its
// directory is asked: the file name itself is no directory).
std::int32_t MemoDiskFree(const MemoState& memo);

// Size of the open memo file, or -1 after reporting the error with `tag`.
std::int64_t MemoFileSize(MemoState& memo, const std::string& tag);

// Reads up to `count` bytes at `offset`; *done gets the bytes read. An I/O
// error is reported with "<name> <tag>" and gives false.
bool ReadMemoBytes(MemoState& memo, std::int64_t offset, void* buffer, std::size_t count,
                   std::size_t* done, const std::string& tag);
// Writes `count` bytes at `offset`; a failed write leaves the file as it was
// (os::WriteAtUndoable: a memo rewritten in place keeps its old text, one
// written at the end is cut off again). An I/O error is reported as `error`
// (its own number when `error` is 0) with "<name> <tag>".
bool WriteMemoBytes(MemoState& memo, std::int64_t offset, const void* buffer, std::size_t count,
                    int error, const std::string& tag);

// The write lock: for shared tables (NetworkLocking on, area not exclusive) a
// lock on byte 10 of the memo file, tried up to 11 times with pauses growing
// from 5 ms to 500 ms (some two seconds in all);
// for others nothing is locked. LockMemo answers false when it cannot lock.
bool LockMemo(WorkArea& area);
// Releases the write lock if held; false when the system refuses.
bool UnlockMemo(WorkArea& area);

// Start of every write: takes the write lock (failure: 1017 "<name>
// [LockMemoPadAndSeekEOF]<caller>]", result 0), then answers the offset
// where a memo appended now begins: 513 for a fresh dBASE III file (its
// block 1 starts at 512), else the file size after padding the file with
// zero bytes to a whole number of blocks. 0 after an error.
std::int64_t LockMemoPadAndSeekEOF(WorkArea& area, const std::string& caller);

// End of every write: sets the next-free field to the file size divided by
// the block size, rounded up (error 29 " [MainHeaderWrite()]"); for dBASE IV
// files adds MemoBlocksRead and MemoBlocksFreed to the counter at offset 32
// and clears MemoBlocksFreed; releases the write lock (error 1018 "Memo-Datei
// nicht entsperrbar").
bool MainHeaderWrite(WorkArea& area);

// Releases the write lock, quietly, when a write ends without reaching
// MainHeaderWrite (an error, or an exception out of SetError).
class MemoWriteScope {
 public:
  explicit MemoWriteScope(WorkArea& area) : area_(area) {}
  ~MemoWriteScope();
  MemoWriteScope(const MemoWriteScope&) = delete;
  MemoWriteScope& operator=(const MemoWriteScope&) = delete;

 private:
  WorkArea& area_;
};

// The 8-byte block header of a memo of `text_length` bytes at `offset`
// (FPT: type 1 and the length; others: FF FF 08 00 and length + 8). A short
// write reports 29 with "<name> <tag>".
bool WriteGroupHeader(MemoState& memo, std::int64_t offset, std::uint32_t text_length,
                      const std::string& tag);

// The blocks the memo at `block` may be rewritten into: its text length
// (stored length - 8) div block size + 1, which never reaches past the bytes
// it was written with; 0 when the block has no dBASE IV block header. A short
// read reports 30 with "<name> <tag>" and gives -1.
std::int64_t ReadGroupHeader(MemoState& memo, std::uint32_t block, const std::string& tag);

}  // namespace orvex
